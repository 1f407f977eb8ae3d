// The simulated USB bus: controllers, handles, the call record, fault rules,
// the time source and the interactive set-up. One instance per loaded library;
// every public member function takes the lock itself unless it says otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "device/d2xx_api.h"
#include "sim/board.h"
#include "sim/mpsse_chip.h"
#include "sim/ravlen_sim.h"

namespace ravlen::sim {

class ControlServer;

struct Controller {
    Controller(SupplySettings& settings, ErrorSink error);
    void SetSerialDigits(std::string digits);
    MpsseChip& Chip(int iface) { return iface == 0 ? chipA : chipB; }

    std::string description = "Ravlen Controller";
    std::string serialDigits;
    bool single = false;
    bool plugged = true;
    uint32_t generation = 0;  // bumped by every unplug; older handles are stale
    Board board;
    MpsseChip chipA;
    MpsseChip chipB;
    bool open[2] = {false, false};
};

class Simulator {
public:
    static Simulator& Instance();

    // D2XX entry points.
    FT_STATUS Open(int deviceNumber, FT_HANDLE* handle);
    FT_STATUS OpenEx(PVOID arg, DWORD flags, FT_HANDLE* handle);
    FT_STATUS Close(FT_HANDLE handle);
    FT_STATUS Read(FT_HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesReturned);
    FT_STATUS Write(FT_HANDLE handle, LPVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten);
    FT_STATUS ResetDevice(FT_HANDLE handle);
    FT_STATUS ListDevices(PVOID arg1, PVOID arg2, DWORD flags);
    FT_STATUS Purge(FT_HANDLE handle, ULONG mask);
    FT_STATUS SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout);
    FT_STATUS GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes);
    FT_STATUS SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode);
    FT_STATUS SetLatencyTimer(FT_HANDLE handle, UCHAR latency);
    FT_STATUS GetLatencyTimer(FT_HANDLE handle, UCHAR* latency);
    FT_STATUS EeProgram(FT_HANDLE handle, PFT_PROGRAM_DATA data);
    FT_STATUS EeRead(FT_HANDLE handle, PFT_PROGRAM_DATA data);

    // One text command of the control socket; answers "ok", "error: ..." or
    // the status lines.
    std::string Command(const std::string& line);

    // ---- Used by the control API with the lock held --------------------------
    std::mutex mutex;
    void Reset();
    void SetControllerCount(int n);
    Controller* ControllerAt(int index);
    Controller* Observed();
    void Unplug(int index);
    void Replug(int index);
    void SetClock(uint64_t (*nowUs)(void*), void (*sleepUs)(void*, uint64_t), void* ctx);
    uint64_t Now() const;
    void AdvanceAll();
    bool AddFailRule(const std::string& entry, unsigned nth, uint32_t status);
    void AddShortRead(unsigned nth, unsigned bytes);
    void ClearFaults();
    void SetRawListing(unsigned count, const unsigned char (*desc)[64], const unsigned char (*serial)[64]);
    void SetChaos(unsigned seed, unsigned what);
    unsigned ListingCount() { return static_cast<unsigned>(Listing().size()); }
    void ClearRecord();
    size_t CallCount() const { return m_record.size(); }
    bool GetCall(size_t i, ravlen_sim_call* out) const;
    std::string StatusText();
    int OpenHandles() const { return static_cast<int>(m_handles.size()); }
    void ProtocolError(const std::string& text);
    // Closes the control socket; run when the library is unloaded.
    void StopServer();

    SupplySettings supply;
    unsigned readLatencyMs = 0;
    int observed = 0;
    unsigned protocolErrors = 0;
    std::string lastProtocolError;

private:
    Simulator();
    void ApplyEnvironment();

    struct Listed {
        Controller* ctrl = nullptr;  // null for a raw entry beyond the real interfaces
        int iface = 0;
        std::string description;
        std::string serial;
        const unsigned char* rawDesc = nullptr;
        const unsigned char* rawSerial = nullptr;
        uint32_t location = 0;
    };
    std::vector<Listed> Listing();
    FT_STATUS OpenListed(const std::vector<Listed>& list, size_t index, FT_HANDLE* handle);

    struct Handle {
        std::shared_ptr<Controller> ctrl;
        int iface = 0;
        uint32_t generation = 0;
        uint32_t listIndex = 0;
    };
    // Looks the handle up: FT_INVALID_HANDLE for an unknown one, FT_IO_ERROR
    // when its controller has gone.
    FT_STATUS Lookup(FT_HANDLE handle, Handle** out);
    uint32_t HandleIndex(FT_HANDLE handle);

    std::optional<uint32_t> TakeFault(const char* entry);
    std::optional<unsigned> TakeShortRead();
    FT_STATUS Record(const char* entry, FT_STATUS status, std::array<uint32_t, 3> args,
                     const void* data = nullptr, size_t length = 0);
    void Trace(const ravlen_sim_call& call, const std::vector<unsigned char>& bytes);
    void Sleep(uint64_t us);

    std::vector<std::shared_ptr<Controller>> m_controllers;
    std::map<uintptr_t, Handle> m_handles;
    uintptr_t m_nextHandle = 0x5100;

    struct RecordEntry {
        ravlen_sim_call call;
        std::vector<unsigned char> bytes;
    };
    std::deque<RecordEntry> m_record;

    struct FailRule {
        std::string entry;
        unsigned remaining;
        uint32_t status;
    };
    std::vector<FailRule> m_failRules;
    struct ShortRule {
        unsigned remaining;
        unsigned bytes;
    };
    std::vector<ShortRule> m_shortRules;

    bool m_rawListing = false;
    std::vector<std::array<unsigned char, 64>> m_rawDesc;
    std::vector<std::array<unsigned char, 64>> m_rawSerial;

    unsigned m_chaos = 0;
    std::mt19937 m_chaosRng;

    uint64_t (*m_nowUs)(void*) = nullptr;
    void (*m_sleepUs)(void*, uint64_t) = nullptr;
    void* m_clockCtx = nullptr;

    FILE* m_trace = nullptr;
    std::unique_ptr<ControlServer> m_server;
};

// The fifteen entry points, in the order the program resolves them.
extern const char* const kEntryNames[15];

}  // namespace ravlen::sim
