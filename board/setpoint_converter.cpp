#include "app/text_format.h"
#include "app/tube_control_dlg.h"
#include "board/mpsse_engine.h"

void CTubeControlDlg::WriteHvDac() {
    const streams::Band band = streams::HvDacBand(m_kvPerVolt, m_kvMin, m_kvMax, m_trimWrite != 0);
    if (m_hvOn && !band.Contains(m_kvDacVolts)) {
        SetStatusText("Requested voltage out of range.  Please enter voltage in range.");
        return;
    }
    const int code = streams::HvDacCode(m_kvDacVolts, m_converterCounts, m_converterVref);
    SetDlgItemText(IDC_HV_DAC_CODE, streams::CodeText(code));
    const streams::Stream stream = streams::DacStream(g_lowByteShadow, g_highByteShadow,
                                                      streams::DacChannel::HighVoltage, code);
    g_lowByteShadow = stream.low;
    g_highByteShadow = stream.high;
    if (BusWrite(*this, stream.bytes) != FT_OK) {
        // Flagged before the report, so that the shutdown it starts leaves this converter
        // and the engine alone.
        m_hvDacFailed = true;
        FailAndClose("HV DAC error setting voltage.");
    }
}

void CTubeControlDlg::WriteUaDac() {
    const streams::Band band = streams::UaDacBand(m_uaPerVolt, m_uaMin, m_uaMax);
    if (m_hvOn && !band.Contains(m_uaDacVolts)) {
        SetStatusText("Requested current out of range.  Please enter current in range.");
        return;
    }
    const int code = streams::UaDacCode(m_uaDacVolts, m_converterVref, m_converterCounts);
    SetDlgItemText(IDC_UA_DAC_CODE, streams::CodeText(code));
    const streams::Stream stream = streams::DacStream(g_lowByteShadow, g_highByteShadow,
                                                      streams::DacChannel::Current, code);
    g_lowByteShadow = stream.low;
    g_highByteShadow = stream.high;
    if (BusWrite(*this, stream.bytes) != FT_OK) {
        m_uaDacFailed = true;
        FailAndClose("uA DAC error setting current.");
    }
}
