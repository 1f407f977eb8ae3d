// The chip and the bus devices: the program's streams must reach the devices
// bit by bit and bring back what the board holds.
#include <cmath>
#include <functional>

#include "tests/sim/sim_fixture.h"

using simtest::Bytes;
using simtest::SimFixture;

namespace {

class SimBus : public SimFixture {
public:
    void SetUp() override {
        SimFixture::SetUp();
        h = Connect();
    }
    FT_HANDLE h = nullptr;
};

TEST_F(SimBus, SetpointStreamSetsItsChannel) {
    struct Case {
        uint8_t channelByte;
        unsigned code;
        int channel;
        double volts;
    };
    const Case cases[] = {
        {0x18, 4000, 0, 4.000},
        {0x19, 699, 1, 0.699},
        {0x19, 4095, 1, 4.095},
        {0x18, 0, 0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        unsigned otherBefore = ravlen_sim_dac_code(1 - c.channel);
        Bytes stream = lines.Setpoint(c.channelByte, c.code);
        Send(h, stream);
        EXPECT_EQ(ravlen_sim_dac_code(c.channel), c.code);
        EXPECT_NEAR(ravlen_sim_dac_volts(c.channel), c.volts, 1e-9);
        EXPECT_EQ(ravlen_sim_dac_code(1 - c.channel), otherBefore);
        EXPECT_EQ(ravlen_sim_low_lines() & 0x7F, lines.low & 0x7F);
    }
    EXPECT_EQ(lines.Setpoint(0x18, 4000),
              (Bytes{0x80, 0x8B, 0x7B, 0x10, 0x02, 0x00, 0x18, 0xFA, 0x00, 0x80, 0x9B, 0x7B}));
    EXPECT_EQ(ravlen_sim_protocol_errors(), 0u);
}

TEST_F(SimBus, SetpointTakesEffectWhenTheSelectRisesAfterAWholeFrame) {
    Bytes stream = lines.Setpoint(0x18, 2500);
    Bytes release(stream.end() - 3, stream.end());
    stream.resize(stream.size() - 3);
    Send(h, stream);
    EXPECT_EQ(ravlen_sim_dac_code(0), 0u);
    Send(h, release);
    EXPECT_EQ(ravlen_sim_dac_code(0), 2500u);

    // Two bytes only: no update, and the short frame is reported.
    Send(h, {0x80, 0x8B, 0x7B, 0x10, 0x01, 0x00, 0x18, 0x10, 0x80, 0x9B, 0x7B});
    EXPECT_EQ(ravlen_sim_dac_code(0), 2500u);
    EXPECT_EQ(ravlen_sim_protocol_errors(), 1u);
    EXPECT_NE(std::string(ravlen_sim_last_protocol_error()).find("16-bit"), std::string::npos);
}

TEST_F(SimBus, MonitorStreamReturnsTheCodeOfTheVoltagePresent) {
    struct Case {
        int channel;
        double volts;
        Bytes answer;
    };
    const Case cases[] = {
        {0, 1.234, {0x26, 0x90}}, {1, 1.234, {0x26, 0x90}},
        {1, 4.095, {0x7F, 0xF8}}, {0, 9.0, {0x7F, 0xF8}},  // clamped to full scale
        {0, -1.0, {0x00, 0x00}},  {1, 0.001, {0x00, 0x08}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "channel " << c.channel << " " << c.volts << " V");
        ravlen_sim_set_monitor_volts(c.channel, c.volts);
        ravlen_sim_set_monitor_volts(1 - c.channel, 2.0);  // must not leak into the answer
        Send(h, lines.Monitor(c.channel));
        EXPECT_EQ(Receive(h, 2), c.answer);
    }
    EXPECT_EQ(ravlen_sim_protocol_errors(), 0u);
    EXPECT_EQ(ravlen_sim_low_lines() & 0x09, 0x08);  // clock low, converter released
}

TEST_F(SimBus, TemperatureStreamReturnsTheSensorBytes) {
    // Before the set-up the sensor runs at its power-on 8-bit resolution.
    ravlen_sim_set_temperature(25.3);
    Send(h, lines.SensorRead());
    EXPECT_EQ(Receive(h, 2), (Bytes{0x00, 0x19}));

    Send(h, lines.SensorSetup());
    EXPECT_EQ(ravlen_sim_temp_config(), 0xE8);
    struct Case {
        double celsius;
        Bytes answer;  // L then M
    };
    const Case cases[] = {
        {25.0, {0x00, 0x19}},
        {-25.0, {0x00, 0xE7}},
        {25.3, {0x40, 0x19}},
        {0.0625, {0x10, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.celsius);
        ravlen_sim_set_temperature(c.celsius);
        Send(h, lines.SensorRead());
        EXPECT_EQ(Receive(h, 2), c.answer);
    }
    ravlen_sim_set_temperature(NAN);
    EXPECT_DOUBLE_EQ(ravlen_sim_temperature(), 25.0);
    EXPECT_EQ(ravlen_sim_protocol_errors(), 0u);
    EXPECT_EQ(ravlen_sim_high_lines() & 0x08, 0);  // sensor released
}

TEST_F(SimBus, PortReadsReturnTheLineLevels) {
    struct Case {
        const char* name;
        std::function<void(SimBus&)> setup;
        uint8_t port0;
        uint8_t port1;
    };
    const Case cases[] = {
        {"default board", [](SimBus&) {}, 0x9B, 0x07},
        {"model 1, interlock open",
         [](SimBus&) {
             ravlen_sim_set_model_code(0, 1);
             ravlen_sim_set_interlock(0, 0);
         },
         0x9B, 0x02},
        {"model 0", [](SimBus&) { ravlen_sim_set_model_code(0, 0); }, 0x9B, 0x01},
        {"model 2", [](SimBus&) { ravlen_sim_set_model_code(0, 2); }, 0x9B, 0x05},
        {"supply faulted", [](SimBus&) { ravlen_sim_set_supply_fault(0, 1); }, 0x1B, 0x07},
        {"enables driven high", [](SimBus& t) { Send(t.h, t.lines.Enables(true)); }, 0xFB, 0x07},
        {"sensor selected",
         [](SimBus& t) {
             Send(t.h, {0x82, 0x08, 0x08});
         },
         0x9B, 0x0F},
        {"input overrides",
         [](SimBus&) {
             ravlen_sim_set_port1_inputs(0xF0);
             ravlen_sim_set_status_input(0);
         },
         0x1B, 0xF0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ravlen_sim_reset();
        ravlen_sim_set_clock(&simtest::VirtualClock::Now, &simtest::VirtualClock::Sleep, &clock);
        h = Connect();
        c.setup(*this);
        Send(h, {0x81});
        EXPECT_EQ(Receive(h, 1), Bytes{c.port0});
        Send(h, {0x83});
        EXPECT_EQ(Receive(h, 1), Bytes{c.port1});
        EXPECT_EQ(ravlen_sim_low_lines(), c.port0);
        EXPECT_EQ(ravlen_sim_high_lines(), c.port1);
    }
}

TEST_F(SimBus, UnknownOpcodeGetsTheBadCommandAnswer) {
    const uint8_t opcodes[] = {0xAA, 0xAB, 0x00, 0x0F, 0xC0, 0x50};
    for (uint8_t op : opcodes) {
        SCOPED_TRACE(static_cast<int>(op));
        Send(h, {op});
        EXPECT_EQ(Receive(h, 2), (Bytes{0xFA, op}));
    }
    // The engine carries on with the next command.
    Send(h, {0xAA, 0x81});
    EXPECT_EQ(Receive(h, 3), (Bytes{0xFA, 0xAA, 0x9B}));
}

TEST_F(SimBus, TwoSelectsWhileClockingAreRecorded) {
    struct Case {
        const char* name;
        Bytes stream;
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {"both converters",
         {0x80, 0x83, 0x7B, 0x10, 0x02, 0x00, 0x18, 0x00, 0x00, 0x80, 0x9B, 0x7B},
         "setpoint converter",
         "monitor converter"},
        {"sensor and monitor converter",
         {0x82, 0x08, 0x08, 0x80, 0x92, 0x7B, 0x12, 0x07, 0x01, 0x80, 0x9B, 0x7B, 0x82, 0x00, 0x08},
         "monitor converter",
         "temperature sensor"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unsigned before = ravlen_sim_protocol_errors();
        Send(h, c.stream);
        EXPECT_EQ(ravlen_sim_protocol_errors(), before + 1);
        std::string text = ravlen_sim_last_protocol_error();
        EXPECT_NE(text.find(c.first), std::string::npos) << text;
        EXPECT_NE(text.find(c.second), std::string::npos) << text;
    }
}

TEST_F(SimBus, OtherCommonCommandsWork) {
    // Loopback ties data out to data in; 0x31 clocks bytes out and in.
    Send(h, {0x84, 0x31, 0x01, 0x00, 0xA5, 0x3C, 0x85});
    EXPECT_EQ(Receive(h, 2), (Bytes{0xA5, 0x3C}));
    EXPECT_DOUBLE_EQ(ravlen_sim_clock_hz(), 1.5e6);
    Send(h, {0x8A});
    EXPECT_DOUBLE_EQ(ravlen_sim_clock_hz(), 7.5e6);
    Send(h, {0x8B});
    EXPECT_DOUBLE_EQ(ravlen_sim_clock_hz(), 1.5e6);
    // A command split over two writes runs once it is complete.
    unsigned char before = ravlen_sim_low_lines();
    Send(h, {0x80, 0xFB});
    EXPECT_EQ(ravlen_sim_low_lines(), before);
    Send(h, {0x7B});
    EXPECT_EQ(ravlen_sim_low_lines(), 0xFB);
}

TEST_F(SimBus, BytesOutsideMpsseAreDiscarded) {
    ASSERT_EQ(FT_SetBitMode(h, 0x00, 0x00), FT_OK);
    EXPECT_EQ(ravlen_sim_bit_mode(), 0);
    Send(h, {0x81});
    DWORD queued = 99;
    EXPECT_EQ(FT_GetQueueStatus(h, &queued), FT_OK);
    EXPECT_EQ(queued, 0u);
    // Lines are no longer driven: the selects float up, clock and enables low.
    EXPECT_EQ(ravlen_sim_low_lines(), 0x98);
    Send(h, lines.Setpoint(0x18, 1000));
    EXPECT_EQ(ravlen_sim_dac_code(0), 0u);
}

TEST_F(SimBus, InterfaceBHasNothingAttached) {
    FT_HANDLE b = nullptr;
    char name[] = "Ravlen Controller B";
    ASSERT_EQ(FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, &b), FT_OK);
    ASSERT_EQ(FT_SetBitMode(b, 0x00, 0x02), FT_OK);
    ASSERT_EQ(FT_SetTimeouts(b, 40, 40), FT_OK);
    simtest::Shadows other;
    Send(b, other.Enable());
    Send(b, other.Setpoint(0x18, 1234));
    Send(b, {0x83});
    EXPECT_EQ(Receive(b, 1), Bytes{0x00});
    EXPECT_EQ(ravlen_sim_dac_code(0), 0u);
}

}  // namespace
