// The monitor cycle: once a second the measured voltage and current, their smoothed display,
// the output power, the out-of-range banner, the X-RAY ON blink, the port poll with the
// interlock handling, and the board temperature.
#include <string>

#include "app/text_format.h"
#include "app/tube_control_dlg.h"
#include "control/text_numbers.h"

namespace {

constexpr unsigned kMonitorTimerId = 1;

// A nudge so that readings sitting exactly on a half round up, not to the even neighbour.
constexpr double kRoundingNudge = 1e-9;

// Readings are reported as volts texts; with the high voltage off they must sit near zero,
// which the tolerance test expresses as a band around this reference.
constexpr double kIdleReference = 1.1;

// Ticks after a high-voltage switch during which the outputs may still decay.
constexpr int32_t kSettleTicks = 7;

constexpr int32_t kRestoredTicks = 3;

const QColor kWhite = QColor(RGB(255, 255, 255));
const QColor kGreen = QColor(RGB(0, 255, 0));
const QColor kYellow = QColor(RGB(255, 255, 0));
const QColor kRed = QColor(RGB(255, 0, 0));

// Whole units of a reading as the display rounds them: the reading goes through its
// "%.0f" text and comes back as that text's leading integer.
int32_t WholeUnits(double reading, const char* format) {
    return ReadLeadingInteger(Format(format, reading + kRoundingNudge));
}

QColor PowerBandColor(int32_t powerMw, double powerMaxW, double powerMarginW) {
    const int32_t greenLimit = static_cast<int32_t>((powerMaxW - 2 * powerMarginW) * 1000);
    const int32_t redLimit = static_cast<int32_t>(powerMaxW * 1000);
    if (powerMw < 10) return kWhite;
    if (powerMw < greenLimit) return kGreen;
    if (powerMw < redLimit) return kYellow;
    return kRed;
}

// An active tile is lit and enabled; an idle one greyed and disabled.
void MakeTileActive(CTubeControlDlg& dlg, int id, CTintedStatic& tile) {
    dlg.EnableControl(id, true);
    tile.SetBackColor(activeTileBack);
    tile.SetTextColor(activeTileText);
}

void MakeTileIdle(CTubeControlDlg& dlg, int id, CTintedStatic& tile) {
    tile.SetBackColor(idleTileBack);
    tile.SetTextColor(idleTileText);
    dlg.EnableControl(id, false);
}

int Bit(unsigned char value, int bit) { return (value >> bit) & 1; }

// The eight lines of a port as digits, bit 7 first.
std::string BitsText(unsigned char value) {
    std::string text;
    for (int bit = 7; bit >= 0; --bit) text += static_cast<char>('0' + Bit(value, bit));
    return text;
}

}  // namespace

double CTubeControlDlg::Average7(double value, double history[7], bool restart) {
    if (restart) {
        double sum = 0.0;
        for (int i = 0; i < 7; ++i) {
            history[i] = value;
            sum += value;
        }
        return sum * 0.14285714285714285;
    }
    for (int i = 6; i > 0; --i) history[i] = history[i - 1];
    history[0] = value;
    double sum = 0.0;
    for (int i = 0; i < 7; ++i) sum += history[i];
    return sum * 0.14285714285714285;
}

bool CTubeControlDlg::InTolerance(double reference, double value, bool wide) {
    const double t = wide ? 0.1 : 0.05;
    return reference * (1 - t) - 1 < value && value < reference * (1 + t) + 1;
}

void CTubeControlDlg::OnTimer(unsigned id) {
    if (id == kMonitorTimerId) {
        m_trimWrite = 0.0;

        ReadHvAdc();
        m_measuredKv = ReadLeadingNumber(m_hvAdcText) * m_kvPerVolt;
        const int32_t wholeKv = WholeUnits(m_measuredKv, "%.0fkV");
        SetDlgItemText(IDC_HV_MONITOR,
                       Format("%.1fkV", Average7(m_measuredKv + kRoundingNudge, kvHistory, averageRestart)));

        ReadUaAdc();
        m_measuredUa = ReadLeadingNumber(m_uaAdcText) * m_uaPerVolt;
        const int32_t wholeUa = WholeUnits(m_measuredUa, "%.0fuA");
        SetDlgItemText(IDC_UA_MONITOR,
                       Format("%.1fuA", Average7(m_measuredUa + kRoundingNudge, uaHistory, averageRestart)));

        // Both factors are bounded by the converters' full scale, so the product fits.
        const int32_t powerMw = wholeKv * wholeUa;
        SetDlgItemText(IDC_POWER, Format("%d", powerMw));
        m_powerReadout.SetBackColor(PowerBandColor(powerMw, m_powerMaxW, m_powerMarginW));
        const bool powerOk = powerMw < (m_powerMaxW + m_powerMarginW) * 1000;

        bool bannerHidden;
        if (m_hvOn) {
            bannerHidden = InTolerance(m_appliedKv, m_measuredKv, true) &&
                           InTolerance(m_appliedUa, m_measuredUa, true) && powerOk;
        } else if (m_settleTicks < kSettleTicks) {
            bannerHidden = true;
            ++m_settleTicks;
        } else {
            bannerHidden = InTolerance(kIdleReference, m_measuredKv, true) &&
                           InTolerance(kIdleReference, m_measuredUa, true) && powerOk;
        }
        ShowControl(IDC_OUT_OF_RANGE, !bannerHidden);

        if (m_hvOn) {
            ShowControl(IDC_XRAY_ICON, !IsControlVisible(IDC_XRAY_ICON));
            ShowControl(IDC_XRAY_TEXT, true);
        } else {
            ShowControl(IDC_XRAY_ICON, false);
            ShowControl(IDC_XRAY_TEXT, false);
        }

        PollPorts();
        ReadTempSensor();
        averageRestart = false;
    }
    platform::DialogWindow::OnTimer(id);
}

void CTubeControlDlg::PollPorts() {
    unsigned char port0 = 0;
    unsigned char port1 = 0;
    ReadPort(port0, 0);
    ReadPort(port1, 2);

    if (m_hvOn != lastHvOnShown) {
        if (m_hvOn) {
            MakeTileActive(*this, IDC_HV_ENABLED, m_hvEnabledIndicator);
        } else {
            MakeTileIdle(*this, IDC_HV_ENABLED, m_hvEnabledIndicator);
        }
        lastHvOnShown = m_hvOn;
    }

    const bool monitorReady = Bit(port0, 7) != 0;
    if (monitorReady != lastMonitorReadyBit) {
        lastMonitorReadyBit = monitorReady;
        if (monitorReady) {
            MakeTileActive(*this, IDC_MONITOR_READY, m_monitorReadyIndicator);
        } else {
            MakeTileIdle(*this, IDC_MONITOR_READY, m_monitorReadyIndicator);
        }
    }

    const bool interlockClosed = Bit(port1, 0) != 0;
    if (interlockClosed != lastInterlockClosed) {
        lastInterlockClosed = interlockClosed;
        if (!interlockClosed) {
            SetHvButtons(false);
            // A pending HV ON question must not outlive the interlock: the operator would
            // otherwise answer Yes to a state that no longer holds.
            platform::AnswerOpenQuestion(platform::ApplicationTitle(), platform::IDNO);
            OnHvOff();
            SetHvButtons(false);  // HV OFF hands the buttons back; the open interlock keeps them
        }
    }

    if (!lastInterlockClosed) {
        restoredCountdown = kRestoredTicks;
        ShowControl(IDC_INTERLOCK_OPEN_ICON, true);
        ShowControl(IDC_INTERLOCK_OPEN_TEXT, true);
        ShowControl(IDC_INTERLOCK_RESTORED_ICON, false);
        ShowControl(IDC_INTERLOCK_RESTORED_TEXT, false);
    } else if (restoredCountdown > 0) {
        --restoredCountdown;
        ShowControl(IDC_INTERLOCK_RESTORED_ICON, true);
        ShowControl(IDC_INTERLOCK_RESTORED_TEXT, true);
        ShowControl(IDC_INTERLOCK_OPEN_ICON, false);
        ShowControl(IDC_INTERLOCK_OPEN_TEXT, false);
    } else if (!m_hvOn) {
        ShowControl(IDC_INTERLOCK_RESTORED_ICON, false);
        ShowControl(IDC_INTERLOCK_RESTORED_TEXT, false);
        ShowControl(IDC_INTERLOCK_OPEN_ICON, false);
        ShowControl(IDC_INTERLOCK_OPEN_TEXT, false);
        SetHvButtons(true);
    }

    UpdateData(true);
    m_portText = "Port0:" + BitsText(port0) + " Port1:" + BitsText(port1);
    UpdateData(false);
    RepaintNow();
}

void CTubeControlDlg::OnStartMonitor() {
    SetTimer(m_timerId, m_timerPeriodMs);
    m_monitorRunning = true;
}

void CTubeControlDlg::OnStopMonitor() {
    KillTimer(m_timerId);
    m_monitorRunning = false;
}
