// ravlen-simctl: sends one command to a running simulator's control socket and
// prints the answer.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/socket_path.h"

namespace {

void Usage(FILE* out) {
    std::fputs(
        "usage: ravlen-simctl [--socket PATH] COMMAND [ARGS...]\n"
        "commands:\n"
        "  interlock open|close [INDEX]   open or close a controller's interlock\n"
        "  unplug [INDEX]                 pull the controller off the bus\n"
        "  replug [INDEX]                 plug it back in\n"
        "  fail ENTRY [N] [STATUS]        the Nth call (default 1) of ENTRY returns STATUS (default 4)\n"
        "  short-read [N] [BYTES]         the Nth FT_Read returns only BYTES bytes\n"
        "  clear-faults                   drop pending fault rules\n"
        "  model 0..3 [INDEX]             set the model-code lines\n"
        "  supply-fault on|off [INDEX]    fault the high-voltage supply\n"
        "  status                         lines, setpoints, outputs, temperature\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    std::string path = ravlen::sim::DefaultSocketPath();
    std::string command;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (command.empty() && (arg == "-h" || arg == "--help")) {
            Usage(stdout);
            return 0;
        }
        if (command.empty() && arg == "--socket" && i + 1 < argc) {
            path = argv[++i];
        } else if (command.empty() && arg.rfind("--socket=", 0) == 0) {
            path = arg.substr(9);
        } else {
            command += (command.empty() ? "" : " ") + arg;
        }
    }
    if (command.empty()) {
        Usage(stderr);
        return 2;
    }

    // Talk only to a socket of this user.
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != geteuid()) {
        std::fprintf(stderr, "ravlen-simctl: no simulator socket of this user at %s\n", path.c_str());
        return 1;
    }
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        std::fprintf(stderr, "ravlen-simctl: socket path too long\n");
        return 1;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "ravlen-simctl: %s: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    command += '\n';
    if (send(fd, command.data(), command.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(command.size())) {
        std::fprintf(stderr, "ravlen-simctl: send: %s\n", std::strerror(errno));
        return 1;
    }
    shutdown(fd, SHUT_WR);
    std::string reply;
    char buf[1024];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        reply.append(buf, static_cast<size_t>(n));
    close(fd);
    std::fputs(reply.c_str(), stdout);
    return reply.rfind("error", 0) == 0 ? 1 : 0;
}
