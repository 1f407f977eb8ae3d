// Every D2XX call of every scripted session is made to fail once, in a fresh dialog each
// time: the program must neither crash nor hang, must report the failure with the message
// of the transaction it hit, must end, and must leave the high voltage off whenever it could
// still reach the board.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <iostream>
#include <map>
#include <set>
#include <unistd.h>

#include "board/streams.h"
#include "tests/safety/rig.h"

namespace safety {
namespace {

// Every message the program may log after its start line.
const std::set<std::string>& KnownMessages() {
    static const std::set<std::string> known = {
        "Error: Can't Find FT_Write", "Error: Can't Find FT_Read", "Error: Can't Find FT_Open",
        "Error: Can't Find FT_OpenEx", "Error: Can't Find FT_ListDevices", "Error: Can't Find FT_Close",
        "Error: Can't Find FT_ResetDevice", "Error: Can't Find FT_Purge",
        "Error: Can't Find FT_SetTimeouts", "Error: Can't Find FT_GetQueueStatus",
        "Error: Can't Find FT_SetBitMode", "Error: Can't Find FT_SetLatencyTimer.  ",
        "Error: Can't Find FT_GetLatencyTimer.  ", "Error: Can't Find FT_EE_Program",
        "Error: Can't Find FT_EE_Read", "FT_Write is not valid!", "FT_Read is not valid!",
        "FT_OpenEx is not valid!", "FT_Close is not valid!", "FT_ListDevices is not valid!",
        "FT_SetTimeouts is not valid!", "FT_SetBitMode is not valid!",
        "FT_SetLatencyTimer is not valid!", "List Devices command failed.",
        "Device selection List Devices command failed.", "No drivers loaded!",
        "Error enabling serial engine (MPSSE). Check controller connection.",
        "Error initializing I/O lines.", "Error setting clock divisor.",
        "Error disabling serial engine (MPSSE).", "HV DAC error setting voltage.",
        "uA DAC error setting current.", "HV ADC write command error.",
        "HV ADC read data status error.", "HV ADC too few data bytes returned.",
        "uA ADC write command error.", "uA ADC read data status error.",
        "uA ADC too few data bytes returned.", "Temperature Sensor setup error.",
        "Temperature Sensor write command error.", "Temperature Sensor read data status error.",
        "Temperature Sensor too few data bytes returned.", "Port IO write command error.",
        "Port IO read data status error.", "Port IO too few data bytes returned.",
        "Error setting high voltage enables. [HVOFF]", "Error setting high voltage enables. [HVON]",
    };
    return known;
}

// The messages of the board transaction a written stream belongs to.
struct Transaction {
    std::string write, readStatus, tooFew;
};

bool Contains(const std::vector<uint8_t>& d, std::initializer_list<uint8_t> seq) {
    return std::search(d.begin(), d.end(), seq.begin(), seq.end()) != d.end();
}

Transaction Classify(const std::vector<uint8_t>& d) {
    using namespace streams;
    if (d == LineInitStream().bytes) return {"Error initializing I/O lines.", "", ""};
    if (d == std::vector<uint8_t>{kSetDivisor, 0x03, 0x00}) return {"Error setting clock divisor.", "", ""};
    if (d.size() == 1 && (d[0] == kReadLowByte || d[0] == kReadHighByte))
        return {"Port IO write command error.", "Port IO read data status error.",
                "Port IO too few data bytes returned."};
    if (d.size() == 3 && d[0] == kSetLowByte)
        return {(d[1] & kHvEnables) ? "Error setting high voltage enables. [HVON]"
                                    : "Error setting high voltage enables. [HVOFF]",
                "", ""};
    if (d.size() > 6 && d[0] == kSetLowByte && d[3] == kBytesOutRising)
        return {d[6] == 0x18 ? "HV DAC error setting voltage." : "uA DAC error setting current.", "", ""};
    if (Contains(d, {kBitsOutFalling, 0x03, 0xD0}))
        return {"HV ADC write command error.", "HV ADC read data status error.",
                "HV ADC too few data bytes returned."};
    if (Contains(d, {kBitsOutFalling, 0x03, 0xF0}))
        return {"uA ADC write command error.", "uA ADC read data status error.",
                "uA ADC too few data bytes returned."};
    if (Contains(d, {kBitsOutRising, 0x07, 0x01}))
        return {"Temperature Sensor write command error.", "Temperature Sensor read data status error.",
                "Temperature Sensor too few data bytes returned."};
    if (Contains(d, {kBytesOutRising, 0x01, 0x00, 0x80, 0xE8})) return {"Temperature Sensor setup error.", "", ""};
    return {"<unknown stream>", "", ""};
}

// The last value a stream set on the low-byte lines, if it set one.
int LastLowByte(const std::vector<uint8_t>& d) {
    using namespace streams;
    int last = -1;
    for (size_t i = 0; i < d.size();) {
        const uint8_t op = d[i];
        if (op == kSetLowByte && i + 2 < d.size()) last = d[i + 1];
        if (op == kSetLowByte || op == kSetHighByte || op == kSetDivisor || op == kBitsOutRising ||
            op == kBitsOutFalling || op == kBytesInRising) {
            i += 3;
        } else if (op == kBytesOutRising && i + 2 < d.size()) {
            i += 3 + (d[i + 1] | (d[i + 2] << 8)) + 1;
        } else {
            i += 1;
        }
    }
    return last;
}

struct Fault {
    enum Kind { None, FailCall, ShortRead, MissingSlot } kind = None;
    std::string entry;
    unsigned nth = 0;        // FailCall / ShortRead: the nth call of the entry in the run
    unsigned bytes = 0;      // ShortRead
    size_t step = 0;         // MissingSlot: cleared before this step (steps.size() = destruction)
    size_t callIndex = 0;    // where in the record the fault bites
    std::string expected;    // the first message; empty when the failure is not reported
    std::string Label(const std::string& session) const {
        std::string l = session + ": ";
        switch (kind) {
        case None: return l + "clean";
        case FailCall: return l + entry + " #" + std::to_string(nth) + " fails";
        case ShortRead: return l + "FT_Read #" + std::to_string(nth) + " short";
        case MissingSlot: return l + entry + " missing from step " + std::to_string(step);
        }
        return l;
    }
};

struct Outcome {
    std::vector<Call> calls;
    std::vector<size_t> stepStarts;  // record size at each step's start; last = destruction
    std::vector<std::string> log;
    bool ended = false;
    bool hvOnFlag = false;
    int supplyEnabled = 0;
    unsigned char lowLines = 0;
    uint64_t durationUs = 0;
};

// A run that does not finish in this much real time is taken as hung.
constexpr unsigned kRunWatchdogSeconds = 60;
char g_runLabel[256] = "";

void OnWatchdog(int) {
    const char text[] = "\nhang: no end of run ";
    ssize_t ignored = write(2, text, sizeof text - 1);
    ignored = write(2, g_runLabel, strnlen(g_runLabel, sizeof g_runLabel));
    ignored = write(2, "\n", 1);
    (void)ignored;
    _exit(3);
}

Outcome RunSession(const Session& session, const Fault& fault) {
    std::snprintf(g_runLabel, sizeof g_runLabel, "%s", fault.Label(session.name).c_str());
    std::signal(SIGALRM, OnWatchdog);
    alarm(kRunWatchdogSeconds);

    Outcome out;
    {
        Rig rig(session.serialDigits);
        if (fault.kind == Fault::FailCall) ravlen_sim_fail_call(fault.entry.c_str(), fault.nth, FT_IO_ERROR);
        if (fault.kind == Fault::ShortRead) ravlen_sim_short_read(fault.nth, fault.bytes);
        rig.beforeStep = [&](size_t step) {
            out.stepStarts.push_back(ravlen_sim_call_count());
            if (fault.kind == Fault::MissingSlot && step == fault.step) ClearSlot(rig.Dlg().m_d2xx, fault.entry);
        };
        for (const Step& step : session.steps) rig.Do(step);
        rig.beforeStep(session.steps.size());
        out.ended = rig.Ended();
        rig.Finish();
        out.hvOnFlag = rig.Dlg().m_hvOn;
        out.durationUs = rig.Clock().NowUs();
        out.calls = RecordedCalls();
        out.supplyEnabled = ravlen_sim_supply_enabled();
        out.lowLines = ravlen_sim_low_lines();
        out.log = ReadLogMessages();
    }
    alarm(0);
    return out;
}

// One fault per call of the clean run (a failing status; a short answer for each read), and
// one missing entry point per step that uses it.
std::vector<Fault> FaultsOf(const Session& session, const Outcome& clean) {
    std::vector<Fault> faults;
    std::map<std::string, unsigned> seen;
    std::string lastWriteTxn;
    Transaction txn;
    for (size_t i = 0; i < clean.calls.size(); ++i) {
        const Call& c = clean.calls[i];
        const unsigned nth = ++seen[c.entry];
        Fault f;
        f.kind = Fault::FailCall;
        f.entry = c.entry;
        f.nth = nth;
        f.callIndex = i;
        if (c.entry == "FT_Write") {
            txn = Classify(c.data);
            f.expected = txn.write;
        } else if (c.entry == "FT_Read") {
            f.expected = txn.readStatus;
        } else if (c.entry == "FT_SetBitMode") {
            f.expected = c.arg[2] == FT_BITMODE_MPSSE
                             ? "Error enabling serial engine (MPSSE). Check controller connection."
                             : "Error disabling serial engine (MPSSE).";
        } else if (c.entry == "FT_ListDevices") {
            const uint32_t mode = c.arg[2] & (FT_LIST_NUMBER_ONLY | FT_LIST_BY_INDEX | FT_LIST_ALL);
            const bool secondCount = i > 0 && clean.calls[i - 1].entry == "FT_ListDevices";
            if (mode == FT_LIST_NUMBER_ONLY && !secondCount) f.expected = "List Devices command failed.";
            if (mode == FT_LIST_ALL) f.expected = "Device selection List Devices command failed.";
        }
        // FT_OpenEx (a failed open is shown, not logged), FT_Close, FT_SetTimeouts and
        // FT_SetLatencyTimer fail without a report.
        faults.push_back(f);
        if (c.entry == "FT_Read") {
            Fault s = f;
            s.kind = Fault::ShortRead;
            s.nth = nth;
            s.bytes = c.arg[1] - 1;
            s.expected = txn.tooFew;
            faults.push_back(s);
        }
    }
    // The entry points called in each step, each missing from that step on.
    for (size_t step = 0; step < clean.stepStarts.size(); ++step) {
        const size_t begin = clean.stepStarts[step];
        const size_t end = step + 1 < clean.stepStarts.size() ? clean.stepStarts[step + 1] : clean.calls.size();
        std::set<std::string> used;
        for (size_t i = begin; i < end; ++i) {
            if (!used.insert(clean.calls[i].entry).second) continue;
            Fault m;
            m.kind = Fault::MissingSlot;
            m.entry = clean.calls[i].entry;
            m.step = step;
            m.callIndex = i;  // the run matches the clean one up to the first use
            m.expected = m.entry + " is not valid!";
            faults.push_back(m);
        }
    }
    (void)session;
    return faults;
}

void CheckRun(const Session& session, const Fault& fault, const Outcome& clean, const Outcome& run) {
    SCOPED_TRACE(fault.Label(session.name));
    // The fault bit where the clean run said it would.
    if (fault.kind == Fault::FailCall || fault.kind == Fault::ShortRead) {
        ASSERT_LT(fault.callIndex, run.calls.size());
        const Call& c = run.calls[fault.callIndex];
        EXPECT_EQ(c.entry, fault.entry);
        if (fault.kind == Fault::FailCall) {
            EXPECT_NE(c.status, 0u);
        } else {
            EXPECT_LT(c.arg[2], c.arg[1]);
        }
    }

    // Bounded virtual time: the failure may cut the session short, never stretch it much.
    EXPECT_LE(run.durationUs, clean.durationUs + 60'000'000u);

    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.front(), "Ravlen Started");
    for (size_t i = 1; i < run.log.size(); ++i) {
        EXPECT_TRUE(KnownMessages().count(run.log[i])) << "unknown message: " << run.log[i];
    }
    if (!fault.expected.empty()) {
        // The report is logged after the shutdown it starts. Only when the fault hit a
        // discovery that had already closed the handle under a running engine may that
        // shutdown log its own failed setpoint writes first.
        const auto at = std::find(run.log.begin() + 1, run.log.end(), fault.expected);
        ASSERT_NE(at, run.log.end()) << "expected " << fault.expected;
        bool closedHandle = false;
        for (size_t i = fault.callIndex + 1; i < run.calls.size(); ++i)
            closedHandle |= run.calls[i].status == FT_INVALID_HANDLE;
        for (auto it = run.log.begin() + 1; it != at; ++it) {
            EXPECT_TRUE(closedHandle && (*it == "HV DAC error setting voltage." || *it == "uA DAC error setting current." ||
                                         *it == "Error disabling serial engine (MPSSE)."))
                << "logged before the report: " << *it;
        }
        // A fault during window destruction ends nothing more: the window is gone anyway.
        const bool duringDestruction = fault.callIndex >= clean.stepStarts.back();
        if (!duringDestruction) EXPECT_TRUE(run.ended);
    }

    // A reported failure ends the program: from the fault on, nothing may raise the enables.
    if (!fault.expected.empty()) {
        for (size_t i = fault.callIndex; i < run.calls.size(); ++i) {
            const Call& c = run.calls[i];
            if (c.entry != "FT_Write" || c.status != FT_OK) continue;
            for (size_t k = 0; k + 2 < c.data.size(); ++k) {
                if (c.data[k] == streams::kSetLowByte && c.data[k + 2] == streams::kLowDirection)
                    EXPECT_EQ(c.data[k + 1] & streams::kHvEnables, 0) << "enables raised by write #" << i;
            }
        }
    }

    // The safety invariant: once the program could still write after the fault, the board's
    // last low-byte value has both enables clear and the supply is off.
    int lastLow = -1;
    bool wroteAfter = false;
    for (size_t i = fault.callIndex + 1; i < run.calls.size(); ++i) {
        const Call& c = run.calls[i];
        if (c.entry != "FT_Write" || c.status != FT_OK) continue;
        wroteAfter = true;
        const int low = LastLowByte(c.data);
        if (low >= 0) lastLow = low;
    }
    if (wroteAfter) {
        EXPECT_GE(lastLow, 0);
        EXPECT_EQ(lastLow & streams::kHvEnables, 0) << "last low byte " << lastLow;
        EXPECT_EQ(run.supplyEnabled, 0);
        EXPECT_EQ(run.lowLines & streams::kHvEnables, 0);
        EXPECT_FALSE(run.hvOnFlag);
    }
}

class FaultSweep : public ::testing::TestWithParam<size_t> {};

TEST_P(FaultSweep, EveryCallFailingLeavesTheTubeSafe) {
    const Session& session = Sessions()[GetParam()];
    const Outcome clean = RunSession(session, Fault{});
    ASSERT_EQ(clean.log, std::vector<std::string>{"Ravlen Started"}) << "the clean run must not fail";
    ASSERT_EQ(ravlen_sim_protocol_errors(), 0u);

    const std::vector<Fault> faults = FaultsOf(session, clean);
    for (const Fault& fault : faults) {
        CheckRun(session, fault, clean, RunSession(session, fault));
        if (HasFatalFailure()) return;
    }
    std::cout << session.name << ": " << clean.calls.size() << " calls, " << faults.size()
              << " faulted runs\n";
    RecordProperty("faulted_runs", static_cast<int>(faults.size()));
}

INSTANTIATE_TEST_SUITE_P(Sessions, FaultSweep, ::testing::Range<size_t>(0, Sessions().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) { return Sessions()[info.param].name; });

}  // namespace
}  // namespace safety
