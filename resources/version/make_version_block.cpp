// Turns the text form of the version block into the binary block the build embeds.
// Usage: ravlen-versionblock INPUT.txt OUTPUT.bin [--omit KEY]...
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "platform/version_resource.h"

namespace {

bool ParseVersion(const std::string& text, uint32_t& ms, uint32_t& ls) {
    unsigned a, b, c, d;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4 || a > 0xFFFF || b > 0xFFFF ||
        c > 0xFFFF || d > 0xFFFF)
        return false;
    ms = (a << 16) | b;
    ls = (c << 16) | d;
    return true;
}

std::vector<uint8_t> Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    return std::vector<uint8_t>(b, b + n);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: ravlen-versionblock INPUT OUTPUT [--omit KEY]...\n";
        return 2;
    }
    std::set<std::string> omit;
    for (int i = 3; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--omit") == 0)
            omit.insert(argv[i + 1]);

    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    platform::FixedFileInfo fixed;
    platform::VersionEntries strings;
    std::vector<uint8_t> translation;
    std::string table;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            const std::string key = line.substr(0, eq);
            std::string value = line.substr(eq + 1);
            if (table.empty()) {
                std::cerr << argv[1] << ":" << lineNo << ": a string before StringTable\n";
                return 1;
            }
            if (omit.count(key))
                continue;
            std::vector<uint8_t> v(value.begin(), value.end());
            v.push_back(0);
            strings.emplace_back("\\StringFileInfo\\" + table + "\\" + key, v);
            continue;
        }
        std::istringstream words(line);
        std::string what, a, b;
        words >> what >> a >> b;
        bool ok = true;
        if (what == "FileVersion") {
            ok = ParseVersion(a, fixed.fileVersionMS, fixed.fileVersionLS);
        } else if (what == "ProductVersion") {
            ok = ParseVersion(a, fixed.productVersionMS, fixed.productVersionLS);
        } else if (what == "FileFlags") {
            fixed.fileFlags = a == "special-build" ? 0x20u : 0u;
        } else if (what == "FileOS") {
            fixed.fileOS = a == "windows32" ? 0x4u : 0u;
        } else if (what == "FileType") {
            fixed.fileType = a == "application" ? 0x1u : 0u;
        } else if (what == "Translation") {
            const unsigned long lang = std::stoul(a, nullptr, 16), page = std::stoul(b, nullptr, 16);
            for (unsigned long v : {lang, page}) {
                translation.push_back(static_cast<uint8_t>(v & 0xFF));
                translation.push_back(static_cast<uint8_t>(v >> 8));
            }
        } else if (what == "StringTable") {
            table = a;
        } else {
            ok = false;
        }
        if (!ok) {
            std::cerr << argv[1] << ":" << lineNo << ": cannot read '" << line << "'\n";
            return 1;
        }
    }
    platform::VersionEntries entries;
    entries.emplace_back("\\", Bytes(&fixed, sizeof fixed));
    if (!translation.empty() && !omit.count("Translation"))
        entries.emplace_back("\\VarFileInfo\\Translation", translation);
    entries.insert(entries.end(), strings.begin(), strings.end());
    const std::vector<uint8_t> block = platform::EncodeVersionBlock(entries);
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    return out ? 0 : 1;
}
