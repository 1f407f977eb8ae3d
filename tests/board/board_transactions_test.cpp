// Board transactions of a connected dialog: what goes over the bus, what comes back to
// the controls, and what each fault reports.
#include <cmath>
#include <functional>

#include "board/mpsse_engine.h"
#include "tests/device/connection_fixture.h"

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

class BoardTest : public ConnectionTest {
protected:
    void Connect() {
        PressStart();
        ASSERT_TRUE(Dlg().m_engineEnabled);
        ClearCalls();
    }
};

TEST_F(BoardTest, SetpointFramesAndCodes) {
    Connect();
    struct Case {
        bool hv;
        double volts;
        uint8_t b0, b1, b2;
        const char* text;
        unsigned simCode;
    } cases[] = {
        {true, 0.0, 0x18, 0x00, 0x00, "0x0000", 0},
        {false, 0.0, 0x19, 0x00, 0x00, "0x0000", 0},
        {true, 4.0, 0x18, 0xFA, 0x00, "0x0FA0", 4000},
        {true, 0.7, 0x18, 0x2B, 0xC0, "0x02BC", 700},
        {false, 0.7, 0x19, 0x2B, 0xB0, "0x02BB", 699},
        {true, 4.096, 0x18, 0xFF, 0xF0, "0x0FFF", 4095},  // not wrapped to 0
        {false, -1.0, 0x19, 0x00, 0x00, "0x0000", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.hv ? "HV " : "uA ") << c.volts);
        ClearCalls();
        g_lowByteShadow = 0x9B;
        if (c.hv) {
            Dlg().m_kvDacVolts = c.volts;
            Dlg().WriteHvDac();
        } else {
            Dlg().m_uaDacVolts = c.volts;
            Dlg().WriteUaDac();
        }
        EXPECT_EQ(Writes(), std::vector<Bytes>{
                                (Bytes{0x80, 0x8B, 0x7B, 0x10, 0x02, 0x00, c.b0, c.b1, c.b2, 0x80, 0x9B, 0x7B})});
        EXPECT_EQ(Text(c.hv ? IDC_HV_DAC_CODE : IDC_UA_DAC_CODE), c.text);
        EXPECT_EQ(ravlen_sim_dac_code(c.hv ? 0 : 1), c.simCode);
        EXPECT_EQ(g_lowByteShadow, 0x9B);
    }
    EXPECT_EQ(Failures(), Strings{});
}

TEST_F(BoardTest, SetpointShadowKeepsOtherBits) {
    Connect();
    for (int shadow : {0x00, 0x60, 0xE6}) {
        SCOPED_TRACE(shadow);
        g_lowByteShadow = static_cast<uint8_t>(shadow);
        Dlg().m_kvDacVolts = 1.0;
        Dlg().WriteHvDac();
        EXPECT_EQ(g_lowByteShadow, shadow | 0x11);
    }
}

// While the high voltage is on, a setpoint outside the model's band is refused with a status
// text and nothing goes over the bus; the trim flag widens only the voltage band.
TEST_F(BoardTest, BandWhileHighVoltageIsOn) {
    Connect();  // Kv40W4: 1.0 .. 4.0 V on the voltage channel, 0.1 .. 4.0 V on the current one
    const char* kvRefused = "Requested voltage out of range.  Please enter voltage in range.";
    const char* uaRefused = "Requested current out of range.  Please enter current in range.";
    struct Case {
        bool hvOn;
        double trim;
        bool hv;
        double volts;
        const char* refusal;  // nullptr: written
    } cases[] = {
        {false, 0, true, 0.0, nullptr},      {false, 0, true, 4.09, nullptr},
        {true, 0, true, 4.0, nullptr},       {true, 0, true, 4.09, kvRefused},
        {true, 0, true, 0.5, kvRefused},     {true, 1, true, 4.09, nullptr},
        {true, 1, true, 4.2, kvRefused},     {true, 1, true, 0.98, nullptr},
        {true, 0, false, 4.0, nullptr},      {true, 0, false, 4.01, uaRefused},
        {true, 1, false, 4.01, uaRefused},   {true, 0, false, 0.05, uaRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hvOn << " " << c.trim << " " << c.hv << " " << c.volts);
        ClearCalls();
        Dlg().m_hvOn = c.hvOn;
        Dlg().m_trimWrite = c.trim;
        Dlg().SetDlgItemText(IDC_STATUS, "before");
        Dlg().SetDlgItemText(IDC_HV_DAC_CODE, "code");
        Dlg().SetDlgItemText(IDC_UA_DAC_CODE, "code");
        g_lowByteShadow = 0x8A;
        if (c.hv) {
            Dlg().m_kvDacVolts = c.volts;
            Dlg().WriteHvDac();
        } else {
            Dlg().m_uaDacVolts = c.volts;
            Dlg().WriteUaDac();
        }
        if (c.refusal) {
            EXPECT_EQ(Text(IDC_STATUS), c.refusal);
            EXPECT_TRUE(Writes().empty());
            EXPECT_EQ(g_lowByteShadow, 0x8A);
            EXPECT_EQ(Text(c.hv ? IDC_HV_DAC_CODE : IDC_UA_DAC_CODE), "code");
        } else {
            EXPECT_EQ(Writes().size(), 1u);
            EXPECT_NE(Text(c.hv ? IDC_HV_DAC_CODE : IDC_UA_DAC_CODE), "code");
        }
    }
    Dlg().m_hvOn = false;
    EXPECT_EQ(Failures(), Strings{});
}

TEST_F(BoardTest, MonitorReadings) {
    Connect();
    struct Case {
        int channel;
        double volts;
        const char* codeText;
        const char* result;
    } cases[] = {
        {0, 1.234, "0x04D2", "1.2340V"},
        {1, 1.234, "0x04D2", "1.2340V"},
        {0, 4.095, "0x0FFF", "4.0950V"},
        {1, 0.0, "0x0000", "0.0000V"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channel << " " << c.volts);
        ravlen_sim_set_monitor_volts(c.channel, c.volts);
        ClearCalls();
        const uint8_t before = g_lowByteShadow;
        if (c.channel == 0) Dlg().ReadHvAdc();
        else Dlg().ReadUaAdc();
        EXPECT_EQ(c.channel == 0 ? Dlg().m_hvAdcText : Dlg().m_uaAdcText, c.result);
        EXPECT_EQ(Text(c.channel == 0 ? IDC_HV_ADC_CODE : IDC_UA_ADC_CODE), c.codeText);

        const std::vector<SimCall> calls = Calls();
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[0].entry, "FT_Write");
        const uint8_t a = before & 0xF6;
        EXPECT_EQ(calls[0].data, (Bytes{0x86, 0x03, 0x00, 0x80, a, 0x7B, 0x13, 0x03,
                                        static_cast<uint8_t>(c.channel == 0 ? 0xD0 : 0xF0), 0x80, a, 0x7B,
                                        0x20, 0x01, 0x00, 0x80, static_cast<uint8_t>(a | 0x08), 0x7B}));
        EXPECT_EQ(calls[1].entry, "FT_SetTimeouts");
        EXPECT_EQ(calls[1].arg[1], 40u);
        EXPECT_EQ(calls[1].arg[2], 40u);
        EXPECT_EQ(calls[2].entry, "FT_Read");
        EXPECT_EQ(calls[2].arg[1], 2u);
        EXPECT_EQ(g_lowByteShadow, a | 0x08);
    }
    EXPECT_EQ(Failures(), Strings{});
}

TEST_F(BoardTest, TemperatureReadings) {
    Connect();
    struct Case {
        double celsius;
        const char* shown;
        const char* raw;
    } cases[] = {
        {25.0, "25", "0x1900"},
        {-25.0, "-25", "0xE700"},
        {25.9375, "26", "0x19F0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.celsius);
        ravlen_sim_set_temperature(c.celsius);
        g_lowByteShadow = 0x9B;
        g_highByteShadow = 0x00;
        ClearCalls();
        Dlg().ReadTempSensor();
        EXPECT_EQ(Text(IDC_TEMPERATURE), c.shown);
        EXPECT_EQ(Text(IDC_TEMP_RAW), c.raw);
        EXPECT_EQ(Entries(), (Strings{"FT_Write", "FT_SetTimeouts", "FT_Read"}));
        EXPECT_EQ(Writes()[0].size(), 30u);
        EXPECT_EQ(g_lowByteShadow, 0x99);  // clock high, data out low
        EXPECT_EQ(g_highByteShadow, 0x00);
        EXPECT_EQ(ravlen_sim_high_lines() & 0x08, 0);
    }
    EXPECT_EQ(ravlen_sim_temp_config(), 0xE8);
    EXPECT_EQ(Failures(), Strings{});
}

TEST_F(BoardTest, PortReadsLeaveTheLinesAlone) {
    Connect();
    g_lowByteShadow = 0x9B;
    g_highByteShadow = 0x00;
    const unsigned char lowLines = ravlen_sim_low_lines();
    const unsigned char highLines = ravlen_sim_high_lines();
    unsigned char port0 = 0, port1 = 0;
    Dlg().ReadPort(port0, 0);
    Dlg().ReadPort(port1, 2);
    EXPECT_EQ(Writes(), (std::vector<Bytes>{{0x81}, {0x83}}));
    EXPECT_EQ(Entries(), (Strings{"FT_Write", "FT_Read", "FT_Write", "FT_Read"}));
    EXPECT_EQ(Calls()[1].arg[1], 1u);
    EXPECT_EQ(port0, lowLines);
    EXPECT_EQ(port1, highLines);
    EXPECT_EQ(g_lowByteShadow, 0x9B);
    EXPECT_EQ(g_highByteShadow, 0x00);
    EXPECT_EQ(ravlen_sim_low_lines(), lowLines);
    EXPECT_EQ(ravlen_sim_high_lines(), highLines);
}

// A failure's report, and what the operation leaves behind. The shutdown each report starts
// switches the engine off, which the later steps of these operations do not need.
TEST_F(BoardTest, ReadFaults) {
    unsigned char port = 0x5A;
    struct Case {
        const char* name;
        std::function<void()> fault;
        std::function<void(CTubeControlDlg&)> run;
        std::function<bool(CTubeControlDlg&)> untouched;
        const char* message;
    };
    const auto write = [] { ravlen_sim_fail_call("FT_Write", 1, FT_IO_ERROR); };
    const auto read = [] { ravlen_sim_fail_call("FT_Read", 1, FT_IO_ERROR); };
    const auto shortRead = [] { ravlen_sim_short_read(1, 1); };
    const auto emptyRead = [] { ravlen_sim_short_read(1, 0); };
    const auto hv = [](CTubeControlDlg& d) { d.ReadHvAdc(); };
    const auto ua = [](CTubeControlDlg& d) { d.ReadUaAdc(); };
    const auto temp = [](CTubeControlDlg& d) { d.ReadTempSensor(); };
    const auto readPort = [&port](CTubeControlDlg& d) { d.ReadPort(port, 2); };
    const auto hvBlank = [](CTubeControlDlg& d) { return d.m_hvAdcText == " "; };
    const auto uaBlank = [](CTubeControlDlg& d) { return d.m_uaAdcText == " "; };
    const auto tempKept = [](CTubeControlDlg& d) {
        return d.GetDlgItemText(IDC_TEMPERATURE) == "kept" && d.GetDlgItemText(IDC_TEMP_RAW) == "kept";
    };
    const auto portKept = [&port](CTubeControlDlg&) { return port == 0x5A; };
    const Case cases[] = {
        {"hv write", write, hv, hvBlank, "HV ADC write command error."},
        {"hv read", read, hv, hvBlank, "HV ADC read data status error."},
        {"hv short", shortRead, hv, hvBlank, "HV ADC too few data bytes returned."},
        {"ua write", write, ua, uaBlank, "uA ADC write command error."},
        {"ua read", read, ua, uaBlank, "uA ADC read data status error."},
        {"ua short", shortRead, ua, uaBlank, "uA ADC too few data bytes returned."},
        {"temp write", write, temp, tempKept, "Temperature Sensor write command error."},
        {"temp read", read, temp, tempKept, "Temperature Sensor read data status error."},
        {"temp short", shortRead, temp, tempKept, "Temperature Sensor too few data bytes returned."},
        {"port write", write, readPort, portKept, "Port IO write command error."},
        {"port read", read, readPort, portKept, "Port IO read data status error."},
        {"port empty", emptyRead, readPort, portKept, "Port IO too few data bytes returned."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogTest::TearDown();
        DialogTest::SetUp();
        Connect();
        port = 0x5A;
        Dlg().SetDlgItemText(IDC_TEMPERATURE, "kept");
        Dlg().SetDlgItemText(IDC_TEMP_RAW, "kept");
        c.fault();
        c.run(Dlg());
        EXPECT_EQ(Failures(), Strings{c.message});
        EXPECT_TRUE(c.untouched(Dlg()));
        EXPECT_TRUE(Dlg().IsEnded());
        // The shutdown ran: engine off, timer stopped, the flag free again.
        EXPECT_FALSE(Dlg().m_engineEnabled);
        EXPECT_FALSE(Dlg().IsTimerRunning(1));
        EXPECT_EQ(ravlen_sim_bit_mode(), 0x00);
        EXPECT_EQ(g_busBusy, 0);
    }
}

TEST_F(BoardTest, WriteFaultsMarkTheirChannel) {
    struct Case {
        bool hv;
        const char* message;
    } cases[] = {{true, "HV DAC error setting voltage."}, {false, "uA DAC error setting current."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        DialogTest::TearDown();
        DialogTest::SetUp();
        Connect();
        ravlen_sim_fail_call("FT_Write", 1, FT_IO_ERROR);
        if (c.hv) Dlg().WriteHvDac();
        else Dlg().WriteUaDac();
        EXPECT_EQ(Failures(), Strings{c.message});
        EXPECT_EQ(Dlg().m_hvDacFailed, c.hv);
        EXPECT_EQ(Dlg().m_uaDacFailed, !c.hv);
        // The shutdown stops before the setpoint minimum and the engine switch-off.
        EXPECT_TRUE(Dlg().m_engineEnabled);
        EXPECT_EQ(ravlen_sim_bit_mode(), 0x02);
        EXPECT_FALSE(Dlg().IsTimerRunning(1));
    }
}

TEST_F(BoardTest, EngineEnable) {
    struct Case {
        const char* name;
        std::function<void()> fault;
        Strings log;
        bool enabled;
        Strings entries;
    } cases[] = {
        {"all well", [] {}, {}, true,
         {"FT_SetLatencyTimer", "FT_SetTimeouts", "FT_SetBitMode", "FT_Write"}},
        {"latency and time-outs fail unnoticed",
         [] {
             ravlen_sim_fail_call("FT_SetLatencyTimer", 1, FT_IO_ERROR);
             ravlen_sim_fail_call("FT_SetTimeouts", 1, FT_IO_ERROR);
         },
         {}, true, {"FT_SetLatencyTimer", "FT_SetTimeouts", "FT_SetBitMode", "FT_Write"}},
        {"mode refused", [] { ravlen_sim_fail_call("FT_SetBitMode", 1, FT_IO_ERROR); },
         {"Error enabling serial engine (MPSSE). Check controller connection."}, false,
         {"FT_SetLatencyTimer", "FT_SetTimeouts", "FT_SetBitMode"}},
        {"lines refused", [] { ravlen_sim_fail_call("FT_Write", 1, FT_IO_ERROR); },
         {"Error initializing I/O lines."}, false,
         {"FT_SetLatencyTimer", "FT_SetTimeouts", "FT_SetBitMode", "FT_Write"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogTest::TearDown();
        DialogTest::SetUp();
        Dlg().DiscoverAndOpen();
        ASSERT_TRUE(Dlg().m_deviceOpen);
        g_lowByteShadow = 0x12;
        g_highByteShadow = 0x34;
        ClearCalls();
        c.fault();
        Dlg().EnableSerialEngine();
        EXPECT_EQ(Failures(), c.log);
        EXPECT_EQ(Dlg().m_engineEnabled, c.enabled);
        // Only the engine's own calls before the failure; the shutdown's come after them.
        Strings entries = Entries();
        entries.resize(std::min(entries.size(), c.entries.size()));
        EXPECT_EQ(entries, c.entries);
        if (c.entries.size() == 4) {
            EXPECT_EQ(g_lowByteShadow, 0x9B);
            EXPECT_EQ(g_highByteShadow, 0x00);
        }
    }
}

TEST_F(BoardTest, EngineEnableWithoutDriver) {
    Dlg();
    driversLoaded = 0;
    ClearCalls();
    Dlg().EnableSerialEngine();
    EXPECT_EQ(Failures(), Strings{"No drivers loaded!"});
    EXPECT_EQ(Entries(), Strings{});
    EXPECT_FALSE(Dlg().m_engineEnabled);
}

TEST_F(BoardTest, ClockDivisor) {
    Connect();
    Dlg().SetClockDivisor();
    EXPECT_EQ(Writes(), std::vector<Bytes>{(Bytes{0x86, 0x03, 0x00})});
    EXPECT_DOUBLE_EQ(ravlen_sim_clock_hz(), 1.5e6);
}

namespace {

// Stands in for the library's FT_SetBitMode to see the timer at the moment of the call.
CTubeControlDlg* observedDialog = nullptr;
PtrToSetBitMode librarySetBitMode = nullptr;
bool timerAtModeCall = false;

FT_STATUS ObservingSetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
    timerAtModeCall = observedDialog->IsTimerRunning(1);
    return librarySetBitMode(handle, mask, mode);
}

}  // namespace

TEST_F(BoardTest, EngineDisableStopsTheTimerFirstAndAlwaysEnds) {
    struct Case {
        bool fail;
        Strings log;
    } cases[] = {{false, {}}, {true, {"Error disabling serial engine (MPSSE)."}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fail);
        DialogTest::TearDown();
        DialogTest::SetUp();
        Connect();
        ASSERT_TRUE(Dlg().IsTimerRunning(1));
        observedDialog = &Dlg();
        librarySetBitMode = Dlg().m_d2xx.FT_SetBitMode;
        Dlg().m_d2xx.FT_SetBitMode = ObservingSetBitMode;
        timerAtModeCall = true;
        if (c.fail) ravlen_sim_fail_call("FT_SetBitMode", 1, FT_IO_ERROR);
        Dlg().m_shutdownStarted = true;  // as inside the shutdown, its only caller
        Dlg().DisableSerialEngine();
        EXPECT_FALSE(timerAtModeCall);
        EXPECT_EQ(Failures(), c.log);
        EXPECT_FALSE(Dlg().m_engineEnabled);
        EXPECT_FALSE(Dlg().IsTimerRunning(1));
        EXPECT_EQ(g_busBusy, 0);
        EXPECT_EQ(Entries(), Strings{"FT_SetBitMode"});
        EXPECT_EQ(Calls()[0].arg[2], 0x00u);
        EXPECT_EQ(ravlen_sim_bit_mode(), c.fail ? 0x02 : 0x00);
    }
}

// A transfer that finds the bus taken does not wait for it: nothing reaches the library,
// the transaction reports its own failure and the flag stays with its holder.
TEST_F(BoardTest, BusFoundTakenFailsTheTransfer) {
    struct Case {
        std::function<void(CTubeControlDlg&)> run;
        const char* first;
    } cases[] = {
        {[](CTubeControlDlg& d) { d.WriteHvDac(); }, "HV DAC error setting voltage."},
        {[](CTubeControlDlg& d) { d.ReadHvAdc(); }, "HV ADC write command error."},
        {[](CTubeControlDlg& d) {
             unsigned char v = 0;
             d.ReadPort(v, 0);
         },
         "Port IO write command error."},
        {[](CTubeControlDlg& d) { d.SetClockDivisor(); }, "Error setting clock divisor."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        DialogTest::TearDown();
        DialogTest::SetUp();
        Connect();
        g_busBusy = 1;
        c.run(Dlg());
        for (const SimCall& call : Calls()) {
            EXPECT_NE(call.entry, "FT_Write");
            EXPECT_NE(call.entry, "FT_Read");
        }
        const Strings log = Failures();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), c.first);  // the shutdown's own failures come first
        EXPECT_TRUE(Dlg().IsEnded());
        EXPECT_EQ(g_busBusy, 1);
        g_busBusy = 0;
    }
}

// The call-site rule: an unresolved entry point is reported by name, and where its status
// matters the operation's own failure follows.
TEST_F(BoardTest, UnresolvedEntryPoints) {
    struct Case {
        const char* name;
        bool connected;  // else only opened
        std::function<void(D2xxBinding&)> unbind;
        std::function<void(CTubeControlDlg&)> run;
        Strings log;
        bool engineAfter;
    } cases[] = {
        {"read", true, [](D2xxBinding& b) { b.FT_Read = nullptr; },
         [](CTubeControlDlg& d) {
             unsigned char v = 0;
             d.ReadPort(v, 2);
         },
         {"FT_Read is not valid!", "Port IO read data status error."}, false},
        {"time-outs", true, [](D2xxBinding& b) { b.FT_SetTimeouts = nullptr; },
         [](CTubeControlDlg& d) { d.ReadTempSensor(); },
         // the answer was clocked in before the shutdown reset the mode, so the read still gets it
         {"FT_SetTimeouts is not valid!"}, false},
        {"bit mode", false, [](D2xxBinding& b) { b.FT_SetBitMode = nullptr; },
         [](CTubeControlDlg& d) { d.EnableSerialEngine(); },
         {"FT_SetBitMode is not valid!", "Error enabling serial engine (MPSSE). Check controller connection."},
         false},
        {"latency", false, [](D2xxBinding& b) { b.FT_SetLatencyTimer = nullptr; },
         [](CTubeControlDlg& d) { d.EnableSerialEngine(); }, {"FT_SetLatencyTimer is not valid!"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogTest::TearDown();
        DialogTest::SetUp();
        if (c.connected) {
            Connect();
        } else {
            Dlg().DiscoverAndOpen();
            ClearCalls();
        }
        c.unbind(Dlg().m_d2xx);
        c.run(Dlg());
        EXPECT_EQ(Failures(), c.log);
        EXPECT_EQ(Dlg().m_engineEnabled, c.engineAfter);
        EXPECT_TRUE(Dlg().IsEnded());
    }
}
