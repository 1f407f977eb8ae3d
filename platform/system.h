// Operating-system services: run-time libraries and the machine-wide single-instance marker.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A library loaded by name with the platform's normal search. It is never unloaded: entry
// points taken from it stay valid for the life of the process.
class SharedLibrary {
public:
    bool Load(const std::string& name);
    bool IsLoaded() const { return m_handle != nullptr; }
    void* Resolve(const char* symbol) const;

private:
    void* m_handle = nullptr;
};

constexpr uint32_t kErrorAlreadyExists = 183;

// Marks a running copy machine-wide, across users, for as long as the process lives (or
// until Close). Creating it while another process holds the same name still succeeds and
// reports kErrorAlreadyExists.
class SingleInstanceMarker {
public:
    ~SingleInstanceMarker() { Close(); }
    // Returns false when no marker could be made at all.
    bool Create(const std::string& name);
    uint32_t LastError() const { return m_lastError; }
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

private:
    int m_fd = -1;
    uint32_t m_lastError = 0;
};

}  // namespace platform
