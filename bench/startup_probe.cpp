// The program's start-up up to its first painted window, as RavlenCtrl runs it, with a watch
// that notes when the window is on screen and painted, prints the time since the process
// was started and ends the process there.
//
// Run without arguments it starts itself again with the launch time noted just before the
// exec, so that loading the libraries is part of the figure. Prints "startup_ms <value>".
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "app/tube_control_app.h"

namespace {

const char* const kLaunchVariable = "RAVLEN_PROBE_LAUNCH_NS";

uint64_t MonotonicNs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

class FirstPaintWatch : public QObject {
public:
    explicit FirstPaintWatch(uint64_t launchNs) : m_launchNs(launchNs) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            m_painted = true;
        if (event->type() == QEvent::Expose)
            if (auto* w = qobject_cast<QWindow*>(watched); w && w->isExposed())
                m_exposed = true;
        if (m_painted && m_exposed && !m_reported) {
            m_reported = true;
            // Reported once the event in hand has been handled and the paint flushed.
            QTimer::singleShot(0, [this] {
                const double ms = static_cast<double>(MonotonicNs() - m_launchNs) / 1e6;
                std::printf("startup_ms %.1f\n", ms);
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    uint64_t m_launchNs;
    bool m_painted = false;
    bool m_exposed = false;
    bool m_reported = false;
};

int Launch(char** argv) {
    // This process made the machine-wide marker in its static initialisation too; the
    // measured copy must be the only holder.
    instanceMutex.Close();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    if (child == 0) {
        setenv(kLaunchVariable, std::to_string(MonotonicNs()).c_str(), 1);
        execv("/proc/self/exe", argv);
        std::perror("exec");
        std::_Exit(2);
    }
    int status = 0;
    if (waitpid(child, &status, 0) < 0)
        return 2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* launch = std::getenv(kLaunchVariable);
    if (launch == nullptr)
        return Launch(argv);
    const uint64_t launchNs = std::strtoull(launch, nullptr, 10);

    if (instanceMutexError == platform::kErrorAlreadyExists) {
        std::fprintf(stderr, "another copy of the program is running\n");
        return 3;
    }
    QApplication app(argc, argv);
    FirstPaintWatch watch(launchNs);
    app.installEventFilter(&watch);
    theApp.InitInstance();
    std::fprintf(stderr, "the window ended before it was painted\n");
    return 4;
}
