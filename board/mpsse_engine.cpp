#include "board/mpsse_engine.h"

#include "app/tube_control_dlg.h"

uint8_t g_lowByteShadow = 0;
uint8_t g_highByteShadow = 0;
int32_t g_busBusy = 0;

FT_STATUS BusWrite(CTubeControlDlg& dlg, const std::vector<uint8_t>& bytes) {
    if (dlg.m_d2xx.FT_Write == nullptr) {
        dlg.FailAndClose(NotValidMessage("FT_Write"));
        return 1;
    }
    if (g_busBusy != 0) return kBusTakenStatus;
    std::vector<uint8_t> buffer(bytes);
    DWORD written = 0;
    g_busBusy = 1;
    const FT_STATUS status =
        dlg.D2xxWrite(buffer.data(), static_cast<DWORD>(buffer.size()), &written);
    g_busBusy = 0;
    return status;
}

FT_STATUS BusRead(CTubeControlDlg& dlg, uint8_t* buffer, DWORD wanted, DWORD& returned) {
    returned = 0;
    if (dlg.m_d2xx.FT_Read == nullptr) {
        dlg.FailAndClose(NotValidMessage("FT_Read"));
        return 1;
    }
    if (g_busBusy != 0) return kBusTakenStatus;
    g_busBusy = 1;
    const FT_STATUS status = dlg.m_d2xx.FT_Read(dlg.m_ftHandle, buffer, wanted, &returned);
    g_busBusy = 0;
    return status;
}

void SetTransferTimeouts(CTubeControlDlg& dlg) {
    if (dlg.m_d2xx.FT_SetTimeouts == nullptr) {
        dlg.FailAndClose(NotValidMessage("FT_SetTimeouts"));
        return;
    }
    dlg.m_d2xx.FT_SetTimeouts(dlg.m_ftHandle, kTransferTimeoutMs, kTransferTimeoutMs);
}

bool SendTransaction(CTubeControlDlg& dlg, const streams::Stream& stream, const char* writeError) {
    g_lowByteShadow = stream.low;
    g_highByteShadow = stream.high;
    if (BusWrite(dlg, stream.bytes) != FT_OK) {
        dlg.FailAndClose(writeError);
        return false;
    }
    return true;
}

bool ReadTransaction(CTubeControlDlg& dlg, const streams::Stream& stream, bool setTimeouts,
                     uint8_t* answer, DWORD wanted, const ReadMessages& messages) {
    if (!SendTransaction(dlg, stream, messages.writeError)) return false;
    if (setTimeouts) SetTransferTimeouts(dlg);
    DWORD returned = 0;
    if (BusRead(dlg, answer, wanted, returned) != FT_OK) {
        dlg.FailAndClose(messages.readStatusError);
        return false;
    }
    if (returned < wanted) {
        dlg.FailAndClose(messages.tooFewBytes);
        return false;
    }
    return true;
}

void CTubeControlDlg::EnableSerialEngine() {
    if (driversLoaded == 0) {
        FailAndClose("No drivers loaded!");
        return;
    }
    // Latency and time-outs only shape the timing of reads, so their status is not examined.
    if (m_d2xx.FT_SetLatencyTimer == nullptr) {
        FailAndClose(NotValidMessage("FT_SetLatencyTimer"));
    } else {
        m_d2xx.FT_SetLatencyTimer(m_ftHandle, kLatencyMs);
    }
    SetTransferTimeouts(*this);

    FT_STATUS status = 1;
    if (m_d2xx.FT_SetBitMode == nullptr) {
        FailAndClose(NotValidMessage("FT_SetBitMode"));
    } else {
        status = m_d2xx.FT_SetBitMode(m_ftHandle, 0x00, FT_BITMODE_MPSSE);
    }
    if (status != FT_OK) {
        FailAndClose("Error enabling serial engine (MPSSE). Check controller connection.");
        return;
    }
    RepaintNow();

    if (!SendTransaction(*this, streams::LineInitStream(), "Error initializing I/O lines.")) return;
    m_engineEnabled = true;
}

void CTubeControlDlg::SetClockDivisor() {
    SendTransaction(*this, streams::ClockDivisorStream(g_lowByteShadow, g_highByteShadow),
                    "Error setting clock divisor.");
}

void CTubeControlDlg::DisableSerialEngine() {
    // Runs only inside the shutdown, where a failure report starts no second shutdown, so
    // the bus is held across the report. A bus found taken is not waited for (see
    // kBusTakenStatus): the mode reset is reported as failed and the holder keeps the flag.
    const bool tookBus = g_busBusy == 0;
    if (tookBus) g_busBusy = 1;
    KillTimer(m_timerId);

    FT_STATUS status = kBusTakenStatus;
    if (m_d2xx.FT_SetBitMode == nullptr) {
        FailAndClose(NotValidMessage("FT_SetBitMode"));
        status = 1;
    } else if (tookBus) {
        status = m_d2xx.FT_SetBitMode(m_ftHandle, 0x00, FT_BITMODE_RESET);
    }
    if (status != FT_OK) FailAndClose("Error disabling serial engine (MPSSE).");
    RepaintNow();

    m_engineEnabled = false;
    if (tookBus) g_busBusy = 0;
}
