#include "ui/file_version_info.h"

#include "app/text_format.h"
#include "platform/version_resource.h"

CFileVersionInfo::CFileVersionInfo() {
    // The block is looked up by the running executable's base name, so a renamed copy still
    // finds its own block.
    const std::string exe = platform::RunningExecutablePath();
    std::string base = exe.substr(exe.find_last_of('/') + 1);
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        base.resize(dot);
    m_fileName = base + ".EXE";

    const uint32_t size = platform::GetFileVersionInfoSize(m_fileName);
    if (size == 0)
        return;
    std::vector<uint8_t> data;
    if (!platform::GetFileVersionInfo(m_fileName, size, data))
        return;
    m_versionData = std::move(data);
    std::vector<uint8_t> translation;
    if (platform::VerQueryValue(m_versionData, "\\VarFileInfo\\Translation", translation) && translation.size() >= 4) {
        const unsigned language = translation[0] | (translation[1] << 8);
        const unsigned codePage = translation[2] | (translation[3] << 8);
        m_translation = Format("%04x%04x", language, codePage);
    }
}

CFileVersionInfo::~CFileVersionInfo() = default;

std::string CFileVersionInfo::QueryValue(const std::string& name) const {
    if (m_versionData.empty())
        return {};
    std::vector<uint8_t> value;
    if (!platform::VerQueryValue(m_versionData, "\\StringFileInfo\\" + m_translation + "\\" + name, value))
        return {};
    std::string text(value.begin(), value.end());
    const size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    return text;
}
