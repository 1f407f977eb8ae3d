#include <gtest/gtest.h>

#include <iostream>
#include <vector>

#include "tests/control/control_fixture.h"

namespace {

class SetpointTest : public ControlTest {
protected:
    void Apply() { Dlg().OnSetHighVoltageAndCurrent(); }

    std::vector<uint8_t> Channels() const {
        std::vector<uint8_t> channels;
        for (const DacFrame& f : DacFrames()) channels.push_back(f.channel);
        return channels;
    }
    std::vector<int> Codes(uint8_t channel) const {
        std::vector<int> codes;
        for (const DacFrame& f : DacFrames())
            if (f.channel == channel) codes.push_back(f.code);
        return codes;
    }
};

constexpr uint8_t HV = 0x18;
constexpr uint8_t UA = 0x19;

TEST_F(SetpointTest, EntriesAreClampedCappedAndWritten) {
    const struct {
        LimitSet set;
        const char* kvText;
        const char* uaText;
        const char* kvEdit;
        const char* uaEdit;
        double appliedKv, appliedUa;
        double kvDacVolts, uaDacVolts;
        bool rewritten;
    } cases[] = {
        {LimitSet::Kv40W4, "40", "100", "40", "99", 40, 3950.0 / 40 + 1e-9, 4.0, 1.98, true},
        {LimitSet::Kv50W4, "50", "79", "50", "79", 50, 79 + 1e-9, 4.0, 1.58, true},
        {LimitSet::Kv70W10, "30", "200", "35", "143", 34.999999, 143, 1.75, 2.86, true},
        {LimitSet::Kv40W4, "abc", "15", "10", "15", 9.999999, 15, 1.0, 0.3, true},
        {LimitSet::Kv40W4, "nan", "NaN", "10", "5", 9.999999, 4.999999, 1.0, 0.1, true},
        {LimitSet::Kv40W4, "inf", "15", "40", "15", 40, 15, 4.0, 0.3, true},
        {LimitSet::Kv40W4, "10", "1e400", "10", "200", 10, 200, 1.0, 4.0, true},
        {LimitSet::Kv40W4, "-5", "-inf", "10", "5", 9.999999, 4.999999, 1.0, 0.1, true},
        {LimitSet::Kv40W4, "  12abc", "15", "12", "15", 12, 15, 1.2, 0.3, false},
    };
    ConnectReady();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kvText << " / " << c.uaText);
        Dlg().ApplyLimitSet(c.set);
        Dlg().m_newGeneration = false;
        SetEdits(c.kvText, c.uaText);
        ClearCalls();
        Apply();
        EXPECT_EQ(Text(IDC_KV_EDIT), c.kvEdit);
        EXPECT_EQ(Text(IDC_UA_EDIT), c.uaEdit);
        EXPECT_DOUBLE_EQ(Dlg().m_appliedKv, c.appliedKv);
        EXPECT_DOUBLE_EQ(Dlg().m_appliedUa, c.appliedUa);
        EXPECT_DOUBLE_EQ(Dlg().m_kvDacVolts, c.kvDacVolts);
        EXPECT_DOUBLE_EQ(Dlg().m_uaDacVolts, c.uaDacVolts);
        EXPECT_NEAR(ravlen_sim_dac_volts(0), c.kvDacVolts, 0.0015);
        EXPECT_NEAR(ravlen_sim_dac_volts(1), c.uaDacVolts, 0.0015);
        ASSERT_GE(Pauses().size(), 2u);
        EXPECT_EQ(Pauses()[1] == 200, c.rewritten);
    }
}

TEST_F(SetpointTest, StagedOrderPressedTwiceRewritesWithoutNewCap) {
    ConnectReady();
    ASSERT_TRUE(Dlg().m_newGeneration);
    SetEdits("40", "100");
    Force(40, 99);
    Apply();
    EXPECT_EQ(Text(IDC_UA_EDIT), "99");
    EXPECT_DOUBLE_EQ(Dlg().m_appliedUa, 3950.0 / 40 + 1e-9);

    ClearCalls();
    Apply();
    // Neither value is new, so 40 x 99 = 3960 mW passes uncapped.
    EXPECT_DOUBLE_EQ(Dlg().m_appliedUa, 99);
    EXPECT_EQ(Channels(), (std::vector<uint8_t>{HV, UA}));
    EXPECT_EQ(Pauses(), (std::vector<unsigned>{20, 500, 20, 250, 500, 20, 500}));
    EXPECT_EQ(Text(IDC_STATUS), "Ravlen Ready");
    EXPECT_TRUE(Dlg().IsTimerRunning(1));
    EXPECT_TRUE(Enabled(IDC_HV_OFF));
    EXPECT_TRUE(Enabled(IDC_HV_ON));
    EXPECT_TRUE(Enabled(IDC_SET_HV_AND_UA));

    Dlg().OnStopMonitor();
    Apply();
    EXPECT_FALSE(Dlg().IsTimerRunning(1));
}

TEST_F(SetpointTest, StagedRiseUnderHighCurrentWritesTheCurrentFirst) {
    ConnectReady();
    SetEdits("20", "150");
    Force(20, 150);
    Apply();
    ASSERT_EQ(Dlg().m_uaSetpoint, 150);

    SetEdits("40", "150");
    Force(40, 99);
    ClearCalls();
    Apply();
    EXPECT_EQ(Text(IDC_KV_EDIT), "40");
    EXPECT_EQ(Text(IDC_UA_EDIT), "99");
    EXPECT_EQ(Channels(), (std::vector<uint8_t>{UA, HV, UA}));
    EXPECT_EQ(Codes(HV), (std::vector<int>{4000}));
    for (int code : Codes(UA)) EXPECT_NEAR(code, 1980, 1);
    EXPECT_EQ(Pauses(), (std::vector<unsigned>{20, 200, 250, 500, 20, 500, 20, 250, 500, 20, 500}));
}

TEST_F(SetpointTest, SimpleOrderCorrectsOnceByTheMeasuredError) {
    const struct {
        int32_t priorKvSetpoint;
        double readingKv;
        std::vector<uint8_t> channels;
        std::vector<int> hvCodes;
        std::vector<unsigned> pauses;
    } cases[] = {
        // Rising: the current goes first; 29.5 kV measured for 30 gives 30.5 kV, 2.44 V.
        {0, 29.5, {UA, HV, HV, UA}, {2400, 2440}, {20, 1000, 1000, 20, 20, 20}},
        // Falling: the voltage goes first.
        {45, 29.5, {HV, UA, HV, UA}, {2400, 2440}, {20, 1000, 1000, 20, 20, 20}},
        // Still ramping: inside the wide window, outside the narrow one; no voltage correction.
        {0, 27.0, {UA, HV, UA}, {2400}, {20, 1000, 1000, 20, 20}},
    };
    ConnectReady();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.priorKvSetpoint << " -> 30 kV reading " << c.readingKv);
        Dlg().ApplyLimitSet(LimitSet::Kv50W4);
        Dlg().m_newGeneration = false;
        Dlg().m_kvSetpoint = c.priorKvSetpoint;
        SetEdits("30", "15");
        Force(c.readingKv, 15);
        ClearCalls();
        Apply();
        EXPECT_EQ(Channels(), c.channels);
        EXPECT_EQ(Codes(HV), c.hvCodes);
        EXPECT_EQ(Pauses(), c.pauses);
        EXPECT_EQ(Dlg().m_kvSetpoint, 30);
        EXPECT_EQ(Text(IDC_KV_EDIT), "30");
        EXPECT_EQ(Dlg().m_trimWrite, 0.0);
    }
    EXPECT_NEAR(ravlen_sim_dac_volts(0), 2.40, 1e-9);
}

TEST_F(SetpointTest, LongestApplicationStaysWithinThePauseBudget) {
    const struct {
        const char* order;
        bool newGeneration;
        unsigned budgetMs;
    } cases[] = {
        // 20 + 200 rewrite + 250 + three settle waits of 15 x 520 + 250 + 500.
        {"staged", true, 24620},
        // 20 + 200 rewrite + 1000 + 1000 + 20 reading + two corrections of 20.
        {"simple", false, 2280},
    };
    ConnectReady();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order);
        Dlg().ApplyLimitSet(LimitSet::Kv40W4);
        Dlg().m_newGeneration = c.newGeneration;
        // A current that 40 kV would turn into too much power, and (staged) outputs that
        // never settle, or (simple) outputs close enough to be corrected.
        Dlg().m_kvSetpoint = 20;
        Dlg().m_uaSetpoint = 150;
        SetEdits("40", "150");
        if (c.newGeneration) {
            Force(0, 0);
        } else {
            Force(40, 99);
        }
        ClearCalls();
        const uint64_t start = clock.NowUs();
        Apply();
        const uint64_t elapsedMs = (clock.NowUs() - start) / 1000;
        EXPECT_EQ(PauseTotal(), c.budgetMs);
        EXPECT_EQ(elapsedMs, c.budgetMs);
        std::cout << c.order << " order: " << elapsedMs << " ms of virtual time, budget " << c.budgetMs << " ms\n";
    }
}

}  // namespace
