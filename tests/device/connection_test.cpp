// The Start button: discovery, opening and the board set-up, twice, two seconds apart.
#include <algorithm>
#include <cstring>

#include "board/mpsse_engine.h"
#include "device/discovery.h"
#include "tests/device/connection_fixture.h"

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

namespace {

const Strings kPassEntries = {
    "FT_Close",       "FT_ListDevices",     "FT_ListDevices", "FT_ListDevices", "FT_ListDevices",
    "FT_OpenEx",      "FT_SetLatencyTimer", "FT_SetTimeouts", "FT_SetBitMode",  "FT_Write",
    "FT_Write",       "FT_Read",            "FT_Write",       "FT_Write",       "FT_Write",
    "FT_Write",
};

const std::vector<Bytes> kPassWrites = {
    {0x82, 0x00, 0x08, 0x80, 0x9B, 0x7B},
    {0x83},
    {0x86, 0x03, 0x00, 0x80, 0x9A, 0x7B, 0x82, 0x08, 0x08, 0x80, 0x9A, 0x7B, 0x80,
     0x9A, 0x7B, 0x80, 0x9B, 0x7B, 0x10, 0x01, 0x00, 0x80, 0xE8, 0x82, 0x00, 0x08},
    {0x86, 0x03, 0x00},
    {0x80, 0x8B, 0x7B, 0x10, 0x02, 0x00, 0x18, 0x00, 0x00, 0x80, 0x9B, 0x7B},
    {0x80, 0x8B, 0x7B, 0x10, 0x02, 0x00, 0x19, 0x00, 0x00, 0x80, 0x9B, 0x7B},
};

template <class T>
std::vector<T> Twice(const std::vector<T>& pass) {
    std::vector<T> both(pass);
    both.insert(both.end(), pass.begin(), pass.end());
    return both;
}

const int kPictures[] = {1092, 1093, 1098, 1099, 1100, 1094, 1095, 1101, 1102, 1103};

}  // namespace

TEST_F(ConnectionTest, SuccessfulPressRunsBothPasses) {
    WatchStatus();
    int picturesAtPause = -1;
    onStatus = [&](const std::string& text) {
        if (text != "Connecting to Ravlen. Please wait...") return;
        picturesAtPause = 0;
        for (int id : kPictures) picturesAtPause += Visible(id) ? 1 : 0;
    };
    ClearCalls();
    PressStart();

    EXPECT_EQ(Entries(), Twice(kPassEntries));
    EXPECT_EQ(Writes(), Twice(kPassWrites));
    EXPECT_EQ(Pauses(), (std::vector<unsigned>{200, 200, 2000, 200, 200}));
    EXPECT_EQ(statuses, (Strings{"Port CLOSED", "Ravlen Controller selected", "Ravlen Controller Ready...",
                                 "Connecting to Ravlen. Please wait...", "Port CLOSED",
                                 "Ravlen Controller selected", "Ravlen Controller Ready..."}));

    // The arguments the library sees.
    const std::vector<SimCall> calls = Calls();
    const uint32_t listFlags[] = {FT_LIST_NUMBER_ONLY, FT_LIST_NUMBER_ONLY,
                                  FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION,
                                  FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(calls[1 + i].arg[2], listFlags[i]) << i;
    EXPECT_EQ(calls[4].arg[0], 0u);  // serial of device 0
    EXPECT_EQ(std::string(calls[5].data.begin(), calls[5].data.end()), "Ravlen Controller A");
    EXPECT_EQ(calls[5].arg[1], FT_OPEN_BY_DESCRIPTION);
    EXPECT_EQ(calls[6].arg[1], 4u);
    EXPECT_EQ(calls[7].arg[1], 40u);
    EXPECT_EQ(calls[7].arg[2], 40u);
    EXPECT_EQ(calls[8].arg[1], 0x00u);
    EXPECT_EQ(calls[8].arg[2], FT_BITMODE_MPSSE);
    EXPECT_EQ(calls[11].arg[1], 1u);

    EXPECT_EQ(picturesAtPause, 0);  // the model's pictures come with the second pass only
    int picturesAfter = 0;
    for (int id : kPictures) picturesAfter += Visible(id) ? 1 : 0;
    EXPECT_EQ(picturesAfter, 2);

    EXPECT_TRUE(Dlg().m_deviceOpen);
    EXPECT_TRUE(Dlg().m_engineEnabled);
    EXPECT_TRUE(Dlg().IsTimerRunning(1));
    EXPECT_EQ(Dlg().TimerPeriod(1), 1000u);
    EXPECT_TRUE(Dlg().m_monitorRunning);
    EXPECT_TRUE(averageRestart);
    for (int id : {IDC_START, IDC_SET_HV_AND_UA, IDC_HV_OFF, IDC_HV_ON}) EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_EQ(Text(IDC_SERIAL_TEXT), "Ravlen Serial Number 00012345");
    EXPECT_EQ(selectedDescription, "Ravlen Controller A");
    EXPECT_EQ(deviceCount, 2u);
    EXPECT_TRUE(deviceDescriptions.empty());
    EXPECT_EQ(ravlen_sim_dac_code(0), 0u);
    EXPECT_EQ(ravlen_sim_dac_code(1), 0u);
    EXPECT_EQ(ravlen_sim_protocol_errors(), 0u);
    EXPECT_EQ(Failures(), Strings{});
    EXPECT_FALSE(Dlg().IsEnded());
}

// Controllers below serial 10000 need no gap between the two channels.
TEST_F(ConnectionTest, PacingFollowsTheSerialNumber) {
    struct Case {
        const char* serial;
        std::vector<unsigned> pauses;
        const char* ready;
    } cases[] = {
        {"00009999", {200, 2000, 200}, "Ravlen Controller ready"},
        {"00010000", {200, 200, 2000, 200, 200}, "Ravlen Controller Ready..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        ravlen_sim_set_controller(0, nullptr, c.serial);
        ClearCalls();
        Dlg().StartConnection();
        EXPECT_EQ(Pauses(), c.pauses);
        EXPECT_EQ(Text(IDC_STATUS), c.ready);
        EXPECT_TRUE(Dlg().IsTimerRunning(1));
    }
}

TEST_F(ConnectionTest, NoDriverAsksTwiceAroundThePause) {
    Dlg();
    driversLoaded = 0;
    WatchStatus();
    std::vector<size_t> pausesAtBox;
    whileBoxOpen = [&](const platform::MessageBoxRequest&) { pausesAtBox.push_back(Pauses().size()); };
    ClearCalls();
    PressStart();
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& box : boxes) {
        EXPECT_EQ(box.text, "No drivers loaded!  Please install Ravlen drivers.");
        EXPECT_EQ(box.type & 0xF, platform::MB_OK);
    }
    EXPECT_EQ(pausesAtBox, (std::vector<size_t>{0, 1}));
    EXPECT_EQ(Pauses(), std::vector<unsigned>{2000});
    EXPECT_EQ(statuses, Strings{"Connecting to Ravlen. Please wait..."});
    EXPECT_EQ(Entries(), Strings{});
    EXPECT_TRUE(Enabled(IDC_START));
    EXPECT_FALSE(Dlg().IsTimerRunning(1));
    EXPECT_EQ(Failures(), Strings{});
}

// Presses that find nothing to connect to: the program stays open and can try again.
TEST_F(ConnectionTest, NothingToConnectTo) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* finalStatus;
    } cases[] = {
        {"no devices", [] { ravlen_sim_set_controller_count(0); }, "No devices attached"},
        {"one interface only", [] { ravlen_sim_set_single_interface(0, 1); }, "Port CLOSED"},
        {"open fails",
         [] {
             ravlen_sim_fail_call("FT_OpenEx", 1, FT_DEVICE_NOT_FOUND);
             ravlen_sim_fail_call("FT_OpenEx", 2, FT_DEVICE_NOT_FOUND);
         },
         "Ravlen Controller failed to open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ravlen_sim_reset();
        ravlen_sim_set_clock(platform::ClockNowUs, platform::ClockSleepUs, nullptr);
        c.arrange();
        ClearCalls();
        PressStart();
        EXPECT_EQ(Text(IDC_STATUS), c.finalStatus);
        EXPECT_EQ(Pauses(), std::vector<unsigned>{2000});
        EXPECT_FALSE(Dlg().m_deviceOpen);
        EXPECT_FALSE(Dlg().IsTimerRunning(1));
        EXPECT_TRUE(Enabled(IDC_START));
        for (int id : {IDC_SET_HV_AND_UA, IDC_HV_OFF, IDC_HV_ON}) EXPECT_FALSE(Enabled(id)) << id;
        for (const SimCall& call : Calls()) EXPECT_NE(call.entry, "FT_SetBitMode");
        EXPECT_EQ(Failures(), Strings{});
        EXPECT_FALSE(Dlg().IsEnded());
    }
}

TEST_F(ConnectionTest, ControllerUnpluggedBetweenThePasses) {
    WatchStatus();
    onStatus = [](const std::string& text) {
        if (text == "Connecting to Ravlen. Please wait...") ravlen_sim_unplug(0);
    };
    PressStart();
    EXPECT_EQ(Text(IDC_STATUS), "No devices attached");
    EXPECT_FALSE(Dlg().m_deviceOpen);
    EXPECT_FALSE(Dlg().IsTimerRunning(1));
    EXPECT_FALSE(Enabled(IDC_START));  // pass 1 had opened it
    EXPECT_EQ(Failures(), Strings{});
    EXPECT_FALSE(Dlg().IsEnded());
}

TEST_F(ConnectionTest, ManyInterfacesAllFitTheTable) {
    ravlen_sim_set_controller_count(40);  // 80 interfaces
    PressStart();
    EXPECT_EQ(deviceCount, 80u);
    EXPECT_TRUE(deviceDescriptions.empty());
    EXPECT_EQ(selectedDescription, "Ravlen Controller A");
    EXPECT_TRUE(Dlg().m_deviceOpen);
    EXPECT_EQ(Failures(), Strings{});
}

TEST_F(ConnectionTest, UnterminatedDescriptionIsReadWithinItsBuffer) {
    static unsigned char desc[2][64];
    std::memset(desc, 'X', sizeof desc);
    ravlen_sim_set_raw_listing(2, desc, nullptr);
    Dlg().DiscoverAndOpen();
    EXPECT_EQ(selectedDescription, std::string(64, 'X'));
    EXPECT_EQ(Dlg().m_serialNumber, 0);
}

// Each injected fault: its log line, and what the rest of the press still did. Pass 1 of a
// press makes FT_ListDevices calls 1-4 and FT_Write calls 1-6, pass 2 the next ones. A
// failure ends the dialog once the handler returns, but the handler runs to its end: after
// a discovery fault in pass 1 the second pass still connects.
TEST_F(ConnectionTest, FaultsDuringThePress) {
    struct Case {
        const char* entry;
        unsigned nth;
        Strings log;
        bool ended;
        bool openAfter;
        bool timerAfter;
    } cases[] = {
        {"FT_ListDevices", 1, {"List Devices command failed."}, true, true, true},
        {"FT_ListDevices", 2, {}, false, true, true},
        {"FT_ListDevices", 3, {"Device selection List Devices command failed."}, true, true, true},
        // Pass 2 closed the handle before it failed, so the shutdown's writes fail too.
        {"FT_ListDevices", 5,
         {"HV DAC error setting voltage.", "uA DAC error setting current.",
          "Error disabling serial engine (MPSSE).", "List Devices command failed."},
         true, false, false},
        // The shutdown leaves the chip out of its serial mode, so the model read that
        // follows gets no answer.
        {"FT_SetBitMode", 2,
         {"Error enabling serial engine (MPSSE). Check controller connection.",
          "Port IO too few data bytes returned."},
         true, true, false},
        {"FT_Write", 7, {"Error initializing I/O lines.", "Port IO too few data bytes returned."}, true,
         true, false},
        {"FT_Write", 8, {"Port IO write command error."}, true, true, false},
        {"FT_Read", 2, {"Port IO read data status error."}, true, true, false},
        {"FT_Write", 9, {"Temperature Sensor setup error."}, true, true, false},
        // The setpoint writes and the timer start after the divisor are not guarded.
        {"FT_Write", 10, {"Error setting clock divisor."}, true, true, true},
        {"FT_Write", 11, {"HV DAC error setting voltage."}, true, true, true},
        {"FT_Write", 12, {"uA DAC error setting current."}, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.entry << " #" << c.nth);
        DialogTest::TearDown();
        DialogTest::SetUp();
        Dlg();
        ClearCalls();
        ravlen_sim_fail_call(c.entry, c.nth, FT_IO_ERROR);
        PressStart();
        EXPECT_EQ(Failures(), c.log);
        EXPECT_EQ(Dlg().IsEnded(), c.ended);
        EXPECT_EQ(Dlg().m_deviceOpen, c.openAfter);
        EXPECT_EQ(Dlg().IsTimerRunning(1), c.timerAfter);
        EXPECT_EQ(std::count(Pauses().begin(), Pauses().end(), 2000u), 1);
    }
}

// A failed DAC write marks its channel before the report, so the shutdown writes neither
// channel's minimum again and leaves the engine on.
TEST_F(ConnectionTest, FailedDacWriteSkipsTheShutdownSetpoints) {
    Dlg();
    ravlen_sim_fail_call("FT_Write", 11, FT_IO_ERROR);
    PressStart();
    EXPECT_TRUE(Dlg().m_hvDacFailed);
    EXPECT_FALSE(Dlg().m_uaDacFailed);
    EXPECT_TRUE(Dlg().m_engineEnabled);
    EXPECT_EQ(ravlen_sim_bit_mode(), 0x02);
    EXPECT_EQ(Text(IDC_KV_EDIT), "0");
}

TEST_F(ConnectionTest, UnresolvedDiscoveryEntryPoints) {
    struct Case {
        const char* name;
        std::function<void(D2xxBinding&)> unbind;
        Strings log;
        bool open;
    } cases[] = {
        {"close", [](D2xxBinding& b) { b.FT_Close = nullptr; }, {"FT_Close is not valid!"}, true},
        {"listing", [](D2xxBinding& b) { b.FT_ListDevices = nullptr; },
         {"FT_ListDevices is not valid!", "List Devices command failed."}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogTest::TearDown();
        DialogTest::SetUp();
        c.unbind(Dlg().m_d2xx);
        Dlg().DiscoverAndOpen();
        EXPECT_EQ(Failures(), c.log);
        EXPECT_EQ(Dlg().m_deviceOpen, c.open);
        EXPECT_EQ(Dlg().m_ftHandle != nullptr, c.open);
    }
}
