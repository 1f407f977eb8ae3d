#include "sim/control_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ravlen::sim {

bool ControlServer::Start(const std::string& path, Handler handler, std::string* error) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        *error = "socket path empty or too long";
        return false;
    }
    // Replace a stale socket of ours; never remove anything else.
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode) || st.st_uid != geteuid()) {
            *error = path + " exists and is not this user's socket";
            return false;
        }
        unlink(path.c_str());
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // Permissions are narrowed before listen(), so no peer can connect while
    // the file is still open to others.
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || chmod(path.c_str(), 0600) != 0 ||
        listen(fd, 4) != 0) {
        *error = path + ": " + std::strerror(errno);
        close(fd);
        unlink(path.c_str());
        return false;
    }
    m_path = path;
    m_handler = std::move(handler);
    m_fd = fd;
    std::thread([this] { Serve(); }).detach();
    return true;
}

void ControlServer::Stop() {
    if (m_stop.exchange(true))
        return;
    int fd = m_fd.exchange(-1);
    if (fd >= 0) {
        shutdown(fd, SHUT_RDWR);
        close(fd);
        unlink(m_path.c_str());
    }
}

void ControlServer::Serve() {
    while (!m_stop) {
        int listenFd = m_fd;
        if (listenFd < 0)
            return;
        int c = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        ucred cred{};
        socklen_t len = sizeof cred;
        if (getsockopt(c, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != geteuid()) {
            close(c);
            continue;
        }
        timeval timeout{2, 0};
        setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        std::string line;
        char buf[512];
        while (line.size() < 4096 && line.find('\n') == std::string::npos) {
            ssize_t n = read(c, buf, sizeof buf);
            if (n <= 0)
                break;
            line.append(buf, static_cast<size_t>(n));
        }
        if (auto nl = line.find('\n'); nl != std::string::npos)
            line.resize(nl);
        std::string reply = m_handler(line);
        if (reply.empty() || reply.back() != '\n')
            reply += '\n';
        const char* p = reply.data();
        size_t left = reply.size();
        while (left > 0) {
            ssize_t n = send(c, p, left, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            p += n;
            left -= static_cast<size_t>(n);
        }
        close(c);
    }
}

}  // namespace ravlen::sim
