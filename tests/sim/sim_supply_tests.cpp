// The high-voltage supply in virtual time: ramps, enables and interlock,
// emission, the tube scales and gain error, heating and noise.
#include <cmath>
#include <functional>

#include "tests/sim/sim_fixture.h"

using simtest::Bytes;
using simtest::SimFixture;

namespace {

class SimSupply : public SimFixture {
public:
    // 3.0 V and 2.0 V on the converters: 30 kV and 100 uA on the default tube.
    void Prepare(unsigned hvCode = 3000, unsigned uaCode = 2000) {
        h = Connect();
        Send(h, lines.Setpoint(0x18, hvCode));
        Send(h, lines.Setpoint(0x19, uaCode));
    }
    void SwitchOn() { Send(h, lines.Enables(true)); }
    unsigned MonitorCode(int channel) {
        Send(h, lines.Monitor(channel));
        Bytes b = Receive(h, 2);
        return b.size() == 2 ? ((b[0] << 8) | b[1]) >> 3 : 0xFFFF;
    }
    FT_HANDLE h = nullptr;
};

TEST_F(SimSupply, RampsUpWhileEnabledWithTheInterlockClosed) {
    Prepare();
    Run(2.0);
    EXPECT_EQ(ravlen_sim_supply_enabled(), 0);
    EXPECT_EQ(ravlen_sim_output_kv(), 0.0);
    SwitchOn();
    EXPECT_EQ(ravlen_sim_supply_enabled(), 1);
    Run(0.25);
    double early = ravlen_sim_output_kv();
    EXPECT_GT(early, 5.0);
    EXPECT_LT(early, 15.0);
    Run(0.25);
    EXPECT_GT(ravlen_sim_output_kv(), early);
    Run(2.0);
    EXPECT_NEAR(ravlen_sim_output_kv(), 30.0, 1e-6);
    EXPECT_NEAR(ravlen_sim_output_ua(), 100.0, 1e-3);
    EXPECT_EQ(MonitorCode(0), 3000u);
    EXPECT_EQ(MonitorCode(1), 2000u);
}

TEST_F(SimSupply, DropsWhenAnEnableOrTheInterlockGoes) {
    struct Case {
        const char* name;
        std::function<void(SimSupply&)> cut;
    };
    const Case cases[] = {
        {"interlock opens", [](SimSupply&) { ravlen_sim_set_interlock(0, 0); }},
        {"both enables low", [](SimSupply& t) { Send(t.h, t.lines.Enables(false)); }},
        {"one enable low",
         [](SimSupply& t) {
             Send(t.h, {0x80, static_cast<uint8_t>(t.lines.low & ~0x20), 0x7B});
         }},
        {"engine reset", [](SimSupply& t) { FT_SetBitMode(t.h, 0x00, 0x00); }},
        {"supply fault", [](SimSupply&) { ravlen_sim_set_supply_fault(0, 1); }},
        {"controller unplugged", [](SimSupply&) { ravlen_sim_unplug(0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ravlen_sim_reset();
        ravlen_sim_set_clock(&simtest::VirtualClock::Now, &simtest::VirtualClock::Sleep, &clock);
        ravlen_sim_set_noise(0, 0, 0);
        Prepare();
        SwitchOn();
        Run(2.0);
        ASSERT_NEAR(ravlen_sim_output_kv(), 30.0, 1e-6);
        c.cut(*this);
        EXPECT_EQ(ravlen_sim_supply_enabled(), 0);
        Run(0.1);
        EXPECT_LT(ravlen_sim_output_kv(), 30.0);
        EXPECT_GT(ravlen_sim_output_kv(), 1.0);  // it bleeds off, it does not vanish
        Run(3.0);
        EXPECT_LT(ravlen_sim_output_kv(), 0.01);
        EXPECT_LT(ravlen_sim_output_ua(), 0.01);
    }
}

TEST_F(SimSupply, CurrentFlowsOnlyWithVoltage) {
    Prepare(0, 2000);
    SwitchOn();
    Run(2.0);
    EXPECT_EQ(ravlen_sim_output_ua(), 0.0);
    EXPECT_EQ(MonitorCode(1), 0u);
    Send(h, lines.Setpoint(0x18, 3000));
    Run(2.0);
    EXPECT_NEAR(ravlen_sim_output_ua(), 100.0, 1e-3);
}

TEST_F(SimSupply, ScalesAndGainFollowModelAndSerial) {
    struct Case {
        const char* serial;
        int model;
        double gain;  // 0 = the default for the serial
        double kv;
        unsigned hvCode;
        double ua;
    };
    const Case cases[] = {
        {"00012345", 3, 0, 30.0, 3000, 100.0},
        {"00009999", 3, 0, 29.4, 2940, 98.0},  // older controllers carry a gain error
        {"00009999", 3, 1.0, 30.0, 3000, 100.0},
        {"01118879", 3, 0, 30.0, 3000, 100.0},
        {"01118880", 3, 0, 37.5, 3000, 100.0},
        {"00012345", 0, 0, 60.0, 3000, 100.0},
        {"00012345", 1, 0, 37.5, 3000, 100.0},
        {"00012345", 2, 0, 37.5, 3000, 100.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.serial << " model " << c.model);
        ravlen_sim_reset();
        ravlen_sim_set_clock(&simtest::VirtualClock::Now, &simtest::VirtualClock::Sleep, &clock);
        ravlen_sim_set_noise(0, 0, 0);
        ravlen_sim_set_controller(0, nullptr, c.serial);
        ravlen_sim_set_model_code(0, c.model);
        if (c.gain > 0)
            ravlen_sim_set_gain(0, c.gain);
        Prepare();
        SwitchOn();
        Run(3.0);
        EXPECT_NEAR(ravlen_sim_output_kv(), c.kv, 1e-6);
        EXPECT_NEAR(ravlen_sim_output_ua(), c.ua, 1e-3);
        EXPECT_EQ(MonitorCode(0), c.hvCode);
    }
}

TEST_F(SimSupply, BoardWarmsWithPowerAndCools) {
    Prepare();
    SwitchOn();
    Run(120.0);  // 3 W for two minutes
    double hot = ravlen_sim_temperature();
    EXPECT_GT(hot, 31.0);
    EXPECT_LT(hot, 32.6);
    Send(h, lines.SensorSetup());
    Send(h, lines.SensorRead());
    Bytes b = Receive(h, 2);
    ASSERT_EQ(b.size(), 2u);
    double read = static_cast<int16_t>((b[1] << 8) | b[0]) / 256.0;
    EXPECT_NEAR(read, hot, 0.0625);
    Send(h, lines.Enables(false));
    Run(120.0);
    EXPECT_LT(ravlen_sim_temperature(), 26.0);
}

TEST_F(SimSupply, NoiseIsSeededAndCanBeOff) {
    auto sample = [this](double kvSigma, unsigned seed) {
        ravlen_sim_reset();
        ravlen_sim_set_clock(&simtest::VirtualClock::Now, &simtest::VirtualClock::Sleep, &clock);
        ravlen_sim_set_noise(kvSigma, 0.0, seed);
        Prepare();
        SwitchOn();
        Run(3.0);
        std::vector<unsigned> codes;
        for (int i = 0; i < 6; ++i)
            codes.push_back(MonitorCode(0));
        return codes;
    };
    auto first = sample(0.5, 7);
    EXPECT_EQ(sample(0.5, 7), first);
    EXPECT_NE(sample(0.5, 8), first);
    EXPECT_NE(first, std::vector<unsigned>(6, 3000u));
    EXPECT_EQ(sample(0.0, 7), std::vector<unsigned>(6, 3000u));
}

}  // namespace

namespace {

// A whole run as the program makes it: connection, ticks, HV ON with
// setpoints, HV OFF. Every stream must decode without a protocol error.
TEST_F(SimSupply, ProgramRunDecodesCleanly) {
    h = Connect();
    Send(h, {0x83});
    EXPECT_EQ(Receive(h, 1), simtest::Bytes{0x07});
    Send(h, lines.SensorSetup());
    Send(h, lines.Setpoint(0x18, 0));
    Send(h, lines.Setpoint(0x19, 0));
    auto tick = [this] {
        std::pair<unsigned, unsigned> codes{MonitorCode(0), MonitorCode(1)};
        Send(h, {0x81});
        Receive(h, 1);
        Send(h, {0x83});
        Receive(h, 1);
        Send(h, lines.SensorRead());
        EXPECT_EQ(Receive(h, 2).size(), 2u);
        Run(1.0);
        return codes;
    };
    tick();
    Send(h, lines.Enables(true));
    Send(h, lines.Setpoint(0x18, 2000));  // 20 kV
    Send(h, lines.Setpoint(0x19, 1000));  // 50 uA
    tick();
    tick();
    EXPECT_EQ(tick(), (std::pair<unsigned, unsigned>{2000, 1000}));
    // HV OFF: the enables drop with the first setpoint write.
    uint8_t prepared = lines.low & 0x9F;
    lines.low = prepared;
    Send(h, lines.Setpoint(0x18, 0));
    EXPECT_EQ(ravlen_sim_supply_enabled(), 0);
    Send(h, lines.Setpoint(0x19, 0));
    Send(h, {0x80, prepared, 0x7B});
    Run(3.0);
    EXPECT_EQ(tick(), (std::pair<unsigned, unsigned>{0, 0}));
    EXPECT_EQ(ravlen_sim_protocol_errors(), 0u) << ravlen_sim_last_protocol_error();
    EXPECT_GT(ravlen_sim_temperature(), 25.0);
}

}  // namespace
