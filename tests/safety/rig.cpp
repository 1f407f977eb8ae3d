#include "tests/safety/rig.h"

#include "board/mpsse_engine.h"
#include "device/discovery.h"
#include "platform/dialog_window.h"

namespace safety {

std::vector<Call> RecordedCalls() {
    std::vector<Call> out;
    const size_t n = ravlen_sim_call_count();
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        ravlen_sim_call c{};
        if (!ravlen_sim_get_call(i, &c))
            break;
        Call call;
        call.entry = c.entry ? c.entry : "";
        call.status = c.status;
        for (int k = 0; k < 3; ++k)
            call.arg[k] = c.arg[k];
        if (c.data && c.length)
            call.data.assign(c.data, c.data + c.length);
        out.push_back(std::move(call));
    }
    return out;
}

const std::vector<Session>& Sessions() {
    using S = Step;
    static const std::vector<Session> sessions = {
        {"Connect", "00012345", {{S::Start}}},
        {"TwentyTicks", "00012345", {{S::Start}, {S::Ticks, 20}}},
        {"StagedRise", "00012345", {{S::Start}, {S::Ready}, {S::HvOn}, {S::Setpoint, 0, 35, 80}, {S::Ticks, 2}}},
        {"StagedFall", "00012345", {{S::Start}, {S::Ready}, {S::HvOn}, {S::Setpoint, 0, 10, 50}, {S::Ticks, 2}}},
        {"SimpleRise", "00001234", {{S::Start}, {S::Ready}, {S::HvOn}, {S::Setpoint, 0, 35, 80}, {S::Ticks, 2}}},
        {"SimpleFall", "00001234", {{S::Start}, {S::Ready}, {S::HvOn}, {S::Setpoint, 0, 10, 50}, {S::Ticks, 2}}},
        {"HvOnYes", "00012345", {{S::Start}, {S::Ready}, {S::HvOn}, {S::Ticks, 3}}},
        {"InterlockOpensWithHvOn", "00012345", {{S::Start}, {S::Ready}, {S::HvOn}, {S::OpenInterlock}, {S::Ticks, 2}}},
        {"HvOff", "00012345", {{S::Start}, {S::Ready}, {S::HvOn}, {S::Ticks, 2}, {S::HvOff}, {S::Ticks, 2}}},
        {"ExitConnected", "00012345", {{S::Start}, {S::Ready}, {S::Exit}}},
        {"ExitWithHvOn", "00012345", {{S::Start}, {S::Ready}, {S::HvOn}, {S::Exit}}},
    };
    return sessions;
}

Rig::Rig(const std::string& serialDigits) {
    EnsureApplication();
    m_dir = std::make_unique<ScratchDirectory>();
    platform::InstallClock(&m_clock);
    ravlen_sim_reset();
    ravlen_sim_set_noise(0, 0, 1);
    ravlen_sim_set_controller(0, nullptr, serialDigits.c_str());
    ravlen_sim_set_clock(platform::ClockNowUs, platform::ClockSleepUs, nullptr);
    // One process runs many dialogs: what a previous run left behind must not leak into
    // this one.
    g_lowByteShadow = 0;
    g_highByteShadow = 0;
    g_busBusy = 0;
    deviceCount = 0;
    deviceDescriptions.clear();
    selectedDescription.clear();
    // Questions are answered Yes; while one is open, the monitor timer goes on ticking, as
    // it does under a real message box.
    platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& request) {
        if ((request.type & 0xF) != platform::MB_YESNO)
            return platform::IDOK;
        Tick();
        return platform::IDYES;
    });
    m_dlg = std::make_unique<CTubeControlDlg>();
    m_dlg->Create();
}

Rig::~Rig() {
    Finish();
    m_dlg.reset();
    ravlen_sim_set_clock(nullptr, nullptr, nullptr);
    platform::SetMessageBoxResponder(nullptr);
    platform::InstallClock(nullptr);
    m_dir.reset();
}

void Rig::Finish() {
    if (m_finished)
        return;
    m_finished = true;
    m_dlg->Destroy();
}

void Rig::Tick(int n) {
    for (int i = 0; i < n && !m_finished && !Ended(); ++i) {
        m_clock.Advance(static_cast<uint64_t>(m_dlg->m_timerPeriodMs) * 1000);
        m_dlg->FireTimer(1);
    }
}

void Rig::Do(const Step& step) {
    if (beforeStep)
        beforeStep(stepIndex);
    ++stepIndex;
    if (m_finished || Ended())
        return;
    CTubeControlDlg& d = *m_dlg;
    switch (step.kind) {
    case Step::Start:
        d.ClickControl(IDC_START);
        break;
    case Step::Ready:
        for (int i = 0; i < 10 && !Ended() && !d.IsControlEnabled(IDC_HV_ON); ++i)
            Tick();
        break;
    case Step::Ticks:
        Tick(step.ticks);
        break;
    case Step::Setpoint:
        d.SetDlgItemText(IDC_KV_EDIT, std::to_string(static_cast<int>(step.kv)));
        d.SetDlgItemText(IDC_UA_EDIT, std::to_string(static_cast<int>(step.ua)));
        d.ClickControl(IDC_SET_HV_AND_UA);
        break;
    case Step::HvOn:
        d.ClickControl(IDC_HV_ON);
        break;
    case Step::OpenInterlock:
        ravlen_sim_set_interlock(0, 0);
        Tick();
        break;
    case Step::HvOff:
        d.ClickControl(IDC_HV_OFF);
        break;
    case Step::Exit:
        d.ClickControl(IDC_EXIT);
        break;
    }
}

bool ClearSlot(D2xxBinding& b, const std::string& e) {
    if (e == "FT_Open") b.FT_Open = nullptr;
    else if (e == "FT_OpenEx") b.FT_OpenEx = nullptr;
    else if (e == "FT_Close") b.FT_Close = nullptr;
    else if (e == "FT_Read") b.FT_Read = nullptr;
    else if (e == "FT_Write") b.FT_Write = nullptr;
    else if (e == "FT_ResetDevice") b.FT_ResetDevice = nullptr;
    else if (e == "FT_ListDevices") b.FT_ListDevices = nullptr;
    else if (e == "FT_Purge") b.FT_Purge = nullptr;
    else if (e == "FT_SetTimeouts") b.FT_SetTimeouts = nullptr;
    else if (e == "FT_GetQueueStatus") b.FT_GetQueueStatus = nullptr;
    else if (e == "FT_SetBitMode") b.FT_SetBitMode = nullptr;
    else if (e == "FT_SetLatencyTimer") b.FT_SetLatencyTimer = nullptr;
    else if (e == "FT_GetLatencyTimer") b.FT_GetLatencyTimer = nullptr;
    else if (e == "FT_EE_Program") b.FT_EE_Program = nullptr;
    else if (e == "FT_EE_Read") b.FT_EE_Read = nullptr;
    else return false;
    return true;
}

}  // namespace safety
