#include "sim/simulator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "sim/control_socket.h"

namespace ravlen::sim {

const char* const kEntryNames[15] = {
    "FT_Write",           "FT_Read",           "FT_Open",        "FT_OpenEx",
    "FT_ListDevices",     "FT_Close",          "FT_ResetDevice", "FT_Purge",
    "FT_SetTimeouts",     "FT_GetQueueStatus", "FT_SetBitMode",  "FT_SetLatencyTimer",
    "FT_GetLatencyTimer", "FT_EE_Program",     "FT_EE_Read",
};

namespace {

constexpr uint32_t kNoIndex = 0xFFFFFFFFu;
constexpr int kMaxControllers = 64;
constexpr size_t kRecordLimit = 1000000;
constexpr double kDefaultKvSigma = 0.02;
constexpr double kDefaultUaSigma = 0.05;
constexpr unsigned kDefaultSeed = 1;

std::string DefaultSerial(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%08d", 12345 + index);
    return text;
}

// The same leading-number rule the program applies to the first 8 characters.
long SerialValue(const std::string& digits) {
    std::string head = digits.substr(0, 8);
    return std::strtol(head.c_str(), nullptr, 10);
}

void CopyListText(char* out, const std::string& text) {
    size_t n = std::min<size_t>(text.size(), FT_LIST_STRING_BYTES - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

std::vector<std::string> SplitList(const char* text) {
    std::vector<std::string> items;
    std::string item;
    for (const char* p = text; *p; ++p) {
        if (*p == ',') {
            items.push_back(item);
            item.clear();
        } else {
            item += *p;
        }
    }
    items.push_back(item);
    return items;
}

bool ParseLong(const std::string& text, long* out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0')
        return false;
    *out = v;
    return true;
}

bool ParseDouble(const std::string& text, double* out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (*end != '\0')
        return false;
    *out = v;
    return true;
}

int ParseInterlock(const std::string& text) {
    if (text == "closed" || text == "close" || text == "1")
        return 1;
    if (text == "open" || text == "0")
        return 0;
    return -1;
}

uint64_t RealNowUs() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
            .count());
}

}  // namespace

Controller::Controller(SupplySettings& settings, ErrorSink error)
    : board(settings, std::move(error)), chipA(&board), chipB(nullptr) {
    chipA.PowerUp();
    chipB.PowerUp();
}

void Controller::SetSerialDigits(std::string digits) {
    serialDigits = std::move(digits);
    board.SetSerialValue(SerialValue(serialDigits));
}

Simulator& Simulator::Instance() {
    // Never destroyed: the control thread may still run while the process exits.
    static Simulator* instance = new Simulator;
    return *instance;
}

Simulator::Simulator() {
    std::lock_guard lock(mutex);
    Reset();
    ApplyEnvironment();
}

// ---- Configuration -------------------------------------------------------------

void Simulator::Reset() {
    m_handles.clear();
    m_controllers.clear();
    m_nowUs = nullptr;
    m_sleepUs = nullptr;
    m_clockCtx = nullptr;
    SetControllerCount(1);
    m_rawListing = false;
    m_rawDesc.clear();
    m_rawSerial.clear();
    m_chaos = 0;
    ClearFaults();
    ClearRecord();
    supply.kvSigma = kDefaultKvSigma;
    supply.uaSigma = kDefaultUaSigma;
    supply.noise.Seed(kDefaultSeed);
    readLatencyMs = 0;
    observed = 0;
    protocolErrors = 0;
    lastProtocolError.clear();
}

void Simulator::SetControllerCount(int n) {
    n = std::clamp(n, 0, kMaxControllers);
    while (static_cast<int>(m_controllers.size()) > n) {
        // Handles still pointing at it go stale.
        m_controllers.back()->plugged = false;
        ++m_controllers.back()->generation;
        m_controllers.pop_back();
    }
    while (static_cast<int>(m_controllers.size()) < n) {
        auto c = std::make_shared<Controller>(supply, [this](const std::string& t) { ProtocolError(t); });
        c->SetSerialDigits(DefaultSerial(static_cast<int>(m_controllers.size())));
        c->board.RestartTime(Now());
        m_controllers.push_back(std::move(c));
    }
}

Controller* Simulator::ControllerAt(int index) {
    if (index < 0 || index >= static_cast<int>(m_controllers.size()))
        return nullptr;
    return m_controllers[static_cast<size_t>(index)].get();
}

Controller* Simulator::Observed() {
    return ControllerAt(observed);
}

void Simulator::Unplug(int index) {
    Controller* c = ControllerAt(index);
    if (!c || !c->plugged)
        return;
    AdvanceAll();
    c->plugged = false;
    ++c->generation;
    c->open[0] = c->open[1] = false;
    c->board.SetPowered(false);
    c->board.PowerDown();
    c->chipA.PowerUp();
    c->chipB.PowerUp();
}

void Simulator::Replug(int index) {
    Controller* c = ControllerAt(index);
    if (!c || c->plugged)
        return;
    AdvanceAll();
    c->plugged = true;
    c->board.SetPowered(true);
    c->chipA.PowerUp();
    c->chipB.PowerUp();
}

uint64_t Simulator::Now() const {
    return m_nowUs ? m_nowUs(m_clockCtx) : RealNowUs();
}

void Simulator::Sleep(uint64_t us) {
    if (m_sleepUs) {
        m_sleepUs(m_clockCtx, us);
    } else {
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
}

void Simulator::AdvanceAll() {
    uint64_t now = Now();
    for (auto& c : m_controllers)
        c->board.Advance(now);
}

void Simulator::SetClock(uint64_t (*nowUs)(void*), void (*sleepUs)(void*, uint64_t), void* ctx) {
    AdvanceAll();
    m_nowUs = nowUs;
    m_sleepUs = nowUs ? sleepUs : nullptr;
    m_clockCtx = nowUs ? ctx : nullptr;
    uint64_t now = Now();
    for (auto& c : m_controllers)
        c->board.RestartTime(now);
}

void Simulator::ProtocolError(const std::string& text) {
    ++protocolErrors;
    lastProtocolError = text;
    if (m_trace) {
        std::fprintf(m_trace, "# protocol error: %s\n", text.c_str());
        std::fflush(m_trace);
    }
}

bool Simulator::AddFailRule(const std::string& entry, unsigned nth, uint32_t status) {
    if (nth == 0)
        return false;
    if (std::none_of(std::begin(kEntryNames), std::end(kEntryNames),
                     [&](const char* n) { return entry == n; }))
        return false;
    m_failRules.push_back({entry, nth, status});
    return true;
}

void Simulator::AddShortRead(unsigned nth, unsigned bytes) {
    if (nth > 0)
        m_shortRules.push_back({nth, bytes});
}

void Simulator::ClearFaults() {
    m_failRules.clear();
    m_shortRules.clear();
}

std::optional<uint32_t> Simulator::TakeFault(const char* entry) {
    std::optional<uint32_t> status;
    for (auto it = m_failRules.begin(); it != m_failRules.end();) {
        if (it->entry == entry && --it->remaining == 0) {
            if (!status)
                status = it->status;
            it = m_failRules.erase(it);
        } else {
            ++it;
        }
    }
    return status;
}

std::optional<unsigned> Simulator::TakeShortRead() {
    std::optional<unsigned> bytes;
    for (auto it = m_shortRules.begin(); it != m_shortRules.end();) {
        if (--it->remaining == 0) {
            if (!bytes)
                bytes = it->bytes;
            it = m_shortRules.erase(it);
        } else {
            ++it;
        }
    }
    return bytes;
}

void Simulator::SetRawListing(unsigned count, const unsigned char (*desc)[64],
                              const unsigned char (*serial)[64]) {
    m_rawDesc.clear();
    m_rawSerial.clear();
    m_rawListing = desc != nullptr;
    if (!desc)
        return;
    m_rawDesc.resize(count);
    m_rawSerial.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        std::memcpy(m_rawDesc[i].data(), desc[i], 64);
        if (serial) {
            std::memcpy(m_rawSerial[i].data(), serial[i], 64);
        } else {
            m_rawSerial[i].fill(0);
        }
    }
}

void Simulator::SetChaos(unsigned seed, unsigned what) {
    const bool listingBefore = (m_chaos & RAVLEN_SIM_CHAOS_LISTING) != 0;
    m_chaos = what;
    m_chaosRng.seed(seed);
    if ((what & RAVLEN_SIM_CHAOS_LISTING) == 0) {
        if (listingBefore)
            SetRawListing(0, nullptr, nullptr);
        return;
    }
    auto below = [this](unsigned n) { return static_cast<unsigned>(m_chaosRng() % n); };
    // Small listings are where the decisions are, so they come up far more often than a
    // uniform draw over 0..1000 would give them.
    const unsigned count = below(4) == 0 ? below(4) : below(1001);
    std::vector<std::array<unsigned char, 64>> desc(count), serial(count);
    auto fill = [&](std::array<unsigned char, 64>& image) {
        for (auto& b : image)
            b = static_cast<unsigned char>(m_chaosRng());
        switch (below(4)) {
        case 0:  // all 64 bytes used, no terminator at all
            for (auto& b : image)
                if (b == 0)
                    b = 0xA0;
            break;
        case 1:  // digits first, then anything
            for (unsigned i = 0, n = below(12); i < n; ++i)
                image[i] = static_cast<unsigned char>('0' + below(10));
            break;
        case 2:  // a short terminated text of arbitrary bytes
            image[below(64)] = 0;
            break;
        default:  // raw bytes as they came
            break;
        }
    };
    for (unsigned i = 0; i < count; ++i) {
        fill(desc[i]);
        fill(serial[i]);
    }
    m_rawDesc = std::move(desc);
    m_rawSerial = std::move(serial);
    m_rawListing = true;
}

// ---- Record ---------------------------------------------------------------------

void Simulator::ClearRecord() {
    m_record.clear();
}

bool Simulator::GetCall(size_t i, ravlen_sim_call* out) const {
    if (i >= m_record.size() || !out)
        return false;
    const RecordEntry& e = m_record[i];
    *out = e.call;
    out->data = e.bytes.empty() ? nullptr : e.bytes.data();
    out->length = static_cast<uint32_t>(e.bytes.size());
    return true;
}

FT_STATUS Simulator::Record(const char* entry, FT_STATUS status, std::array<uint32_t, 3> args,
                            const void* data, size_t length) {
    if (m_record.size() >= kRecordLimit) {
        // Long interactive runs keep the most recent half.
        m_record.erase(m_record.begin(), m_record.begin() + static_cast<std::ptrdiff_t>(kRecordLimit / 2));
    }
    RecordEntry e{};
    e.call.entry = entry;
    e.call.status = status;
    e.call.time_us = Now();
    std::copy(args.begin(), args.end(), e.call.arg);
    if (data && length) {
        auto p = static_cast<const unsigned char*>(data);
        e.bytes.assign(p, p + length);
    }
    m_record.push_back(std::move(e));
    if (m_trace)
        Trace(m_record.back().call, m_record.back().bytes);
    return status;
}

void Simulator::Trace(const ravlen_sim_call& call, const std::vector<unsigned char>& bytes) {
    char handle[16] = "-";
    if (call.arg[0] != kNoIndex)
        std::snprintf(handle, sizeof handle, "%u", call.arg[0]);
    std::fprintf(m_trace, "%llu %s %s %u %u -> %u", static_cast<unsigned long long>(call.time_us), call.entry,
                 handle, call.arg[1], call.arg[2], call.status);
    if (!bytes.empty()) {
        std::fputs(" :", m_trace);
        for (unsigned char b : bytes)
            std::fprintf(m_trace, " %02X", b);
    }
    std::fputc('\n', m_trace);
    std::fflush(m_trace);
}

// ---- Listing and handles ----------------------------------------------------------

std::vector<Simulator::Listed> Simulator::Listing() {
    std::vector<Listed> real;
    uint32_t port = 0;
    for (auto& c : m_controllers) {
        ++port;
        if (!c->plugged)
            continue;
        if (c->single) {
            real.push_back({c.get(), 0, c->description, c->serialDigits, nullptr, nullptr, (port << 4) | 1});
            continue;
        }
        real.push_back(
            {c.get(), 0, c->description + " A", c->serialDigits + "A", nullptr, nullptr, (port << 4) | 1});
        real.push_back(
            {c.get(), 1, c->description + " B", c->serialDigits + "B", nullptr, nullptr, (port << 4) | 2});
    }
    if (!m_rawListing)
        return real;
    std::vector<Listed> raw(m_rawDesc.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (i < real.size())
            raw[i] = real[i];
        else
            raw[i].ctrl = nullptr;
        raw[i].rawDesc = m_rawDesc[i].data();
        raw[i].rawSerial = m_rawSerial[i].data();
        auto text = [](const unsigned char* image) {
            const char* p = reinterpret_cast<const char*>(image);
            return std::string(p, strnlen(p, 64));
        };
        raw[i].description = text(raw[i].rawDesc);
        raw[i].serial = text(raw[i].rawSerial);
    }
    return raw;
}

FT_STATUS Simulator::Lookup(FT_HANDLE handle, Handle** out) {
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_handles.end())
        return FT_INVALID_HANDLE;
    *out = &it->second;
    const Handle& h = it->second;
    if (!h.ctrl->plugged || h.ctrl->generation != h.generation)
        return FT_IO_ERROR;
    return FT_OK;
}

uint32_t Simulator::HandleIndex(FT_HANDLE handle) {
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(handle));
    return it == m_handles.end() ? kNoIndex : it->second.listIndex;
}

FT_STATUS Simulator::OpenListed(const std::vector<Listed>& list, size_t index, FT_HANDLE* handle) {
    const Listed& l = list[index];
    if (!l.ctrl)
        return FT_DEVICE_NOT_FOUND;
    if (l.ctrl->open[l.iface])
        return FT_DEVICE_NOT_OPENED;
    auto owner = std::find_if(m_controllers.begin(), m_controllers.end(),
                              [&](const std::shared_ptr<Controller>& c) { return c.get() == l.ctrl; });
    l.ctrl->open[l.iface] = true;
    // A fresh open starts without stale answers or half commands.
    l.ctrl->Chip(l.iface).PurgeRx();
    l.ctrl->Chip(l.iface).PurgeTx();
    uintptr_t id = m_nextHandle;
    m_nextHandle += 0x10;
    m_handles[id] = Handle{*owner, l.iface, l.ctrl->generation, static_cast<uint32_t>(index)};
    *handle = reinterpret_cast<FT_HANDLE>(id);
    return FT_OK;
}

// ---- Entry points --------------------------------------------------------------------

FT_STATUS Simulator::Open(int deviceNumber, FT_HANDLE* handle) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    auto number = static_cast<uint32_t>(deviceNumber);
    if (auto f = TakeFault("FT_Open")) return Record("FT_Open", *f, {kNoIndex, number, 0});
    if (!handle) return Record("FT_Open", FT_INVALID_PARAMETER, {kNoIndex, number, 0});
    *handle = nullptr;
    auto list = Listing();
    if (deviceNumber < 0 || static_cast<size_t>(deviceNumber) >= list.size())
        return Record("FT_Open", FT_DEVICE_NOT_FOUND, {kNoIndex, number, 0});
    FT_STATUS st = OpenListed(list, static_cast<size_t>(deviceNumber), handle);
    return Record("FT_Open", st, {st == FT_OK ? number : kNoIndex, number, 0});
}

FT_STATUS Simulator::OpenEx(PVOID arg, DWORD flags, FT_HANDLE* handle) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    DWORD by = flags & (FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION | FT_OPEN_BY_LOCATION);
    bool byText = by == FT_OPEN_BY_DESCRIPTION || by == FT_OPEN_BY_SERIAL_NUMBER;
    std::string name;
    if (byText && arg)
        name = static_cast<const char*>(arg);
    auto done = [&](FT_STATUS st, uint32_t index) {
        return Record("FT_OpenEx", st, {index, flags, 0}, name.data(), name.size());
    };
    if (auto f = TakeFault("FT_OpenEx"))
        return done(*f, kNoIndex);
    if (!handle || (byText && !arg))
        return done(FT_INVALID_PARAMETER, kNoIndex);
    *handle = nullptr;
    auto list = Listing();
    if (byText) {
        bool seen = false;
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string& text = by == FT_OPEN_BY_DESCRIPTION ? list[i].description : list[i].serial;
            if (text != name || !list[i].ctrl)
                continue;
            seen = true;
            if (list[i].ctrl->open[list[i].iface])
                continue;  // a later one of the same name may be free
            FT_STATUS st = OpenListed(list, i, handle);
            return done(st, static_cast<uint32_t>(i));
        }
        return done(seen ? FT_DEVICE_NOT_OPENED : FT_DEVICE_NOT_FOUND, kNoIndex);
    }
    if (by == FT_OPEN_BY_LOCATION) {
        auto location = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arg));
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i].location != location || !list[i].ctrl)
                continue;
            FT_STATUS st = OpenListed(list, i, handle);
            return done(st, st == FT_OK ? static_cast<uint32_t>(i) : kNoIndex);
        }
        return done(FT_DEVICE_NOT_FOUND, kNoIndex);
    }
    return done(FT_INVALID_PARAMETER, kNoIndex);
}

FT_STATUS Simulator::Close(FT_HANDLE handle) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_Close"))
        return Record("FT_Close", *f, {idx, 0, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st == FT_INVALID_HANDLE)
        return Record("FT_Close", st, {idx, 0, 0});
    // Closing a handle whose controller went away still frees it.
    if (st == FT_OK)
        h->ctrl->open[h->iface] = false;
    m_handles.erase(reinterpret_cast<uintptr_t>(handle));
    return Record("FT_Close", FT_OK, {idx, 0, 0});
}

FT_STATUS Simulator::Write(FT_HANDLE handle, LPVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint64_t now = Now();
    uint32_t idx = HandleIndex(handle);
    if (bytesWritten)
        *bytesWritten = 0;
    if (auto f = TakeFault("FT_Write"))
        return Record("FT_Write", *f, {idx, bytesToWrite, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st != FT_OK)
        return Record("FT_Write", st, {idx, bytesToWrite, 0});
    if ((!buffer && bytesToWrite) || !bytesWritten)
        return Record("FT_Write", FT_INVALID_PARAMETER, {idx, bytesToWrite, 0});
    h->ctrl->Chip(h->iface).Write(static_cast<const uint8_t*>(buffer), bytesToWrite, now,
                                  static_cast<uint64_t>(readLatencyMs) * 1000);
    *bytesWritten = bytesToWrite;
    return Record("FT_Write", FT_OK, {idx, bytesToWrite, bytesToWrite}, buffer, bytesToWrite);
}

FT_STATUS Simulator::Read(FT_HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesReturned) {
    std::unique_lock lock(mutex);
    AdvanceAll();
    uint64_t now = Now();
    uint32_t idx = HandleIndex(handle);
    if (bytesReturned)
        *bytesReturned = 0;
    if (auto f = TakeFault("FT_Read"))
        return Record("FT_Read", *f, {idx, bytesToRead, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st != FT_OK)
        return Record("FT_Read", st, {idx, bytesToRead, 0});
    if ((!buffer && bytesToRead) || !bytesReturned)
        return Record("FT_Read", FT_INVALID_PARAMETER, {idx, bytesToRead, 0});

    std::optional<unsigned> cut = TakeShortRead();
    size_t want = cut ? std::min<size_t>(bytesToRead, *cut) : bytesToRead;
    const MpsseChip& chip = h->ctrl->Chip(h->iface);
    uint64_t timeoutUs = static_cast<uint64_t>(chip.readTimeoutMs) * 1000;
    uint64_t waitUs = 0;
    if (cut) {
        waitUs = timeoutUs;  // the rest of the answer never arrives
    } else if (want > 0 && chip.ReadyBy(now) < want) {
        size_t coming = std::min(want, chip.Queued());
        uint64_t lastReady = now;
        for (size_t i = 0; i < coming; ++i)
            lastReady = std::max(lastReady, chip.ReadyTime(i));
        uint64_t needUs = lastReady - now;
        if (coming == want) {
            waitUs = (timeoutUs == 0 || needUs <= timeoutUs) ? needUs : timeoutUs;
        } else {
            // More than will ever come: the driver gives up after the time-out;
            // without one it returns once what is on its way has arrived.
            waitUs = timeoutUs == 0 ? needUs : timeoutUs;
        }
    }
    if (waitUs > 0) {
        lock.unlock();
        Sleep(waitUs);
        lock.lock();
        AdvanceAll();
        st = Lookup(handle, &h);
        if (st != FT_OK)
            return Record("FT_Read", st, {idx, bytesToRead, 0});
    }
    uint64_t by = std::max(Now(), now + waitUs);
    size_t got = h->ctrl->Chip(h->iface).Take(static_cast<uint8_t*>(buffer), want, by);
    if (m_chaos & RAVLEN_SIM_CHAOS_READS) {
        auto* bytes = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < got; ++i)
            bytes[i] = static_cast<uint8_t>(m_chaosRng());
    }
    *bytesReturned = static_cast<DWORD>(got);
    return Record("FT_Read", FT_OK, {idx, bytesToRead, static_cast<uint32_t>(got)}, buffer, got);
}

FT_STATUS Simulator::ResetDevice(FT_HANDLE handle) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_ResetDevice"))
        return Record("FT_ResetDevice", *f, {idx, 0, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st == FT_OK) {
        h->ctrl->Chip(h->iface).PurgeRx();
        h->ctrl->Chip(h->iface).PurgeTx();
    }
    return Record("FT_ResetDevice", st, {idx, 0, 0});
}

FT_STATUS Simulator::ListDevices(PVOID arg1, PVOID arg2, DWORD flags) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    DWORD mode = flags & (FT_LIST_NUMBER_ONLY | FT_LIST_BY_INDEX | FT_LIST_ALL);
    DWORD by = flags & (FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION | FT_OPEN_BY_LOCATION);
    uint32_t first = mode == FT_LIST_BY_INDEX ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arg1)) : 0;
    if (auto f = TakeFault("FT_ListDevices"))
        return Record("FT_ListDevices", *f, {first, 0, flags});
    auto list = Listing();
    auto count = static_cast<uint32_t>(list.size());
    auto fail = [&](FT_STATUS st) { return Record("FT_ListDevices", st, {first, 0, flags}); };

    if (mode == FT_LIST_NUMBER_ONLY) {
        if (!arg1)
            return fail(FT_INVALID_PARAMETER);
        *static_cast<DWORD*>(arg1) = count;
        return Record("FT_ListDevices", FT_OK, {0, count, flags});
    }
    if (mode == FT_LIST_BY_INDEX) {
        if (!arg2)
            return fail(FT_INVALID_PARAMETER);
        if (first >= count)
            return fail(FT_DEVICE_NOT_FOUND);
        const Listed& l = list[first];
        if (by == FT_OPEN_BY_LOCATION) {
            *static_cast<DWORD*>(arg2) = l.location;
            return Record("FT_ListDevices", FT_OK, {first, 0, flags});
        }
        if (by != FT_OPEN_BY_SERIAL_NUMBER && by != FT_OPEN_BY_DESCRIPTION)
            return fail(FT_INVALID_PARAMETER);
        char* out = static_cast<char*>(arg2);
        const unsigned char* raw = by == FT_OPEN_BY_SERIAL_NUMBER ? l.rawSerial : l.rawDesc;
        if (raw) {
            std::memcpy(out, raw, FT_LIST_STRING_BYTES);
            return Record("FT_ListDevices", FT_OK, {first, 0, flags}, raw, FT_LIST_STRING_BYTES);
        }
        CopyListText(out, by == FT_OPEN_BY_SERIAL_NUMBER ? l.serial : l.description);
        return Record("FT_ListDevices", FT_OK, {first, 0, flags}, out, std::strlen(out));
    }
    if (mode == FT_LIST_ALL) {
        if (!arg1 || !arg2)
            return fail(FT_INVALID_PARAMETER);
        if (by == FT_OPEN_BY_LOCATION) {
            auto* out = static_cast<DWORD*>(arg1);
            for (uint32_t i = 0; i < count; ++i)
                out[i] = list[i].location;
        } else if (by == FT_OPEN_BY_SERIAL_NUMBER || by == FT_OPEN_BY_DESCRIPTION) {
            // The caller's table ends at its first null slot; nothing is written
            // beyond it, however many interfaces there are.
            auto** table = static_cast<char**>(arg1);
            for (uint32_t i = 0; i < count && table[i]; ++i) {
                const unsigned char* raw =
                    by == FT_OPEN_BY_SERIAL_NUMBER ? list[i].rawSerial : list[i].rawDesc;
                if (raw)
                    std::memcpy(table[i], raw, FT_LIST_STRING_BYTES);
                else
                    CopyListText(table[i],
                                 by == FT_OPEN_BY_SERIAL_NUMBER ? list[i].serial : list[i].description);
            }
        } else {
            return fail(FT_INVALID_PARAMETER);
        }
        *static_cast<DWORD*>(arg2) = count;
        return Record("FT_ListDevices", FT_OK, {0, count, flags});
    }
    return fail(FT_INVALID_PARAMETER);
}

FT_STATUS Simulator::Purge(FT_HANDLE handle, ULONG mask) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_Purge"))
        return Record("FT_Purge", *f, {idx, mask, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st != FT_OK)
        return Record("FT_Purge", st, {idx, mask, 0});
    if (mask & ~(FT_PURGE_RX | FT_PURGE_TX))
        return Record("FT_Purge", FT_INVALID_PARAMETER, {idx, mask, 0});
    if (mask & FT_PURGE_RX)
        h->ctrl->Chip(h->iface).PurgeRx();
    if (mask & FT_PURGE_TX)
        h->ctrl->Chip(h->iface).PurgeTx();
    return Record("FT_Purge", FT_OK, {idx, mask, 0});
}

FT_STATUS Simulator::SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_SetTimeouts"))
        return Record("FT_SetTimeouts", *f, {idx, readTimeout, writeTimeout});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st == FT_OK) {
        h->ctrl->Chip(h->iface).readTimeoutMs = readTimeout;
        h->ctrl->Chip(h->iface).writeTimeoutMs = writeTimeout;
    }
    return Record("FT_SetTimeouts", st, {idx, readTimeout, writeTimeout});
}

FT_STATUS Simulator::GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_GetQueueStatus"))
        return Record("FT_GetQueueStatus", *f, {idx, 0, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st != FT_OK)
        return Record("FT_GetQueueStatus", st, {idx, 0, 0});
    if (!rxBytes)
        return Record("FT_GetQueueStatus", FT_INVALID_PARAMETER, {idx, 0, 0});
    *rxBytes = static_cast<DWORD>(h->ctrl->Chip(h->iface).ReadyBy(Now()));
    return Record("FT_GetQueueStatus", FT_OK, {idx, *rxBytes, 0});
}

FT_STATUS Simulator::SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_SetBitMode"))
        return Record("FT_SetBitMode", *f, {idx, mask, mode});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st == FT_OK && !h->ctrl->Chip(h->iface).SetBitMode(mode))
        st = FT_INVALID_PARAMETER;
    return Record("FT_SetBitMode", st, {idx, mask, mode});
}

FT_STATUS Simulator::SetLatencyTimer(FT_HANDLE handle, UCHAR latency) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_SetLatencyTimer"))
        return Record("FT_SetLatencyTimer", *f, {idx, latency, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st == FT_OK) {
        if (latency < 2)
            st = FT_INVALID_PARAMETER;
        else
            h->ctrl->Chip(h->iface).latencyMs = latency;
    }
    return Record("FT_SetLatencyTimer", st, {idx, latency, 0});
}

FT_STATUS Simulator::GetLatencyTimer(FT_HANDLE handle, UCHAR* latency) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_GetLatencyTimer"))
        return Record("FT_GetLatencyTimer", *f, {idx, 0, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st != FT_OK)
        return Record("FT_GetLatencyTimer", st, {idx, 0, 0});
    if (!latency)
        return Record("FT_GetLatencyTimer", FT_INVALID_PARAMETER, {idx, 0, 0});
    *latency = h->ctrl->Chip(h->iface).latencyMs;
    return Record("FT_GetLatencyTimer", FT_OK, {idx, *latency, 0});
}

// The simulated chip carries no EEPROM image, so the EEPROM calls report that
// they are not supported once handle and record pass the checks.
FT_STATUS Simulator::EeProgram(FT_HANDLE handle, PFT_PROGRAM_DATA data) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_EE_Program"))
        return Record("FT_EE_Program", *f, {idx, 0, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st == FT_OK)
        st = data ? FT_NOT_SUPPORTED : FT_INVALID_PARAMETER;
    return Record("FT_EE_Program", st, {idx, 0, 0});
}

FT_STATUS Simulator::EeRead(FT_HANDLE handle, PFT_PROGRAM_DATA data) {
    std::lock_guard lock(mutex);
    AdvanceAll();
    uint32_t idx = HandleIndex(handle);
    if (auto f = TakeFault("FT_EE_Read"))
        return Record("FT_EE_Read", *f, {idx, 0, 0});
    Handle* h = nullptr;
    FT_STATUS st = Lookup(handle, &h);
    if (st == FT_OK)
        st = data ? FT_NOT_SUPPORTED : FT_INVALID_PARAMETER;
    return Record("FT_EE_Read", st, {idx, 0, 0});
}

// ---- Interactive set-up ----------------------------------------------------------------

std::string Simulator::StatusText() {
    AdvanceAll();
    std::ostringstream out;
    char line[160];
    out << "controllers: " << m_controllers.size() << " (observed " << observed << ")\n";
    for (size_t i = 0; i < m_controllers.size(); ++i) {
        const Controller& c = *m_controllers[i];
        std::snprintf(
            line, sizeof line, "controller %zu: \"%s\" serial %s%s, %s, model code %d, interlock %s%s\n", i,
            c.description.c_str(), c.serialDigits.c_str(), c.single ? " (single interface)" : "",
            c.plugged ? "plugged" : "unplugged", c.board.ModelCode(),
            c.board.InterlockClosed() ? "closed" : "open", c.board.Fault() ? ", supply faulted" : "");
        out << line;
    }
    Controller* c = Observed();
    if (c) {
        const MpsseChip& chip = c->chipA;
        std::snprintf(line, sizeof line, "bit mode: %s, latency %u ms, clock %.0f Hz\n",
                      chip.Mpsse() ? "MPSSE" : "reset", chip.latencyMs, chip.ClockHz());
        out << line;
        std::snprintf(line, sizeof line, "lines: low 0x%02X, high 0x%02X\n", chip.LowLevels(),
                      chip.HighLevels());
        out << line;
        const Board& b = c->board;
        std::snprintf(line, sizeof line, "setpoints: HV %.3f V (code %u), current %.3f V (code %u)\n",
                      b.DacVolts(0), b.DacCode(0), b.DacVolts(1), b.DacCode(1));
        out << line;
        std::snprintf(line, sizeof line, "supply: %s, output %.2f kV, %.2f uA (%.1f kV/V, gain %.3f)\n",
                      b.SupplyEnabled() ? "on" : "off", b.OutputKv(), b.OutputUa(), b.KvPerVolt(), b.Gain());
        out << line;
        std::snprintf(line, sizeof line, "temperature: %.2f C (sensor config 0x%02X)\n",
                      b.SensedTemperature(), b.TempConfig());
        out << line;
    }
    out << "protocol errors: " << protocolErrors;
    if (protocolErrors)
        out << " (last: " << lastProtocolError << ")";
    out << "\n";
    return out.str();
}

std::string Simulator::Command(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    if (words.empty())
        return "error: empty command";
    std::lock_guard lock(mutex);
    AdvanceAll();
    const std::string& cmd = words[0];
    auto indexArg = [&](size_t at, int* index) {
        long v = 0;
        if (words.size() <= at)
            return true;
        if (!ParseLong(words[at], &v))
            return false;
        *index = static_cast<int>(v);
        return true;
    };
    int index = observed;
    if (cmd == "status")
        return StatusText();
    if (cmd == "interlock" && words.size() >= 2) {
        int closed = ParseInterlock(words[1]);
        if (closed < 0 || !indexArg(2, &index) || !ControllerAt(index))
            return "error: interlock open|close [INDEX]";
        ControllerAt(index)->board.SetInterlockClosed(closed == 1);
        return "ok";
    }
    if (cmd == "unplug" || cmd == "replug") {
        if (!indexArg(1, &index) || !ControllerAt(index))
            return "error: " + cmd + " [INDEX]";
        if (cmd == "unplug")
            Unplug(index);
        else
            Replug(index);
        return "ok";
    }
    if (cmd == "fail" && words.size() >= 2) {
        long nth = 1, status = FT_IO_ERROR;
        if ((words.size() > 2 && !ParseLong(words[2], &nth)) ||
            (words.size() > 3 && !ParseLong(words[3], &status)) || nth < 1 || status < 0 ||
            !AddFailRule(words[1], static_cast<unsigned>(nth), static_cast<uint32_t>(status)))
            return "error: fail ENTRY [N] [STATUS] (ENTRY one of FT_Write, FT_Read, ...)";
        return "ok";
    }
    if (cmd == "short-read") {
        long nth = 1, bytes = 0;
        if ((words.size() > 1 && !ParseLong(words[1], &nth)) ||
            (words.size() > 2 && !ParseLong(words[2], &bytes)) || nth < 1 || bytes < 0)
            return "error: short-read [N] [BYTES]";
        AddShortRead(static_cast<unsigned>(nth), static_cast<unsigned>(bytes));
        return "ok";
    }
    if (cmd == "clear-faults") {
        ClearFaults();
        return "ok";
    }
    if (cmd == "model" && words.size() >= 2) {
        long code = 0;
        if (!ParseLong(words[1], &code) || code < 0 || code > 3 || !indexArg(2, &index) ||
            !ControllerAt(index))
            return "error: model 0..3 [INDEX]";
        ControllerAt(index)->board.SetModelCode(static_cast<int>(code));
        return "ok";
    }
    if (cmd == "supply-fault" && words.size() >= 2) {
        if ((words[1] != "on" && words[1] != "off") || !indexArg(2, &index) || !ControllerAt(index))
            return "error: supply-fault on|off [INDEX]";
        ControllerAt(index)->board.SetFault(words[1] == "on");
        return "ok";
    }
    return "error: unknown command; use interlock, unplug, replug, fail, short-read, clear-faults, model, "
           "supply-fault or status";
}

void Simulator::ApplyEnvironment() {
    auto warn = [](const char* var, const char* value) {
        std::fprintf(stderr, "ravlen simulator: ignoring %s=%s\n", var, value);
    };
    auto get = [](const char* var) -> const char* {
        const char* v = std::getenv(var);
        return v && *v ? v : nullptr;
    };

    const char* serials = get("RAVLEN_SIM_SERIAL");
    if (const char* v = get("RAVLEN_SIM_CONTROLLERS")) {
        long n = 0;
        if (ParseLong(v, &n) && n >= 0 && n <= kMaxControllers)
            SetControllerCount(static_cast<int>(n));
        else
            warn("RAVLEN_SIM_CONTROLLERS", v);
    } else if (serials) {
        SetControllerCount(static_cast<int>(SplitList(serials).size()));
    }
    // A list names one value per controller; a single value applies to all.
    auto perController = [&](const char* var, auto apply) {
        const char* v = get(var);
        if (!v)
            return;
        auto items = SplitList(v);
        for (size_t i = 0; i < m_controllers.size(); ++i) {
            const std::string& item =
                items.size() == 1 ? items[0] : (i < items.size() ? items[i] : std::string());
            if (item.empty())
                continue;
            if (!apply(*m_controllers[i], item))
                warn(var, v);
        }
    };
    if (serials) {
        auto items = SplitList(serials);
        for (size_t i = 0; i < m_controllers.size() && i < items.size(); ++i)
            if (!items[i].empty())
                m_controllers[i]->SetSerialDigits(items[i]);
    }
    perController("RAVLEN_SIM_DESCRIPTION", [](Controller& c, const std::string& s) {
        c.description = s;
        return true;
    });
    perController("RAVLEN_SIM_MODEL", [](Controller& c, const std::string& s) {
        long code = 0;
        if (!ParseLong(s, &code) || code < 0 || code > 3)
            return false;
        c.board.SetModelCode(static_cast<int>(code));
        return true;
    });
    perController("RAVLEN_SIM_INTERLOCK", [](Controller& c, const std::string& s) {
        int closed = ParseInterlock(s);
        if (closed < 0)
            return false;
        c.board.SetInterlockClosed(closed == 1);
        return true;
    });
    perController("RAVLEN_SIM_GAIN", [](Controller& c, const std::string& s) {
        double gain = 0;
        if (!ParseDouble(s, &gain) || !(gain > 0.0))
            return false;
        c.board.SetGain(gain);
        return true;
    });
    if (const char* v = get("RAVLEN_SIM_NOISE")) {
        auto items = SplitList(v);
        double kv = 0, ua = 0;
        long seed = kDefaultSeed;
        if (items.size() >= 2 && items.size() <= 3 && ParseDouble(items[0], &kv) &&
            ParseDouble(items[1], &ua) && kv >= 0 && ua >= 0 &&
            (items.size() < 3 || ParseLong(items[2], &seed))) {
            supply.kvSigma = kv;
            supply.uaSigma = ua;
            supply.noise.Seed(static_cast<unsigned>(seed));
        } else {
            warn("RAVLEN_SIM_NOISE", v);
        }
    }
    if (const char* v = get("RAVLEN_SIM_LATENCY_MS")) {
        long ms = 0;
        if (ParseLong(v, &ms) && ms >= 0 && ms <= 1000)
            readLatencyMs = static_cast<unsigned>(ms);
        else
            warn("RAVLEN_SIM_LATENCY_MS", v);
    }
    if (const char* v = get("RAVLEN_SIM_TRACE")) {
        m_trace = std::fopen(v, "a");
        if (!m_trace)
            std::fprintf(stderr, "ravlen simulator: cannot open trace file %s\n", v);
    }
    if (const char* v = get("RAVLEN_SIM_SOCKET")) {
        auto server = std::make_unique<ControlServer>();
        std::string error;
        if (server->Start(
                v, [this](const std::string& line) { return Command(line); }, &error)) {
            m_server = std::move(server);
        } else {
            std::fprintf(stderr, "ravlen simulator: no control socket: %s\n", error.c_str());
        }
    }
}

void Simulator::StopServer() {
    if (m_server)
        m_server->Stop();
}

}  // namespace ravlen::sim
