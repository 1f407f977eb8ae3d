// Time as the program sees it: a monotonic clock for pauses, the local date and time for the
// log. Tests swap in a virtual clock that records every pause and returns at once.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

struct LocalDateTime {
    int year, month, day, hour, minute, second;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t NowUs() = 0;
    // Blocks for that long. The real clock keeps the window painting meanwhile.
    virtual void Sleep(uint64_t us) = 0;
    virtual LocalDateTime Local() = 0;
};

// The clock in force; the real one unless a test installed another.
Clock& CurrentClock();
void InstallClock(Clock* clock);  // nullptr restores the real clock

class VirtualClock : public Clock {
public:
    explicit VirtualClock(LocalDateTime start = {2026, 3, 9, 14, 15, 3}) : m_start(start) {}
    uint64_t NowUs() override { return m_nowUs; }
    void Sleep(uint64_t us) override;
    LocalDateTime Local() override;
    void Advance(uint64_t us) { m_nowUs += us; }
    void SetLocal(LocalDateTime start) { m_start = start; m_startUs = m_nowUs; }
    // Every pause taken through Pause(), in milliseconds, in order.
    const std::vector<unsigned>& Pauses() const { return m_pauses; }
    void ClearPauses() { m_pauses.clear(); }
    void RecordPause(unsigned ms) { m_pauses.push_back(ms); }

private:
    uint64_t m_nowUs = 0;
    uint64_t m_startUs = 0;
    LocalDateTime m_start;
    std::vector<unsigned> m_pauses;
};

// Hooks for a virtual clock that other parts (the simulated board) read.
uint64_t ClockNowUs(void* ctx);
void ClockSleepUs(void* ctx, uint64_t us);

}  // namespace platform
