#include "app/tube_control_dlg.h"
#include "board/mpsse_engine.h"

namespace {

// One conversion: the result text is a single blank while it runs and stays so on failure.
void ReadMonitorChannel(CTubeControlDlg& dlg, streams::AdcChannel channel, std::string& result,
                        int codeControl, const ReadMessages& messages) {
    result = " ";
    dlg.RepaintNow();
    uint8_t answer[streams::kAdcAnswerBytes] = {0, 0};
    const streams::Stream stream = streams::AdcStream(g_lowByteShadow, g_highByteShadow, channel);
    if (!ReadTransaction(dlg, stream, true, answer, streams::kAdcAnswerBytes, messages)) return;
    const int code = streams::AdcCode(answer[0], answer[1]);
    dlg.SetDlgItemText(codeControl, streams::CodeText(code));
    result = streams::AdcVoltsText(streams::AdcVolts(code, dlg.m_converterVref, dlg.m_converterCounts));
    dlg.RepaintNow();
}

}  // namespace

void CTubeControlDlg::ReadHvAdc() {
    ReadMonitorChannel(*this, streams::AdcChannel::HighVoltage, m_hvAdcText, IDC_HV_ADC_CODE,
                       {"HV ADC write command error.", "HV ADC read data status error.",
                        "HV ADC too few data bytes returned."});
}

void CTubeControlDlg::ReadUaAdc() {
    ReadMonitorChannel(*this, streams::AdcChannel::Current, m_uaAdcText, IDC_UA_ADC_CODE,
                       {"uA ADC write command error.", "uA ADC read data status error.",
                        "uA ADC too few data bytes returned."});
}
