// A main dialog on the simulated board, in virtual time, in a fresh working directory.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/tube_control_dlg.h"
#include "platform/clock.h"
#include "sim/ravlen_sim.h"
#include "tests/support/test_common.h"

struct SimCall {
    std::string entry;
    uint32_t status;
    uint64_t timeUs;
    uint32_t arg[3];
    std::vector<uint8_t> data;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The dialog, created and initialised on first use.
    CTubeControlDlg& Dlg();
    void PressStart() { Dlg().ClickControl(IDC_START); }
    // Delivers n ticks of timer 1, each one period of virtual time after the last.
    void Tick(int n = 1);
    // Connects and runs ticks until the high-voltage buttons are usable.
    void ConnectReady();

    std::vector<std::string> LogMessages() const { return ReadLogMessages(); }
    const std::vector<unsigned>& Pauses() const { return clock.Pauses(); }
    std::vector<SimCall> Calls() const;
    std::vector<std::vector<uint8_t>> Writes() const;
    void ClearCalls();

    std::string Text(int id) { return Dlg().GetDlgItemText(id); }
    bool Visible(int id) { return Dlg().IsControlVisible(id); }
    bool Enabled(int id) { return Dlg().IsControlEnabled(id); }

    platform::VirtualClock clock;
    // Answers for the message boxes, in order; when empty, IDYES for questions, else IDOK.
    std::deque<int> answers;
    std::vector<platform::MessageBoxRequest> boxes;
    // Runs "while the box is open", before the box returns its answer.
    std::function<void(const platform::MessageBoxRequest&)> whileBoxOpen;

private:
    std::unique_ptr<ScratchDirectory> m_dir;
    std::unique_ptr<CTubeControlDlg> m_dlg;
};
