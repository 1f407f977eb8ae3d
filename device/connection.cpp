#include "app/tube_control_dlg.h"

namespace {

// Lets the controller settle after it has been opened before the engine is switched on.
constexpr unsigned kOpenSettleMs = 200;
// Newer controllers need time between the two setpoint channels.
constexpr unsigned kChannelGapMs = 200;
constexpr unsigned kBetweenPassesMs = 2000;

}  // namespace

void CTubeControlDlg::StartConnection() {
    // The controller is opened and set up twice, two seconds apart; only the second pass
    // shows the model and starts monitoring. Each step reports its own failures and the
    // later steps are guarded by the device and engine flags alone.
    for (int pass = 1; pass <= 2; ++pass) {
        if (pass == 2) {
            SetStatusText("Connecting to Ravlen. Please wait...");
            platform::Pause(kBetweenPassesMs);
        }
        DiscoverAndOpen();
        EnableControl(IDC_SET_HV_AND_UA, false);
        EnableControl(IDC_HV_OFF, false);
        EnableControl(IDC_HV_ON, false);
        if (!m_deviceOpen) continue;

        platform::Pause(kOpenSettleMs);
        EnableSerialEngine();
        DetectModelFromPorts();
        if (pass == 2) ShowModelPictures(m_modelIndex);
        SetupTempSensor();
        EnableControl(IDC_START, false);
        if (!m_engineEnabled) continue;

        SetClockDivisor();
        m_kvSetpoint = 0;
        m_kvDacVolts = 0.0;
        WriteHvDac();
        if (m_newGeneration) platform::Pause(kChannelGapMs);
        m_uaSetpoint = 0;
        m_uaDacVolts = 0.0;
        WriteUaDac();
        if (pass == 2) {
            SetTimer(m_timerId, m_timerPeriodMs);
            m_monitorRunning = true;
        }
    }
    averageRestart = true;
}
