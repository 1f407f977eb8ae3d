// One main dialog on the simulated board, as the benchmarks drive it: virtual time unless
// asked otherwise, the board's clock hooked to the program's, message boxes answered
// (Yes to questions), in a scratch working directory for the activity log.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "app/tube_control_dlg.h"
#include "platform/clock.h"
#include "sim/ravlen_sim.h"
#include "tests/support/test_common.h"

namespace bench {

// Wall-clock time for measuring the program's own work, whatever clock the program uses.
inline uint64_t HostNowNs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// Resident set of this process, in kilobytes.
long ResidentKb();

class BenchDialog {
public:
    // serialDigits: the controller's serial (digits), e.g. "00012345" (staged order) or
    // "00005000" (below 10000: simple order and gain correction).
    explicit BenchDialog(const char* serialDigits = "00012345");
    ~BenchDialog();
    BenchDialog(const BenchDialog&) = delete;
    BenchDialog& operator=(const BenchDialog&) = delete;

    CTubeControlDlg& Dlg() { return *m_dlg; }
    platform::VirtualClock& Clock() { return m_clock; }

    // Start pressed, then ticks until HV ON is usable. False when that never happened.
    bool Connect();
    // Connect, HV ON answered Yes, at these setpoints, then ticks until the output settled.
    bool ConnectWithHighVoltage(const char* kv, const char* ua);
    void SetEdits(const char* kv, const char* ua);
    bool Exposed() const;
    // Handles what the event loop would between two events: above all the deferred paints
    // of whatever changed since the last immediate repaint.
    void Flush();
    // Stops the toolkit timer behind the monitor: the benchmarks deliver the ticks
    // themselves, and a real-time tick arriving inside a measured flush would be counted.
    void HoldMonitorTimer();
    // One period of virtual time, then one tick of the monitor timer.
    void Tick();
    // From here on the program and the board run on the real clock, with the chip's read
    // latency emulated.
    void UseRealClock(unsigned latencyMs);
    uint64_t PauseTotalMs() const;

private:
    std::string m_dir;
    std::string m_previousDir;
    platform::VirtualClock m_clock;
    std::unique_ptr<CTubeControlDlg> m_dlg;
};

// D2XX calls in the simulator's record since the last clear, by kind.
struct CallCounts {
    unsigned writes = 0;
    unsigned reads = 0;
    unsigned timeouts = 0;
    unsigned others = 0;
    std::string otherNames;
};
CallCounts CountCalls();

}  // namespace bench
