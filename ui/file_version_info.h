// Reads the version block of the program's own executable file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CFileVersionInfo {
public:
    CFileVersionInfo();
    virtual ~CFileVersionInfo();

    std::string QueryValue(const std::string& name) const;
    std::string GetFileDescription() const { return QueryValue("FileDescription"); }
    std::string GetProductVersion() const { return QueryValue("ProductVersion"); }
    std::string GetLegalCopyright() const { return QueryValue("LegalCopyright"); }

    bool HasBlock() const { return !m_versionData.empty(); }
    const std::string& Translation() const { return m_translation; }
    // The file name the block was looked up by.
    const std::string& FileName() const { return m_fileName; }

private:
    std::vector<uint8_t> m_versionData;
    std::string m_translation;
    std::string m_fileName;
};
