#include "app/tube_control_dlg.h"
#include "board/mpsse_engine.h"

void CTubeControlDlg::SetupTempSensor() {
    SendTransaction(*this, streams::TempSetupStream(g_lowByteShadow, g_highByteShadow),
                    "Temperature Sensor setup error.");
}

void CTubeControlDlg::ReadTempSensor() {
    uint8_t answer[streams::kTempAnswerBytes] = {0, 0};
    if (!ReadTransaction(*this, streams::TempReadStream(g_lowByteShadow, g_highByteShadow), true,
                         answer, streams::kTempAnswerBytes,
                         {"Temperature Sensor write command error.",
                          "Temperature Sensor read data status error.",
                          "Temperature Sensor too few data bytes returned."})) {
        return;
    }
    const uint8_t lowByte = answer[0];
    const uint8_t highByte = answer[1];
    SetDlgItemText(IDC_TEMPERATURE, streams::TempText(streams::TempCelsius(lowByte, highByte)));
    SetDlgItemText(IDC_TEMP_RAW, streams::TempRawText(lowByte, highByte));
}
