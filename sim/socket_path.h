// Where ravlen-sim puts the control socket and ravlen-simctl looks for it.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace ravlen::sim {

// $RAVLEN_SIM_SOCKET when set, else $XDG_RUNTIME_DIR/ravlen-sim.sock, else
// /tmp/ravlen-sim-<uid>.sock.
inline std::string DefaultSocketPath() {
    const char* chosen = std::getenv("RAVLEN_SIM_SOCKET");
    if (chosen && *chosen)
        return chosen;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/ravlen-sim.sock";
    return "/tmp/ravlen-sim-" + std::to_string(static_cast<unsigned>(getuid())) + ".sock";
}

}  // namespace ravlen::sim
