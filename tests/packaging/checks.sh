# shellcheck shell=bash
# Checks shared by the installed-tree and the package test. Each takes the root the files
# sit under and the sub-folder that plays the prefix there ("" or "usr/").

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "--- $*"; }

# Every file an installation must hold; the screenshot is shipped once it exists.
expected_files() {
  cat <<'EOF'
bin/RavlenCtrl
bin/ravlen-sim
bin/ravlen-simctl
lib/ravlen-sim/libftd2xx.so
lib/udev/rules.d/60-ravlenctrl.rules
share/applications/ravlenctrl.desktop
share/icons/hicolor/scalable/apps/ravlenctrl.svg
share/doc/ravlenctrl/README.md
share/doc/ravlenctrl/README.simulator.md
share/doc/ravlenctrl/changelog.gz
share/doc/ravlenctrl/copyright
share/man/man1/RavlenCtrl.1.gz
share/man/man1/ravlen-sim.1.gz
share/man/man1/ravlen-simctl.1.gz
EOF
}
optional_files() { echo share/doc/ravlenctrl/docs/screenshot-hv-on.png; }

# The expected files are there, nothing else is, and the compressed ones are sound.
check_tree() {
  local root="$1" sub="$2" f
  while read -r f; do
    [ -f "$root/$sub$f" ] || fail "missing $sub$f"
  done < <(expected_files)
  local stray
  stray="$(cd "$root" && find . \( -type f -o -type l \) -printf '%P\n' | sed "s|^$sub||" |
    grep -vxF -f <(expected_files; optional_files) || true)"
  [ -z "$stray" ] || fail "files that do not belong to an installation: $stray"
  for f in "$root/${sub}share/doc/ravlenctrl/changelog.gz" "$root/${sub}"share/man/man1/*.1.gz; do
    gzip -t "$f" || fail "$f is not a sound gzip file"
  done
  zcat "$root/${sub}share/doc/ravlenctrl/changelog.gz" | head -n1 | grep -q '^ravlenctrl (' ||
    fail "changelog does not start with the package's entry"
}

# The simulator's libftd2xx.so exists once, in a folder that neither the dynamic linker's
# own list nor ld.so.conf names (whether the prefix becomes /usr or /usr/local), and no
# installed program carries a run path that could lead it there.
check_private_driver() {
  local root="$1" sub="$2"
  local found
  found="$(cd "$root" && find . -name 'libftd2xx*' -printf '%P\n')"
  [ "$found" = "${sub}lib/ravlen-sim/libftd2xx.so" ] ||
    fail "driver libraries installed: '${found}' (only ${sub}lib/ravlen-sim/libftd2xx.so belongs)"
  local dirs
  dirs="$(ldconfig -v -N -X 2>/dev/null | sed -n 's|^\(/[^:]*\):.*|\1|p')"
  [ -n "$dirs" ] || fail "ldconfig listed no search folders"
  local d
  for d in /usr/lib/ravlen-sim /usr/local/lib/ravlen-sim; do
    if grep -qxF "$d" <<<"$dirs"; then fail "$d is searched by default"; fi
  done
  for f in bin/RavlenCtrl bin/ravlen-sim bin/ravlen-simctl lib/ravlen-sim/libftd2xx.so; do
    if readelf -d "$root/$sub$f" | grep -E '\((RPATH|RUNPATH)\)'; then
      fail "$sub$f carries a run path"
    fi
  done
}

# The About box reads the version block from the program's own file.
check_version_block() {
  local exe="$1" block="$2" out
  out="$(mktemp -d)"
  objcopy --dump-section ".ravlen_version=$out/block" "$exe" "$out/copy" 2>"$out/err" ||
    { cat "$out/err"; rm -rf "$out"; fail "$exe has no version block"; }
  cmp -s "$out/block" "$block" || { rm -rf "$out"; fail "$exe carries another version block"; }
  rm -rf "$out"
}

check_desktop_entry() {
  local file="$1" validate="$2"
  if [ -n "$validate" ]; then
    local report
    report="$("$validate" "$file" 2>&1)" || fail "desktop entry does not validate: $report"
    [ -z "$report" ] || fail "desktop entry validates with remarks: $report"
  else
    echo "desktop-file-validate not found; validation left out"
  fi
  local exec icon bindir
  exec="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$file")"
  icon="$(sed -n 's/^Icon=//p' "$file")"
  bindir="$(dirname "$(dirname "$(dirname "$file")")")/bin"
  [ -x "$bindir/$exec" ] || fail "desktop entry starts '$exec', which is not installed"
  [ -f "$bindir/../share/icons/hicolor/scalable/apps/$icon.svg" ] ||
    fail "desktop entry names icon '$icon', which is not installed"
}

# The rule opens the chip's device node to the seat and to plugdev, and takes both
# interfaces away from the kernel's serial driver when it binds them.
check_udev_rule() {
  local file="$1" name
  name="$(basename "$file")"
  [[ "$name" < "73-seat-late.rules" ]] || fail "$name sorts after 73-seat-late.rules: uaccess would be ignored"
  local key='[A-Z]+(\{[^}]+\})?'
  local op='(==|!=|=|\+=|-=|:=)'
  local pair="$key$op\"[^\"]*\""
  local bad
  bad="$(grep -vE '^[[:space:]]*(#|$)' "$file" | grep -vE "^$pair(, $pair)*\$" || true)"
  [ -z "$bad" ] || fail "malformed rule lines: $bad"

  local node unbind
  node="$(grep -F 'ENV{DEVTYPE}=="usb_device"' "$file" || true)"
  unbind="$(grep -F 'DRIVER=="ftdi_sio"' "$file" || true)"
  [ "$(wc -l <<<"$node")" = 1 ] && [ -n "$node" ] || fail "expected one device-node rule"
  [ "$(wc -l <<<"$unbind")" = 1 ] && [ -n "$unbind" ] || fail "expected one unbind rule"
  local want
  for want in 'SUBSYSTEM=="usb"' 'ATTR{idVendor}=="0403"' 'ATTR{idProduct}=="6010"' \
              'TAG+="uaccess"' 'GROUP="plugdev"' 'MODE="0660"'; do
    grep -qF "$want" <<<"$node" || fail "device-node rule lacks $want"
  done
  for want in 'SUBSYSTEM=="usb"' 'ENV{DEVTYPE}=="usb_interface"' 'ATTRS{idVendor}=="0403"' \
              'ATTRS{idProduct}=="6010"' '/sys/bus/usb/drivers/ftdi_sio/unbind'; do
    grep -qF "$want" <<<"$unbind" || fail "unbind rule lacks $want"
  done
  grep -qE 'ACTION=="([a-z]+\|)*bind(\|[a-z]+)*"' <<<"$unbind" || fail "unbind rule does not act on bind"
  grep -qE 'RUN\+="[^"]*(%k|\$kernel)[^"]*/sys/bus/usb/drivers/ftdi_sio/unbind' <<<"$unbind" ||
    fail "unbind rule does not write the interface's own name to the driver's unbind file"
}
