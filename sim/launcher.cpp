// ravlen-sim: runs RavlenCtrl on the simulated board. It points the library
// search at the simulator, sets up the control socket for ravlen-simctl and the
// board from its options, then becomes the program.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/socket_path.h"

#ifndef RAVLEN_SIM_BUILD_LIBDIR
#define RAVLEN_SIM_BUILD_LIBDIR ""
#endif
#ifndef RAVLEN_SIM_BUILD_PROGRAM
#define RAVLEN_SIM_BUILD_PROGRAM ""
#endif

namespace {

std::string SelfDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, static_cast<size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool Exists(const std::string& path, int mode) {
    return !path.empty() && access(path.c_str(), mode) == 0;
}

void Usage(FILE* out) {
    std::fputs(
        "usage: ravlen-sim [OPTIONS] [--] [PROGRAM ARGS...]\n"
        "  --controllers N          number of controllers on the bus (default 1)\n"
        "  --serial DIGITS[,...]    serial digits per controller (default 00012345)\n"
        "  --description TEXT       chip description (default \"Ravlen Controller\")\n"
        "  --model CODE             model-code lines 0..3 (default 3)\n"
        "  --interlock open|closed  interlock state at start (default closed)\n"
        "  --trace FILE             append every driver call to FILE\n"
        "  --socket PATH            control socket for ravlen-simctl\n"
        "  --latency MS             read latency emulation (default 4)\n"
        "  --program PATH           the program to run (default RavlenCtrl)\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    struct Option {
        const char* name;
        const char* var;
    };
    const Option options[] = {
        {"--controllers", "RAVLEN_SIM_CONTROLLERS"}, {"--serial", "RAVLEN_SIM_SERIAL"},
        {"--description", "RAVLEN_SIM_DESCRIPTION"}, {"--model", "RAVLEN_SIM_MODEL"},
        {"--interlock", "RAVLEN_SIM_INTERLOCK"},     {"--trace", "RAVLEN_SIM_TRACE"},
        {"--socket", "RAVLEN_SIM_SOCKET"},           {"--latency", "RAVLEN_SIM_LATENCY_MS"},
    };
    std::string program;
    std::vector<std::string> passThrough;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--") {
            for (++i; i < argc; ++i)
                passThrough.emplace_back(argv[i]);
            break;
        }
        bool matched = false;
        for (const Option& o : options) {
            if (arg == o.name && i + 1 < argc) {
                setenv(o.var, argv[++i], 1);
                matched = true;
            }
        }
        if (!matched && arg == "--program" && i + 1 < argc) {
            program = argv[++i];
            matched = true;
        }
        if (!matched)
            passThrough.push_back(arg);
    }

    std::string self = SelfDir();
    // Beside-itself locations first: an installed copy must take its own library, not the
    // one of the build tree it was made from (which may be older, or gone).
    std::string libdir;
    for (const std::string& dir :
         {self + "/sim/lib", self + "/../lib/ravlen-sim", std::string(RAVLEN_SIM_BUILD_LIBDIR)}) {
        if (Exists(dir + "/libftd2xx.so", R_OK)) {
            libdir = dir;
            break;
        }
    }
    if (libdir.empty()) {
        std::fprintf(stderr, "ravlen-sim: simulator library libftd2xx.so not found\n");
        return 1;
    }
    const char* oldPath = std::getenv("LD_LIBRARY_PATH");
    std::string searchPath = libdir + (oldPath && *oldPath ? ":" + std::string(oldPath) : "");
    setenv("LD_LIBRARY_PATH", searchPath.c_str(), 1);

    std::string socketPath = ravlen::sim::DefaultSocketPath();
    setenv("RAVLEN_SIM_SOCKET", socketPath.c_str(), 1);
    setenv("RAVLEN_SIM_LATENCY_MS", "4", 0);
    std::fprintf(stderr, "ravlen-sim: simulated board, control with ravlen-simctl (socket %s)\n",
                 socketPath.c_str());

    if (program.empty()) {
        for (const std::string& p : {self + "/RavlenCtrl", std::string(RAVLEN_SIM_BUILD_PROGRAM)}) {
            if (Exists(p, X_OK)) {
                program = p;
                break;
            }
        }
    }
    if (program.empty())
        program = "RavlenCtrl";  // from PATH

    std::vector<char*> args;
    args.push_back(program.data());
    for (std::string& a : passThrough)
        args.push_back(a.data());
    args.push_back(nullptr);
    execvp(program.c_str(), args.data());
    std::perror(("ravlen-sim: " + program).c_str());
    return 127;
}
