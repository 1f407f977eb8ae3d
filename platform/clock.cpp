#include "platform/clock.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <ctime>

namespace platform {

namespace {

class RealClock : public Clock {
public:
    uint64_t NowUs() override {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
    }

    // Keeps the window painting while the handler waits. Input is held back by the event
    // filter flags and ticks by the dialog's own rule (a tick never runs inside a handler).
    void Sleep(uint64_t us) override {
        const uint64_t deadline = NowUs() + us;
        for (;;) {
            if (QCoreApplication::instance())
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            const uint64_t now = NowUs();
            if (now >= deadline)
                break;
            const uint64_t slice = deadline - now;
            QThread::usleep(slice < 2000 ? slice : 2000);
        }
    }

    LocalDateTime Local() override {
        std::time_t t = std::time(nullptr);
        std::tm tm{};
        localtime_r(&t, &tm);
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }
};

RealClock g_realClock;
Clock* g_clock = &g_realClock;

}  // namespace

Clock& CurrentClock() { return *g_clock; }

void InstallClock(Clock* clock) { g_clock = clock ? clock : &g_realClock; }

void VirtualClock::Sleep(uint64_t us) { m_nowUs += us; }

LocalDateTime VirtualClock::Local() {
    std::tm tm{};
    tm.tm_year = m_start.year - 1900;
    tm.tm_mon = m_start.month - 1;
    tm.tm_mday = m_start.day;
    tm.tm_hour = m_start.hour;
    tm.tm_min = m_start.minute;
    tm.tm_sec = m_start.second + static_cast<int>((m_nowUs - m_startUs) / 1000000);
    std::time_t t = timegm(&tm);
    std::tm out{};
    gmtime_r(&t, &out);
    return {out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
}

uint64_t ClockNowUs(void*) { return CurrentClock().NowUs(); }

void ClockSleepUs(void*, uint64_t us) { CurrentClock().Sleep(us); }

}  // namespace platform
