// High-voltage switching: the two enable lines of the supply, the confirmation question, the
// zeroed setpoints on the way off, the state of the high-voltage buttons and the window
// flashing while the tube is live.
#include "app/tube_control_dlg.h"
#include "board/mpsse_engine.h"
#include "board/streams.h"
#include "platform/dialog_window.h"

void CTubeControlDlg::OnHvOn() {
    m_settleTicks = 0;
    averageRestart = true;
    if (!lastInterlockClosed) return;

    const int answer = platform::MessageBox("Turn X-RAY High Voltage ON?", platform::MB_YESNO |
                                                                              platform::MB_ICONQUESTION |
                                                                              platform::MB_TOPMOST);
    // Ticks run while the question is open; the interlock may have opened meanwhile, and the
    // poll then answered No itself. A failure reported meanwhile has already shut the board
    // down and is ending the program: a Yes must not switch it on again.
    if (!lastInterlockClosed || answer != platform::IDYES || m_shutdownStarted) return;

    m_flashInfo = platform::FLASHW_ALL | platform::FLASHW_TIMER;
    FlashWindowEx(m_flashInfo);

    const streams::Stream enable = streams::HvEnableStream(g_lowByteShadow, g_highByteShadow, true);
    g_lowByteShadow = enable.low;
    const FT_STATUS status = BusWrite(*this, enable.bytes);

    // The lines may be up even when the driver reports a failure, so the dialog treats the
    // tube as live and the shutdown that follows switches it off.
    m_hvOn = true;
    EnableControl(IDC_SET_HV_AND_UA, true);
    if (status != FT_OK) {
        FailAndClose("Error setting high voltage enables. [HVON]");
        return;
    }

    EnableControl(IDC_HV_ON, false);
    OnSetHighVoltageAndCurrent();
}

void CTubeControlDlg::OnHvOff() {
    // The shadow drops the enables first, so the very first line command of the voltage write
    // below already switches the supply off; the closing command repeats the value as it
    // stands now.
    const streams::Stream disable = streams::HvEnableStream(g_lowByteShadow, g_highByteShadow, false);
    g_lowByteShadow = disable.low;
    averageRestart = true;
    m_hvOn = false;

    EnableControl(IDC_SET_HV_AND_UA, false);
    EnableControl(IDC_HV_OFF, false);
    const bool hvOnWasEnabled = IsControlEnabled(IDC_HV_ON);
    EnableControl(IDC_HV_ON, false);

    ShowControl(IDC_OUT_OF_RANGE, false);
    KillTimer(m_timerId);

    m_kvDacVolts = 0.0;
    m_kvSetpoint = 0;
    WriteHvDac();
    if (m_newGeneration) platform::Pause(200);

    m_uaDacVolts = 0.0;
    m_uaSetpoint = 0;
    WriteUaDac();
    if (m_newGeneration) platform::Pause(100);

    m_settleTicks = 0;
    if (m_monitorRunning) SetTimer(m_timerId, m_timerPeriodMs);

    bool failed;
    if (m_d2xx.FT_Write == nullptr) {
        // The report runs the shutdown, which switches the high voltage off only while the
        // device counts as open; it must not come back here.
        m_deviceOpen = false;
        FailAndClose(NotValidMessage("FT_Write"));
        failed = true;
    } else {
        failed = BusWrite(*this, disable.bytes) != FT_OK;
    }
    if (failed) {
        m_deviceOpen = false;
        FailAndClose("Error setting high voltage enables. [HVOFF]");
        return;
    }

    averageRestart = true;
    if (m_newGeneration) platform::Pause(500);
    RestoreHvButtons(true, hvOnWasEnabled);

    m_flashInfo = platform::FLASHW_STOP;
    FlashWindowEx(m_flashInfo);
    EnableControl(IDC_HV_ON, true);
}

void CTubeControlDlg::SetHvButtons(bool enable) {
    EnableControl(IDC_SET_HV_AND_UA, false);
    EnableControl(IDC_HV_OFF, enable);
    EnableControl(IDC_HV_ON, enable);
}

void CTubeControlDlg::RestoreHvButtons(bool hvOffEnabled, bool hvOnEnabled) {
    EnableControl(IDC_HV_OFF, hvOffEnabled);
    EnableControl(IDC_HV_ON, hvOnEnabled);
}
