#include "tests/support/dialog_fixture.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

void DialogTest::SetUp() {
    EnsureApplication();
    m_dir = std::make_unique<ScratchDirectory>();
    platform::InstallClock(&clock);
    ravlen_sim_reset();
    ravlen_sim_set_noise(0, 0, 1);
    ravlen_sim_set_clock(platform::ClockNowUs, platform::ClockSleepUs, nullptr);
    platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& request) {
        boxes.push_back(request);
        if (whileBoxOpen)
            whileBoxOpen(request);
        if (!answers.empty()) {
            int a = answers.front();
            answers.pop_front();
            return a;
        }
        return (request.type & 0xF) == platform::MB_YESNO ? platform::IDYES : platform::IDOK;
    });
}

void DialogTest::TearDown() {
    if (m_dlg) {
        m_dlg->Destroy();
        m_dlg.reset();
    }
    ravlen_sim_set_clock(nullptr, nullptr, nullptr);
    platform::SetMessageBoxResponder(nullptr);
    platform::InstallClock(nullptr);
    m_dir.reset();
}

CTubeControlDlg& DialogTest::Dlg() {
    if (!m_dlg) {
        m_dlg = std::make_unique<CTubeControlDlg>();
        m_dlg->Create();
    }
    return *m_dlg;
}

void DialogTest::Tick(int n) {
    for (int i = 0; i < n; ++i) {
        clock.Advance(static_cast<uint64_t>(Dlg().m_timerPeriodMs) * 1000);
        Dlg().FireTimer(1);
    }
}

void DialogTest::ConnectReady() {
    PressStart();
    for (int i = 0; i < 10 && !Enabled(IDC_HV_ON); ++i)
        Tick();
}

std::vector<SimCall> DialogTest::Calls() const {
    std::vector<SimCall> out;
    const size_t n = ravlen_sim_call_count();
    for (size_t i = 0; i < n; ++i) {
        ravlen_sim_call c{};
        if (!ravlen_sim_get_call(i, &c))
            break;
        SimCall s{c.entry ? c.entry : "", c.status, c.time_us, {c.arg[0], c.arg[1], c.arg[2]}, {}};
        if (c.data && c.length)
            s.data.assign(c.data, c.data + c.length);
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<std::vector<uint8_t>> DialogTest::Writes() const {
    std::vector<std::vector<uint8_t>> out;
    for (const SimCall& c : Calls())
        if (c.entry == "FT_Write")
            out.push_back(c.data);
    return out;
}

void DialogTest::ClearCalls() {
    ravlen_sim_clear_record();
    clock.ClearPauses();
}
