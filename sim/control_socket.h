// Local control socket of the simulator: one text command per connection, one
// text answer. Owner-only permissions, and peers of another user are refused.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace ravlen::sim {

class ControlServer {
public:
    using Handler = std::function<std::string(const std::string& command)>;

    // Binds and starts serving in a background thread; false and *error when
    // the socket cannot be set up.
    bool Start(const std::string& path, Handler handler, std::string* error);
    // Stops accepting and removes the socket file. The thread winds down on its
    // own, so this is safe at process exit.
    void Stop();
    const std::string& Path() const { return m_path; }

private:
    void Serve();

    std::string m_path;
    Handler m_handler;
    std::atomic<int> m_fd{-1};
    std::atomic<bool> m_stop{false};
};

}  // namespace ravlen::sim
