#include "app/tube_control_dlg.h"
#include "board/mpsse_engine.h"

void CTubeControlDlg::ReadPort(unsigned char& value, int portSelector) {
    // No line changes and no time-outs of its own: those set with the engine apply.
    uint8_t answer = 0;
    if (!ReadTransaction(*this, streams::PortReadStream(g_lowByteShadow, g_highByteShadow, portSelector),
                         false, &answer, 1,
                         {"Port IO write command error.", "Port IO read data status error.",
                          "Port IO too few data bytes returned."})) {
        return;
    }
    value = answer;
}
