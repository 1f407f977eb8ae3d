#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/control/control_fixture.h"

namespace {

TEST(Average7, StepMovesOneSeventhPerSampleAndRestartRefills) {
    double history[7] = {};
    EXPECT_DOUBLE_EQ(CTubeControlDlg::Average7(10.0, history, true), 10.0);
    for (double h : history) EXPECT_EQ(h, 10.0);
    for (int tick = 1; tick <= 8; ++tick) {
        const double expected = tick < 7 ? 10.0 + tick : 17.0;
        EXPECT_NEAR(CTubeControlDlg::Average7(17.0, history, false), expected, 1e-12) << "tick " << tick;
    }
    EXPECT_DOUBLE_EQ(history[0], 17.0);
    EXPECT_DOUBLE_EQ(CTubeControlDlg::Average7(3.0, history, true), 3.0);
    for (double h : history) EXPECT_EQ(h, 3.0);
}

TEST(InTolerance, StrictBandAroundTheReference) {
    const struct {
        double reference, value;
        bool wide, inside;
    } cases[] = {
        {30, 33.9, true, true},  {30, 26.1, true, true},  {30, 34.1, true, false}, {30, 25.9, true, false},
        {30, 30.5, false, true}, {30, 32.6, false, false}, {30, 32.4, false, true}, {30, 27.4, false, false},
        {1.1, 2.2, true, true},  {1.1, 2.3, true, false}, {1.1, 0.0, true, true},  {1.1, -0.02, true, false},
        // The bounds themselves are outside.
        {0, 1, true, false},     {0, -1, true, false},    {0, 0.99, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.reference << " " << c.value << (c.wide ? " wide" : " narrow"));
        EXPECT_EQ(CTubeControlDlg::InTolerance(c.reference, c.value, c.wide), c.inside);
    }
}

using MonitorTest = ControlTest;

TEST_F(MonitorTest, PowerReadoutBandsAndPowerTest) {
    // The tube counts as on with the readings as its setpoints, so only the power test can
    // raise the banner.
    const struct {
        double kv, ua;
        const char* power;
        QRgb colour;
        bool banner;
    } cases[] = {
        {20.0, 99.5, "2000", RGB(0, 255, 0), false},  // the half rounds up
        {40.0, 99.0, "3960", RGB(255, 255, 0), false},
        {40.0, 101.0, "4040", RGB(255, 0, 0), false},  // red, yet below the 4050 mW test
        {41.0, 100.0, "4100", RGB(255, 0, 0), true},
        {1.0, 9.0, "9", RGB(255, 255, 255), false},
        {1.0, 10.0, "10", RGB(0, 255, 0), false},
    };
    ConnectReady();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.power);
        Dlg().m_hvOn = true;
        Dlg().m_appliedKv = c.kv;
        Dlg().m_appliedUa = c.ua;
        Force(c.kv, c.ua);
        Tick();
        EXPECT_EQ(Text(IDC_POWER), c.power);
        EXPECT_EQ(Dlg().m_powerReadout.BackColor().rgb(), c.colour);
        EXPECT_EQ(Visible(IDC_OUT_OF_RANGE), c.banner);
    }
}

TEST_F(MonitorTest, DisplayAveragesSevenTicksAndRestartsAfterHvOff) {
    ConnectReady();
    Force(10.0, 20.0);
    Dlg().OnHvOff();
    Tick();
    EXPECT_EQ(Text(IDC_HV_MONITOR), "10.0kV");
    EXPECT_EQ(Text(IDC_UA_MONITOR), "20.0uA");
    Force(17.0, 27.0);
    std::vector<std::string> kv, ua;
    for (int i = 0; i < 8; ++i) {
        Tick();
        kv.push_back(Text(IDC_HV_MONITOR));
        ua.push_back(Text(IDC_UA_MONITOR));
    }
    EXPECT_EQ(kv, (std::vector<std::string>{"11.0kV", "12.0kV", "13.0kV", "14.0kV", "15.0kV", "16.0kV", "17.0kV",
                                           "17.0kV"}));
    EXPECT_EQ(ua, (std::vector<std::string>{"21.0uA", "22.0uA", "23.0uA", "24.0uA", "25.0uA", "26.0uA", "27.0uA",
                                           "27.0uA"}));
    Force(3.0, 4.0);
    Dlg().OnHvOff();
    Tick();
    EXPECT_EQ(Text(IDC_HV_MONITOR), "3.0kV");
    EXPECT_EQ(Text(IDC_UA_MONITOR), "4.0uA");
}

TEST_F(MonitorTest, BannerFollowsTheThirtyKilovoltWindowWhileOn) {
    ConnectReady();
    Dlg().m_hvOn = true;
    Dlg().m_appliedKv = 30;
    Dlg().m_appliedUa = 100;
    for (const auto& [kv, banner] : {std::pair{33.9, false}, {26.1, false}, {34.1, true}, {25.9, true}}) {
        SCOPED_TRACE(kv);
        Force(kv, 100);
        Tick();
        EXPECT_EQ(Visible(IDC_OUT_OF_RANGE), banner);
    }
}

TEST_F(MonitorTest, ResidualVoltageAfterHvOffWarnsOnlyFromTheEighthTick) {
    ConnectReady();
    for (const auto& [kv, warnsLater] : {std::pair{2.2, false}, {2.3, true}}) {
        SCOPED_TRACE(kv);
        Force(kv, 0);
        Dlg().OnHvOff();
        std::vector<bool> shown;
        for (int i = 0; i < 9; ++i) {
            Tick();
            shown.push_back(Visible(IDC_OUT_OF_RANGE));
        }
        const std::vector<bool> expected = {false, false, false, false, false, false, false, warnsLater, warnsLater};
        EXPECT_EQ(shown, expected);
    }
}

TEST_F(MonitorTest, ClosedInterlockAtConnectionReleasesButtonsOnTheFourthTick) {
    PressStart();
    for (int tick = 1; tick <= 5; ++tick) {
        SCOPED_TRACE(tick);
        Tick();
        const bool ready = tick >= 4;
        EXPECT_EQ(Enabled(IDC_HV_ON), ready);
        EXPECT_EQ(Enabled(IDC_HV_OFF), ready);
        EXPECT_FALSE(Enabled(IDC_SET_HV_AND_UA));
        EXPECT_EQ(Visible(IDC_INTERLOCK_RESTORED_TEXT), !ready);
        EXPECT_EQ(Visible(IDC_INTERLOCK_RESTORED_ICON), !ready);
        EXPECT_FALSE(Visible(IDC_INTERLOCK_OPEN_TEXT));
    }
    EXPECT_EQ(Text(IDC_PORT_TEXT).substr(0, 6), "Port0:");
    EXPECT_EQ(Text(IDC_PORT_TEXT).substr(15), "Port1:00000111");
}

TEST_F(MonitorTest, InterlockOpeningWhileOnSwitchesOffInThatTick) {
    StartHv();
    ASSERT_TRUE(Dlg().m_hvOn);
    ravlen_sim_set_interlock(0, 0);
    Tick();
    EXPECT_FALSE(Dlg().m_hvOn);
    EXPECT_EQ(ravlen_sim_low_lines() & 0x60, 0);
    EXPECT_FALSE(Dlg().IsFlashing());
    EXPECT_TRUE(Visible(IDC_INTERLOCK_OPEN_TEXT));
    EXPECT_TRUE(Visible(IDC_INTERLOCK_OPEN_ICON));
    EXPECT_FALSE(Visible(IDC_INTERLOCK_RESTORED_TEXT));
    for (int id : {IDC_HV_ON, IDC_HV_OFF, IDC_SET_HV_AND_UA}) EXPECT_FALSE(Enabled(id)) << id;
    Tick(2);
    EXPECT_FALSE(Enabled(IDC_HV_ON));

    ravlen_sim_set_interlock(0, 1);
    for (int tick = 1; tick <= 4; ++tick) {
        SCOPED_TRACE(tick);
        Tick();
        EXPECT_EQ(Visible(IDC_INTERLOCK_RESTORED_TEXT), tick < 4);
        EXPECT_FALSE(Visible(IDC_INTERLOCK_OPEN_TEXT));
        EXPECT_EQ(Enabled(IDC_HV_ON), tick == 4);
    }
}

TEST_F(MonitorTest, XrayOnBlinksEveryTickAndHidesAfterHvOff) {
    StartHv();
    std::vector<bool> icon;
    for (int i = 0; i < 4; ++i) {
        Tick();
        icon.push_back(Visible(IDC_XRAY_ICON));
        EXPECT_TRUE(Visible(IDC_XRAY_TEXT));
    }
    EXPECT_EQ(icon[0], !icon[1]);
    EXPECT_EQ(icon[1], !icon[2]);
    EXPECT_EQ(icon[2], !icon[3]);
    if (!icon.back()) Tick();  // leave the icon showing, so HV OFF has something to hide
    ASSERT_TRUE(Visible(IDC_XRAY_ICON));
    Dlg().ClickControl(IDC_HV_OFF);
    Tick();
    EXPECT_FALSE(Visible(IDC_XRAY_ICON));
    EXPECT_FALSE(Visible(IDC_XRAY_TEXT));
}

TEST_F(MonitorTest, HvTileFollowsTheHighVoltage) {
    StartHv();
    Tick();
    EXPECT_TRUE(Enabled(IDC_HV_ENABLED));
    EXPECT_EQ(Dlg().m_hvEnabledIndicator.BackColor(), activeTileBack);
    EXPECT_EQ(Dlg().m_hvEnabledIndicator.TextColor(), activeTileText);
    Dlg().ClickControl(IDC_HV_OFF);
    Tick();
    EXPECT_FALSE(Enabled(IDC_HV_ENABLED));
    EXPECT_EQ(Dlg().m_hvEnabledIndicator.BackColor(), idleTileBack);
    EXPECT_EQ(Dlg().m_hvEnabledIndicator.TextColor(), idleTileText);
}

TEST_F(MonitorTest, TickOfAnotherTimerChangesNothing) {
    ConnectReady();
    Force(25.0, 50.0);
    const int ids[] = {IDC_HV_MONITOR, IDC_UA_MONITOR, IDC_POWER, IDC_PORT_TEXT, IDC_TEMPERATURE};
    std::vector<std::string> before;
    for (int id : ids) before.push_back(Text(id));
    const int32_t settle = Dlg().m_settleTicks;
    const bool restart = averageRestart;
    const double measuredKv = Dlg().m_measuredKv;
    ClearCalls();
    Dlg().OnTimer(2);
    EXPECT_TRUE(Calls().empty());
    std::vector<std::string> after;
    for (int id : ids) after.push_back(Text(id));
    EXPECT_EQ(after, before);
    EXPECT_EQ(Dlg().m_settleTicks, settle);
    EXPECT_EQ(averageRestart, restart);
    EXPECT_EQ(Dlg().m_measuredKv, measuredKv);
}

}  // namespace
