// Setpoint entry: the operator's kV and uA edits, clamped to the tube's limits and capped at
// its power, written to the setpoint converter in the order a rising or falling voltage needs,
// then watched on the monitor until they settle.
#include <string>

#include "app/text_format.h"
#include "app/tube_control_dlg.h"
#include "control/text_numbers.h"
#include "platform/dialog_window.h"

namespace {

constexpr unsigned kMonitorTimerId = 1;

// The edits show whole units; this lifts a value such as 25 (typed, or a 24.999999 minimum
// shown as 25) safely over the integer below when it is truncated.
constexpr double kWholeUnitLift = 0.00001;

constexpr double kPowerCapNudge = 1e-9;

constexpr int kSettlePasses = 15;

// The operator's entry as a number inside [low, high]. Text without a number (and "nan")
// reads 0, so it lands on the minimum; infinities land on the bounds like any other value.
double ClampedEntry(const std::string& text, double low, double high, bool* clamped) {
    const double raw = ReadLeadingNumber(text);
    double value = raw;
    if (value < low) value = low;
    if (value > high) value = high;
    if (clamped != nullptr) *clamped = value != raw;
    return value;
}

}  // namespace

void CTubeControlDlg::OnSetHighVoltage() {
    double kv = ClampedEntry(GetDlgItemText(IDC_KV_EDIT), m_kvMin, m_kvMax, nullptr);
    kv += kWholeUnitLift;
    m_kvSetpoint = static_cast<int32_t>(kv);
    SetDlgItemText(IDC_KV_EDIT, Format("%.0f", kv));
    // The converter gets the control voltage with the four decimals the display shows.
    m_kvDacVolts = ReadLeadingNumber(Format("%.4f", kv / m_kvPerVolt));
    WriteHvDac();
}

void CTubeControlDlg::OnSetCurrent() {
    double ua = ClampedEntry(GetDlgItemText(IDC_UA_EDIT), m_uaMin, m_uaMax, nullptr);
    ua += kWholeUnitLift;
    m_uaSetpoint = static_cast<int32_t>(ua);
    SetDlgItemText(IDC_UA_EDIT, Format("%.0f", ua));
    m_uaDacVolts = ReadLeadingNumber(Format("%.4f", ua / m_uaPerVolt));
    WriteUaDac();
}

void CTubeControlDlg::OnSetHighVoltageAndCurrent() {
    KillTimer(m_timerId);

    EnableControl(IDC_HV_OFF, false);
    const bool hvOnWasEnabled = IsControlEnabled(IDC_HV_ON);
    EnableControl(IDC_HV_ON, false);
    EnableControl(IDC_SET_HV_AND_UA, false);

    SetStatusText("Updating settings. Please wait...");
    platform::Pause(20);
    averageRestart = true;

    bool kvClamped = false;
    const double kv = ClampedEntry(GetDlgItemText(IDC_KV_EDIT), m_kvMin, m_kvMax, &kvClamped);
    const bool kvNew = kv != m_kvSetpoint;
    bool uaClamped = false;
    double ua = ClampedEntry(GetDlgItemText(IDC_UA_EDIT), m_uaMin, m_uaMax, &uaClamped);
    const bool uaNew = ua != m_uaSetpoint;

    bool uaCapped = false;
    if ((kvNew || uaNew) && kv * ua >= m_setpointPowerLimitMw) {
        ua = m_setpointPowerLimitMw / kv + kPowerCapNudge;
        uaCapped = true;
    }
    if (kvClamped || uaClamped || uaCapped) {
        SetDlgItemText(IDC_KV_EDIT, Format("%.0f", kv));
        SetDlgItemText(IDC_UA_EDIT, Format("%.0f", ua));
        platform::Pause(200);
    }

    m_appliedKv = kv;
    m_appliedUa = ua;

    // Watches one reading for up to fifteen monitor ticks; running out is no error, the
    // supply is simply given no more time.
    auto settleWait = [this](const double& reading, double target) {
        for (int pass = 0; pass < kSettlePasses; ++pass) {
            platform::Pause(500);
            OnTimer(kMonitorTimerId);
            platform::Pause(20);
            if (InTolerance(target, reading, true)) break;
        }
    };

    const bool voltageRises = m_kvSetpoint < kv;
    if (m_newGeneration) {
        // Raising the voltage under a current that the new voltage would turn into too much
        // power: bring the current down first.
        if (voltageRises && m_uaSetpoint * kv >= m_setpointPowerLimitMw) {
            platform::Pause(250);
            OnSetCurrent();
            settleWait(m_measuredUa, ua);
        }
        OnSetHighVoltage();
        settleWait(m_measuredKv, kv);
        platform::Pause(250);
        OnSetCurrent();
        settleWait(m_measuredUa, ua);
        platform::Pause(500);
    } else {
        if (voltageRises) {
            OnSetCurrent();
            platform::Pause(1000);
            OnSetHighVoltage();
        } else {
            OnSetHighVoltage();
            platform::Pause(1000);
            OnSetCurrent();
        }
        platform::Pause(1000);
        OnTimer(kMonitorTimerId);
        platform::Pause(20);

        // Older controllers have a gain error: write each output once more, off by the error
        // just measured. Only readings already near the target are trusted for that.
        if (InTolerance(kv, m_measuredKv, false)) {
            const double corrected = kv + (kv - m_measuredKv);
            m_trimWrite = 1.0;
            m_kvSetpoint = static_cast<int32_t>(corrected);
            m_kvDacVolts = corrected / m_kvPerVolt;
            WriteHvDac();
            platform::Pause(20);
            m_trimWrite = 0.0;
        }
        if (InTolerance(ua, m_measuredUa, false)) {
            const double corrected = ua + (ua - m_measuredUa);
            m_trimWrite = 1.0;
            m_uaSetpoint = static_cast<int32_t>(corrected);
            m_uaDacVolts = corrected / m_uaPerVolt;
            WriteUaDac();
            platform::Pause(20);
            m_trimWrite = 0.0;
        }
    }

    if (m_monitorRunning) SetTimer(m_timerId, m_timerPeriodMs);

    EnableControl(IDC_HV_OFF, true);
    EnableControl(IDC_HV_ON, hvOnWasEnabled);
    EnableControl(IDC_SET_HV_AND_UA, true);
    SetStatusText("Ravlen Ready");
}
