// Operating the tube on the simulated board: forced monitor readings and the converter
// frames the dialog sent.
#pragma once

#include <cstdint>
#include <numeric>
#include <vector>

#include "tests/support/dialog_fixture.h"

class ControlTest : public DialogTest {
protected:
    // The monitor converter sees the volts that these readings correspond to with the
    // scales now in force.
    void Force(double kv, double ua) {
        ravlen_sim_set_monitor_volts(0, kv / Dlg().m_kvPerVolt);
        ravlen_sim_set_monitor_volts(1, ua / Dlg().m_uaPerVolt);
    }

    void SetEdits(const char* kv, const char* ua) {
        Dlg().SetDlgItemText(IDC_KV_EDIT, kv);
        Dlg().SetDlgItemText(IDC_UA_EDIT, ua);
    }

    // Connected, buttons usable, HV ON answered Yes.
    void StartHv() {
        ConnectReady();
        Dlg().OnHvOn();
    }

    struct DacFrame {
        uint8_t channel;  // 0x18 high voltage, 0x19 current
        int code;
        bool operator==(const DacFrame&) const = default;
    };
    // The setpoint converter frames among the writes since the last ClearCalls.
    std::vector<DacFrame> DacFrames() const {
        std::vector<DacFrame> frames;
        for (const auto& w : Writes()) {
            if (w.size() == 12 && w[3] == 0x10 && (w[6] == 0x18 || w[6] == 0x19))
                frames.push_back({w[6], (w[7] << 4) | (w[8] >> 4)});
        }
        return frames;
    }

    unsigned PauseTotal() const { return std::accumulate(Pauses().begin(), Pauses().end(), 0u); }
};
