// The USB side of the simulator: listing, opening, handles, reads, faults and
// hot-plugging, through the D2XX entry points.
#include <cstring>
#include <functional>

#include "tests/sim/sim_fixture.h"

using simtest::Bytes;
using simtest::SimFixture;

namespace {

struct Listing {
    DWORD count = 0;
    std::vector<std::string> descriptions;
    std::vector<std::string> serials;
};

// The listing as the program reads it: count, all descriptions, serials by index.
Listing ReadListing() {
    Listing l;
    EXPECT_EQ(FT_ListDevices(&l.count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    std::vector<std::array<char, 64>> buffers(l.count);
    std::vector<char*> table;
    for (auto& b : buffers)
        table.push_back(b.data());
    table.push_back(nullptr);
    DWORD listed = 0;
    EXPECT_EQ(FT_ListDevices(table.data(), &listed, FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION), FT_OK);
    EXPECT_EQ(listed, l.count);
    for (DWORD i = 0; i < l.count; ++i) {
        l.descriptions.emplace_back(buffers[i].data());
        char serial[64] = {};
        EXPECT_EQ(FT_ListDevices(reinterpret_cast<PVOID>(static_cast<uintptr_t>(i)), serial,
                                 FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER),
                  FT_OK);
        l.serials.emplace_back(serial);
    }
    return l;
}

class SimListing : public SimFixture {};

TEST_F(SimListing, ShowsTwoInterfacesPerController) {
    struct Case {
        const char* name;
        std::function<void()> setup;
        std::vector<std::string> descriptions;
        std::vector<std::string> serials;
    };
    const Case cases[] = {
        {"default", [] {}, {"Ravlen Controller A", "Ravlen Controller B"}, {"00012345A", "00012345B"}},
        {"two controllers",
         [] {
             ravlen_sim_set_controller_count(2);
             ravlen_sim_set_controller(1, "Sarpa USB Controller", "00009999");
         },
         {"Ravlen Controller A", "Ravlen Controller B", "Sarpa USB Controller A", "Sarpa USB Controller B"},
         {"00012345A", "00012345B", "00009999A", "00009999B"}},
        {"single interface",
         [] { ravlen_sim_set_single_interface(0, 1); },
         {"Ravlen Controller"},
         {"00012345"}},
        {"none", [] { ravlen_sim_set_controller_count(0); }, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ravlen_sim_reset();
        c.setup();
        Listing l = ReadListing();
        EXPECT_EQ(l.count, c.descriptions.size());
        EXPECT_EQ(l.descriptions, c.descriptions);
        EXPECT_EQ(l.serials, c.serials);
    }
}

TEST_F(SimListing, NeverWritesPastTheCallersTable) {
    ravlen_sim_set_controller_count(3);  // six interfaces
    char a[64], b[64], canary[64];
    std::memset(canary, 0x5A, sizeof canary);
    char* table[] = {a, b, nullptr, canary};
    DWORD count = 0;
    ASSERT_EQ(FT_ListDevices(table, &count, FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION), FT_OK);
    EXPECT_EQ(count, 6u);
    EXPECT_STREQ(b, "Ravlen Controller B");
    EXPECT_EQ(canary[0], 0x5A);
}

TEST_F(SimListing, RawImagesAreCopiedWhole) {
    unsigned char desc[2][64], serial[2][64];
    std::memset(desc, 'D', sizeof desc);  // no terminator anywhere
    std::memset(serial, '7', sizeof serial);
    ravlen_sim_set_raw_listing(2, desc, serial);
    char buffers[2][80];
    std::memset(buffers, 0x11, sizeof buffers);
    char* table[] = {buffers[0], buffers[1], nullptr};
    DWORD count = 0;
    ASSERT_EQ(FT_ListDevices(table, &count, FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION), FT_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(std::memcmp(buffers[1], desc[1], 64), 0);
    EXPECT_EQ(buffers[1][64], 0x11);  // exactly 64 bytes
    char one[80];
    std::memset(one, 0x11, sizeof one);
    ASSERT_EQ(FT_ListDevices(reinterpret_cast<PVOID>(1), one, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER),
              FT_OK);
    EXPECT_EQ(std::memcmp(one, serial[1], 64), 0);
    EXPECT_EQ(one[64], 0x11);

    ravlen_sim_set_raw_listing(0, nullptr, nullptr);
    EXPECT_EQ(ReadListing().count, 2u);
    EXPECT_EQ(ReadListing().descriptions[0], "Ravlen Controller A");
}

TEST_F(SimListing, RejectsOtherUses) {
    DWORD count = 0;
    char buffer[64];
    struct Case {
        PVOID arg1;
        PVOID arg2;
        DWORD flags;
        FT_STATUS expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, FT_LIST_NUMBER_ONLY, FT_INVALID_PARAMETER},
        {&count, nullptr, 0, FT_INVALID_PARAMETER},
        {&count, nullptr, FT_LIST_NUMBER_ONLY | FT_LIST_ALL, FT_INVALID_PARAMETER},
        {reinterpret_cast<PVOID>(2), buffer, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER,
         FT_DEVICE_NOT_FOUND},
        {reinterpret_cast<PVOID>(0), nullptr, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER,
         FT_INVALID_PARAMETER},
        {reinterpret_cast<PVOID>(0), buffer, FT_LIST_BY_INDEX, FT_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(FT_ListDevices(c.arg1, c.arg2, c.flags), c.expected);
    }
}

class SimOpen : public SimFixture {};

TEST_F(SimOpen, OpensByDescriptionOnly) {
    struct Case {
        const char* name;
        FT_STATUS expected;
    };
    const Case cases[] = {
        {"Ravlen Controller A", FT_OK},
        {"Ravlen Controller B", FT_OK},
        {"Ravlen Controller", FT_DEVICE_NOT_FOUND},
        {"Ravlen Controller A ", FT_DEVICE_NOT_FOUND},
        {"", FT_DEVICE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FT_HANDLE h = nullptr;
        EXPECT_EQ(FT_OpenEx(const_cast<char*>(c.name), FT_OPEN_BY_DESCRIPTION, &h), c.expected);
        EXPECT_EQ(h != nullptr, c.expected == FT_OK);
        if (h) {
            EXPECT_EQ(FT_Close(h), FT_OK);
        }
    }
    EXPECT_EQ(ravlen_sim_open_handles(), 0);
}

TEST_F(SimOpen, InterfaceOpensOnceUntilClosed) {
    FT_HANDLE first = OpenA();
    FT_HANDLE second = nullptr;
    char name[] = "Ravlen Controller A";
    EXPECT_EQ(FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, &second), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(ravlen_sim_open_handles(), 1);
    EXPECT_EQ(FT_Close(first), FT_OK);
    EXPECT_EQ(FT_Close(first), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, &second), FT_OK);
    EXPECT_NE(second, first);  // a closed handle never comes back to life
    EXPECT_EQ(FT_SetTimeouts(first, 40, 40), FT_INVALID_HANDLE);
}

TEST_F(SimOpen, EveryEntryPointChecksItsHandle) {
    FT_HANDLE closed = OpenA();
    FT_Close(closed);
    uint8_t buf[4] = {0x81};
    DWORD n = 0;
    UCHAR latency = 0;
    const std::pair<const char*, std::function<FT_STATUS(FT_HANDLE)>> calls[] = {
        {"FT_Close", [](FT_HANDLE h) { return FT_Close(h); }},
        {"FT_Read", [&](FT_HANDLE h) { return FT_Read(h, buf, 1, &n); }},
        {"FT_Write", [&](FT_HANDLE h) { return FT_Write(h, buf, 1, &n); }},
        {"FT_ResetDevice", [](FT_HANDLE h) { return FT_ResetDevice(h); }},
        {"FT_Purge", [](FT_HANDLE h) { return FT_Purge(h, FT_PURGE_RX); }},
        {"FT_SetTimeouts", [](FT_HANDLE h) { return FT_SetTimeouts(h, 40, 40); }},
        {"FT_GetQueueStatus", [&](FT_HANDLE h) { return FT_GetQueueStatus(h, &n); }},
        {"FT_SetBitMode", [](FT_HANDLE h) { return FT_SetBitMode(h, 0, 2); }},
        {"FT_SetLatencyTimer", [](FT_HANDLE h) { return FT_SetLatencyTimer(h, 4); }},
        {"FT_GetLatencyTimer", [&](FT_HANDLE h) { return FT_GetLatencyTimer(h, &latency); }},
        {"FT_EE_Program",
         [&](FT_HANDLE h) { return FT_EE_Program(h, reinterpret_cast<PFT_PROGRAM_DATA>(buf)); }},
        {"FT_EE_Read", [&](FT_HANDLE h) { return FT_EE_Read(h, reinterpret_cast<PFT_PROGRAM_DATA>(buf)); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(nullptr), FT_INVALID_HANDLE);
        EXPECT_EQ(call(closed), FT_INVALID_HANDLE);
        EXPECT_EQ(call(reinterpret_cast<FT_HANDLE>(0x1234)), FT_INVALID_HANDLE);
    }
}

TEST_F(SimOpen, UncalledEntryPointsAnswerSensibly) {
    FT_HANDLE h = Connect();
    UCHAR latency = 0;
    EXPECT_EQ(FT_GetLatencyTimer(h, &latency), FT_OK);
    EXPECT_EQ(latency, 4);
    EXPECT_EQ(FT_SetLatencyTimer(h, 1), FT_INVALID_PARAMETER);
    Send(h, {0x81, 0x87});
    DWORD queued = 0;
    EXPECT_EQ(FT_GetQueueStatus(h, &queued), FT_OK);
    EXPECT_EQ(queued, 1u);
    EXPECT_EQ(FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    EXPECT_EQ(FT_GetQueueStatus(h, &queued), FT_OK);
    EXPECT_EQ(queued, 0u);
    EXPECT_EQ(FT_ResetDevice(h), FT_OK);
    EXPECT_EQ(FT_EE_Read(h, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_SetBitMode(h, 0x00, 0x40), FT_INVALID_PARAMETER);
    FT_HANDLE other = nullptr;
    EXPECT_EQ(FT_Open(1, &other), FT_OK);  // interface B by index
    EXPECT_EQ(FT_Open(2, &other), FT_DEVICE_NOT_FOUND);
}

class SimRead : public SimFixture {};

TEST_F(SimRead, ShortAnswerWaitsTheReadTimeout) {
    FT_HANDLE h = Connect();
    Send(h, {0x81});
    clock.sleeps.clear();
    Bytes got = Receive(h, 2);
    EXPECT_EQ(got, Bytes{0x9B});
    EXPECT_EQ(clock.sleeps, std::vector<uint64_t>{40000});
    clock.sleeps.clear();
    EXPECT_TRUE(Receive(h, 1).empty());
    EXPECT_EQ(clock.sleeps, std::vector<uint64_t>{40000});
}

TEST_F(SimRead, LatencyEmulationDelaysAnswersUnlessSentImmediately) {
    ravlen_sim_set_read_latency_ms(4);
    FT_HANDLE h = Connect();
    struct Case {
        Bytes stream;
        std::vector<uint64_t> sleeps;
    };
    const Case cases[] = {
        {{0x81}, {4000}},
        {{0x81, 0x87}, {}},
    };
    for (const Case& c : cases) {
        clock.sleeps.clear();
        Send(h, c.stream);
        EXPECT_EQ(Receive(h, 1), Bytes{0x9B});
        EXPECT_EQ(clock.sleeps, c.sleeps);
    }
}

class SimFaults : public SimFixture {};

TEST_F(SimFaults, NthCallOfAnEntryReturnsTheStatus) {
    FT_HANDLE h = Connect();
    ravlen_sim_fail_call("FT_Write", 2, FT_IO_ERROR);
    ravlen_sim_fail_call("FT_SetBitMode", 1, FT_OTHER_ERROR);
    DWORD written = 99;
    Bytes hv = lines.Setpoint(0x18, 1000);
    EXPECT_EQ(FT_Write(h, hv.data(), 12, &written), FT_OK);
    Bytes ua = lines.Setpoint(0x19, 2000);
    EXPECT_EQ(FT_Write(h, ua.data(), 12, &written), FT_IO_ERROR);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(ravlen_sim_dac_code(1), 0u);  // the failed write did nothing
    EXPECT_EQ(FT_Write(h, ua.data(), 12, &written), FT_OK);
    EXPECT_EQ(ravlen_sim_dac_code(1), 2000u);
    EXPECT_EQ(FT_SetBitMode(h, 0, 0), FT_OTHER_ERROR);
    EXPECT_EQ(ravlen_sim_bit_mode(), 2);

    ravlen_sim_fail_call("FT_Write", 1, FT_IO_ERROR);
    ravlen_sim_clear_faults();
    EXPECT_EQ(FT_Write(h, ua.data(), 12, &written), FT_OK);
}

TEST_F(SimFaults, ShortReadKeepsTheRestQueued) {
    FT_HANDLE h = Connect();
    ravlen_sim_set_monitor_volts(0, 1.234);
    ravlen_sim_short_read(1, 1);
    Send(h, lines.Monitor(0));
    clock.sleeps.clear();
    EXPECT_EQ(Receive(h, 2), Bytes{0x26});
    EXPECT_EQ(clock.sleeps, std::vector<uint64_t>{40000});
    EXPECT_EQ(Receive(h, 1), Bytes{0x90});
}

TEST_F(SimFaults, UnplugBetweenListings) {
    FT_HANDLE h = Connect();
    DWORD count = 0;
    ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 2u);
    ravlen_sim_unplug(0);
    ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    DWORD written = 0;
    uint8_t cmd = 0x81;
    EXPECT_EQ(FT_Write(h, &cmd, 1, &written), FT_IO_ERROR);
    char name[] = "Ravlen Controller A";
    FT_HANDLE again = nullptr;
    EXPECT_EQ(FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, &again), FT_DEVICE_NOT_FOUND);

    ravlen_sim_replug(0);
    ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(FT_Write(h, &cmd, 1, &written), FT_IO_ERROR);  // the old handle stays stale
    EXPECT_EQ(FT_Close(h), FT_OK);
    EXPECT_EQ(ravlen_sim_bit_mode(), 0);  // the chip came back from power-up
    EXPECT_EQ(FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, &again), FT_OK);
}

class SimRecord : public SimFixture {};

TEST_F(SimRecord, HoldsEveryCallWithItsBytes) {
    FT_HANDLE h = Connect();
    ravlen_sim_clear_record();
    Send(h, {0x81});
    Receive(h, 1);
    FT_SetTimeouts(nullptr, 40, 40);
    ASSERT_EQ(ravlen_sim_call_count(), 3u);
    ravlen_sim_call write{}, read{}, bad{};
    ASSERT_TRUE(ravlen_sim_get_call(0, &write));
    ASSERT_TRUE(ravlen_sim_get_call(1, &read));
    ASSERT_TRUE(ravlen_sim_get_call(2, &bad));
    EXPECT_FALSE(ravlen_sim_get_call(3, &bad));
    EXPECT_STREQ(write.entry, "FT_Write");
    EXPECT_EQ(Bytes(write.data, write.data + write.length), Bytes{0x81});
    EXPECT_EQ(write.arg[0], 0u);  // interface index 0
    EXPECT_STREQ(read.entry, "FT_Read");
    EXPECT_EQ(Bytes(read.data, read.data + read.length), Bytes{0x9B});
    EXPECT_EQ(read.arg[1], 1u);
    EXPECT_EQ(read.arg[2], 1u);
    EXPECT_EQ(read.time_us, clock.nowUs);
    EXPECT_STREQ(bad.entry, "FT_SetTimeouts");
    EXPECT_EQ(bad.status, static_cast<uint32_t>(FT_INVALID_HANDLE));
    EXPECT_EQ(bad.arg[0], 0xFFFFFFFFu);
    ravlen_sim_clear_record();
    EXPECT_EQ(ravlen_sim_call_count(), 0u);
}

}  // namespace
