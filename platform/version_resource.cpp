#include "platform/version_resource.h"

#include <elf.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <fstream>

namespace platform {

namespace {

constexpr char kMagic[4] = {'R', 'V', 'B', '1'};

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool Get32(const std::vector<uint8_t>& in, size_t& pos, uint32_t& v) {
    if (in.size() - pos < 4 || pos > in.size())
        return false;
    v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(in[pos + i]) << (8 * i);
    pos += 4;
    return true;
}

// Reads the named section of a 64-bit little-endian ELF file; false when there is none.
bool ReadElfSection(const std::string& path, const char* name, std::vector<uint8_t>& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    Elf64_Ehdr eh{};
    if (!f.read(reinterpret_cast<char*>(&eh), sizeof eh))
        return false;
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum)
        return false;
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    f.seekg(static_cast<std::streamoff>(eh.e_shoff));
    if (!f.read(reinterpret_cast<char*>(sections.data()),
                static_cast<std::streamsize>(sections.size() * sizeof(Elf64_Shdr))))
        return false;
    const Elf64_Shdr& strtab = sections[eh.e_shstrndx];
    if (strtab.sh_size > (1u << 20))
        return false;
    std::vector<char> names(strtab.sh_size + 1, '\0');
    f.seekg(static_cast<std::streamoff>(strtab.sh_offset));
    if (!f.read(names.data(), static_cast<std::streamsize>(strtab.sh_size)))
        return false;
    for (const Elf64_Shdr& s : sections) {
        if (s.sh_name >= strtab.sh_size || std::strcmp(names.data() + s.sh_name, name) != 0)
            continue;
        if (s.sh_type == SHT_NOBITS || s.sh_size > (16u << 20))
            return false;
        out.resize(s.sh_size);
        f.seekg(static_cast<std::streamoff>(s.sh_offset));
        return static_cast<bool>(f.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size())));
    }
    return false;
}

}  // namespace

std::vector<uint8_t> EncodeVersionBlock(const VersionEntries& entries) {
    std::vector<uint8_t> out(kMagic, kMagic + 4);
    Put32(out, static_cast<uint32_t>(entries.size()));
    for (const auto& [path, value] : entries) {
        Put32(out, static_cast<uint32_t>(path.size()));
        out.insert(out.end(), path.begin(), path.end());
        Put32(out, static_cast<uint32_t>(value.size()));
        out.insert(out.end(), value.begin(), value.end());
    }
    return out;
}

bool DecodeVersionBlock(const std::vector<uint8_t>& block, VersionEntries& entries) {
    entries.clear();
    if (block.size() < 8 || std::memcmp(block.data(), kMagic, 4) != 0)
        return false;
    size_t pos = 4;
    uint32_t count = 0;
    if (!Get32(block, pos, count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t len = 0;
        if (!Get32(block, pos, len) || len > block.size() - pos)
            return false;
        std::string path(block.begin() + static_cast<std::ptrdiff_t>(pos),
                         block.begin() + static_cast<std::ptrdiff_t>(pos + len));
        pos += len;
        if (!Get32(block, pos, len) || len > block.size() - pos)
            return false;
        std::vector<uint8_t> value(block.begin() + static_cast<std::ptrdiff_t>(pos),
                                   block.begin() + static_cast<std::ptrdiff_t>(pos + len));
        pos += len;
        entries.emplace_back(std::move(path), std::move(value));
    }
    return true;
}

uint32_t GetFileVersionInfoSize(const std::string& fileName) {
    std::vector<uint8_t> block;
    const std::string path = FindModuleFile(fileName);
    if (path.empty() || !ReadElfSection(path, kVersionSection, block))
        return 0;
    VersionEntries entries;
    if (!DecodeVersionBlock(block, entries))
        return 0;
    return static_cast<uint32_t>(block.size());
}

bool GetFileVersionInfo(const std::string& fileName, uint32_t size, std::vector<uint8_t>& block) {
    const std::string path = FindModuleFile(fileName);
    std::vector<uint8_t> data;
    if (path.empty() || !ReadElfSection(path, kVersionSection, data) || data.size() > size)
        return false;
    block = std::move(data);
    return true;
}

bool VerQueryValue(const std::vector<uint8_t>& block, const std::string& path, std::vector<uint8_t>& value) {
    VersionEntries entries;
    if (!DecodeVersionBlock(block, entries))
        return false;
    for (auto& [p, v] : entries)
        if (p == path) {
            value = v;
            return true;
        }
    return false;
}

std::string RunningExecutablePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string FindModuleFile(const std::string& fileName) {
    if (fileName.find('/') != std::string::npos)
        return access(fileName.c_str(), R_OK) == 0 ? fileName : std::string();
    const std::string exe = RunningExecutablePath();
    const std::string dir = exe.substr(0, exe.find_last_of('/') + 1);
    std::vector<std::string> candidates{dir + fileName};
    // Executables here carry no ".EXE": the same name without it is the module's file.
    const size_t dot = fileName.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        std::string ext = fileName.substr(dot);
        for (char& c : ext)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (ext == ".EXE")
            candidates.push_back(dir + fileName.substr(0, dot));
    }
    for (const std::string& c : candidates)
        if (access(c.c_str(), R_OK) == 0)
            return c;
    return {};
}

}  // namespace platform
