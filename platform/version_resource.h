// Version blocks of executable files: the build embeds one in the program's own file (an ELF
// section), and the About box reads it back by path, as the platform's version functions do.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// Name of the section that carries the block.
constexpr const char* kVersionSection = ".ravlen_version";

// The fixed part of a block, in the documented field order.
struct FixedFileInfo {
    uint32_t signature = 0xFEEF04BD;
    uint32_t structVersion = 0x00010000;
    uint32_t fileVersionMS = 0;
    uint32_t fileVersionLS = 0;
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
    uint32_t fileFlagsMask = 0x3F;
    uint32_t fileFlags = 0;
    uint32_t fileOS = 0;
    uint32_t fileType = 0;
    uint32_t fileSubtype = 0;
    uint32_t fileDateMS = 0;
    uint32_t fileDateLS = 0;
};

// A block is a list of values by path: "\" (the fixed part), "\VarFileInfo\Translation"
// (pairs of 16-bit language and code page), "\StringFileInfo\<table>\<key>" (text).
using VersionEntries = std::vector<std::pair<std::string, std::vector<uint8_t>>>;
std::vector<uint8_t> EncodeVersionBlock(const VersionEntries& entries);
// False for anything that is not a well-formed block.
bool DecodeVersionBlock(const std::vector<uint8_t>& block, VersionEntries& entries);

// The version-resource functions. The size is 0 when the file has no block or cannot be read.
uint32_t GetFileVersionInfoSize(const std::string& fileName);
bool GetFileVersionInfo(const std::string& fileName, uint32_t size, std::vector<uint8_t>& block);
// Looks a path up in a block; text values come with their terminating NUL.
bool VerQueryValue(const std::vector<uint8_t>& block, const std::string& path, std::vector<uint8_t>& value);

// The running executable's own path, and a module file name looked up the way modules are:
// the program's own directory first. Returns the path found, or empty.
std::string RunningExecutablePath();
std::string FindModuleFile(const std::string& fileName);

}  // namespace platform
