// The serial engine of the controller's USB chip: its line shadows, the bus-busy flag and
// the transaction helpers that every board transaction goes through.
#pragma once

#include <cstdint>
#include <vector>

#include "board/streams.h"
#include "device/d2xx_api.h"

class CTubeControlDlg;

// The values last commanded on the low-byte and high-byte lines. Every stream is built
// from these, and the values a stream leaves on the lines are stored back before its bytes
// are written.
extern uint8_t g_lowByteShadow;
extern uint8_t g_highByteShadow;
// 1 while a transfer of a board transaction is in progress.
extern int32_t g_busBusy;

// Read and write time-outs set with the engine and again before each converter or sensor
// read.
constexpr ULONG kTransferTimeoutMs = 40;
constexpr UCHAR kLatencyMs = 4;

// Status of a transfer that found the bus taken. All device work runs on the dialog's one
// thread, so a taken bus can only mean re-entry from inside a transfer; waiting for it
// would never end, and sending would interleave two streams. Such a transfer is failed
// instead, without touching the library, and its transaction reports its own message.
constexpr FT_STATUS kBusTakenStatus = FT_IO_ERROR;

// One FT_Write under the bus-busy flag. An unresolved FT_Write is reported ("FT_Write is
// not valid!") before the bus is taken and gives status 1. The count written is not
// examined by anyone, so it is not returned.
FT_STATUS BusWrite(CTubeControlDlg& dlg, const std::vector<uint8_t>& bytes);
// One FT_Read of `wanted` bytes under the bus-busy flag; `returned` receives the count.
// An unresolved FT_Read is reported ("FT_Read is not valid!") and gives status 1.
FT_STATUS BusRead(CTubeControlDlg& dlg, uint8_t* buffer, DWORD wanted, DWORD& returned);
// FT_SetTimeouts with the transfer time-outs; its status is not examined. An unresolved
// entry point is reported ("FT_SetTimeouts is not valid!").
void SetTransferTimeouts(CTubeControlDlg& dlg);

// A writing transaction: the stream's shadows are stored, the stream is written, and a
// failed write is reported with `writeError`. Returns true when the write succeeded.
bool SendTransaction(CTubeControlDlg& dlg, const streams::Stream& stream, const char* writeError);

struct ReadMessages {
    const char* writeError;
    const char* readStatusError;
    const char* tooFewBytes;
};
// A reading transaction: as SendTransaction, then (when `setTimeouts`) the time-outs again,
// then one read of exactly `wanted` bytes. A failed read or a short answer is reported with
// its message. Returns true only when all `wanted` bytes arrived.
bool ReadTransaction(CTubeControlDlg& dlg, const streams::Stream& stream, bool setTimeouts,
                     uint8_t* answer, DWORD wanted, const ReadMessages& messages);
