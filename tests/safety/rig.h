// One main dialog on the simulated board in virtual time, created afresh for every run of a
// scripted session, with the board's call record split by session step.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/tube_control_dlg.h"
#include "platform/clock.h"
#include "sim/ravlen_sim.h"
#include "tests/support/test_common.h"

namespace safety {

struct Call {
    std::string entry;
    uint32_t status = 0;
    uint32_t arg[3] = {0, 0, 0};
    std::vector<uint8_t> data;
};

// The board's record since the last clear.
std::vector<Call> RecordedCalls();

// What the operator (or the world) does next.
struct Step {
    enum Kind { Start, Ready, Ticks, Setpoint, HvOn, OpenInterlock, HvOff, Exit } kind;
    int ticks = 0;      // Ticks
    double kv = 0, ua = 0;  // Setpoint: the edits before "Set High Voltage and Current"
};

struct Session {
    std::string name;
    std::string serialDigits;  // below 10000: the simple application, else the staged one
    std::vector<Step> steps;
};

// The scripted sessions every fault is tried against.
const std::vector<Session>& Sessions();

class Rig {
public:
    // Resets the board and the process-wide state the dialog does not initialise itself,
    // then creates and initialises a dialog.
    explicit Rig(const std::string& serialDigits);
    ~Rig();

    CTubeControlDlg& Dlg() { return *m_dlg; }
    platform::VirtualClock& Clock() { return m_clock; }

    // One step as the operator would do it; nothing happens once the modal run has ended.
    void Do(const Step& step);
    // Ends the run: the window is destroyed, whichever way the dialog ended.
    void Finish();
    bool Ended() const { return m_dlg->IsEnded(); }
    // Delivers timer 1 n times, one period apart, while it runs and the dialog lives.
    void Tick(int n = 1);

    // Runs before each step, with the step's index.
    std::function<void(size_t)> beforeStep;
    size_t stepIndex = 0;

private:
    platform::VirtualClock m_clock;
    std::unique_ptr<ScratchDirectory> m_dir;
    std::unique_ptr<CTubeControlDlg> m_dlg;
    bool m_finished = false;
};

// Clears the named entry point of a binding; false for an unknown name.
bool ClearSlot(D2xxBinding& binding, const std::string& entry);

}  // namespace safety
