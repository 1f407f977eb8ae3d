#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks its control data and contents,
# then lets lintian judge it when lintian is there.
# Usage: debian_package.sh CPACK BUILD_DIR WORK_DIR VERSION_BLOCK VERSION [LINTIAN]
set -euo pipefail

cpack="$1"
build="$2"
work="$3"
block="$4"
version="$5"
lintian="${6:-}"

here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=checks.sh
source "$here/checks.sh"

rm -rf "$work"
mkdir -p "$work"

step "cpack -G DEB"
(cd "$work" && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work") >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"; fail "cpack failed"; }
arch="$(dpkg --print-architecture)"
deb="$work/ravlenctrl_${version}_${arch}.deb"
[ -f "$deb" ] || { ls "$work"; fail "no $(basename "$deb")"; }

step "control data"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ravlenctrl ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
grep -qE '^[^<]+ <[^@ ]+@[^> ]+>$' <<<"$(field Maintainer)" || fail "Maintainer is '$(field Maintainer)'"
depends="$(field Depends)"
names="$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")"
for lib in libc6 libstdc++6 libqt6widgets6 libqt6svg6; do
  grep -qxF "$lib" <<<"$names" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -I "$deb" >"$work/info.txt"
grep -q ' md5sums' "$work/info.txt" || fail "no md5sums in the control archive"

step "contents"
dpkg-deb -c "$deb" >"$work/contents.txt"
awk '$2 != "root/root" { print }' "$work/contents.txt" >"$work/not_root.txt"
[ ! -s "$work/not_root.txt" ] || fail "entries not owned by root: $(cat "$work/not_root.txt")"
outside="$(awk '{ print $6 }' "$work/contents.txt" | grep -vE '^\./(usr(/.*)?)?$' || true)"
[ -z "$outside" ] || fail "entries outside /usr: $outside"
dirmodes="$(awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" { print }' "$work/contents.txt")"
[ -z "$dirmodes" ] || fail "folders not 0755: $dirmodes"
mkdir -p "$work/root"
dpkg-deb -x "$deb" "$work/root"
check_tree "$work/root" "usr/"
check_private_driver "$work/root" "usr/"
for f in bin/RavlenCtrl bin/ravlen-sim bin/ravlen-simctl; do
  [ -x "$work/root/usr/$f" ] || fail "usr/$f is not executable"
done
[ "$(stat -c %a "$work/root/usr/lib/udev/rules.d/60-ravlenctrl.rules")" = 644 ] ||
  fail "udev rule is not mode 0644"
check_udev_rule "$work/root/usr/lib/udev/rules.d/60-ravlenctrl.rules"

step "stripped program keeps its version block"
if readelf -S "$work/root/usr/bin/RavlenCtrl" | grep -q '\.debug_info'; then
  fail "RavlenCtrl in the package still carries debug information"
fi
check_version_block "$work/root/usr/bin/RavlenCtrl" "$block"

if [ -n "$lintian" ]; then
  step "lintian"
  # Errors fail the package; the rest is printed for the record.
  if ! "$lintian" --fail-on error --allow-root "$deb" >"$work/lintian.txt" 2>&1; then
    cat "$work/lintian.txt"
    fail "lintian reports errors"
  fi
  cat "$work/lintian.txt"
else
  echo "lintian not found; left out"
fi

echo "Debian package OK: $deb"
