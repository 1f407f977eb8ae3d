#include "platform/system.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace platform {

bool SharedLibrary::Load(const std::string& name) {
    m_handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    return m_handle != nullptr;
}

void* SharedLibrary::Resolve(const char* symbol) const {
    if (!m_handle)
        return nullptr;
    return dlsym(m_handle, symbol);
}

// An abstract-namespace socket bound to the marker's name: the kernel knows it machine-wide
// (whoever runs the program) and drops it with the process, so a crash leaves no stale
// marker behind.
bool SingleInstanceMarker::Create(const std::string& name) {
    Close();
    m_lastError = 0;
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        m_lastError = static_cast<uint32_t>(errno);
        return false;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const size_t room = sizeof addr.sun_path - 1;
    const size_t len = name.size() < room ? name.size() : room;
    std::memcpy(addr.sun_path + 1, name.data(), len);
    const socklen_t addrLen = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + len);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), addrLen) != 0)
        m_lastError = errno == EADDRINUSE ? kErrorAlreadyExists : static_cast<uint32_t>(errno);
    return true;
}

void SingleInstanceMarker::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

}  // namespace platform
