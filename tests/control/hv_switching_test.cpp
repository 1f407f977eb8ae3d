#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/mpsse_engine.h"
#include "tests/control/control_fixture.h"

namespace {

class HvTest : public ControlTest {
protected:
    // A new dialog on a new default board, for tables whose rows each need their own run.
    void Restart() {
        TearDown();
        boxes.clear();
        answers.clear();
        whileBoxOpen = nullptr;
        SetUp();
    }
};

const std::string kQuestion = "Turn X-RAY High Voltage ON?";

TEST_F(HvTest, OpenInterlockMakesHvOnDoNothing) {
    ravlen_sim_set_interlock(0, 0);
    PressStart();
    Tick(4);
    ClearCalls();
    Dlg().m_settleTicks = 5;
    Dlg().OnHvOn();
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(Writes().empty());
    EXPECT_FALSE(Dlg().m_hvOn);
    EXPECT_EQ(Dlg().m_settleTicks, 0);
    EXPECT_TRUE(Visible(IDC_INTERLOCK_OPEN_TEXT));
}

TEST_F(HvTest, AnsweringNoLeavesEverythingAsItWas) {
    ConnectReady();
    const uint8_t shadow = g_lowByteShadow;
    answers.push_back(platform::IDNO);
    ClearCalls();
    Dlg().OnHvOn();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kQuestion);
    EXPECT_EQ(boxes[0].caption, platform::ApplicationTitle());
    EXPECT_EQ(boxes[0].type, 0x40024u);
    EXPECT_TRUE(Writes().empty());
    EXPECT_FALSE(Dlg().m_hvOn);
    EXPECT_EQ(g_lowByteShadow, shadow);
    EXPECT_FALSE(Dlg().IsFlashing());
    EXPECT_TRUE(Enabled(IDC_HV_ON));
    EXPECT_TRUE(Enabled(IDC_HV_OFF));
    EXPECT_FALSE(Enabled(IDC_SET_HV_AND_UA));
}

TEST_F(HvTest, HvOnRaisesBothEnablesThenAppliesTheSetpoints) {
    ConnectReady();
    const uint8_t shadow = g_lowByteShadow;
    ASSERT_EQ(shadow & 0x60, 0);
    ClearCalls();
    Dlg().OnHvOn();
    const auto writes = Writes();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes[0], (std::vector<uint8_t>{0x80, static_cast<uint8_t>(shadow | 0x60), 0x7B}));
    EXPECT_TRUE(Dlg().m_hvOn);
    EXPECT_TRUE(ravlen_sim_supply_enabled());
    EXPECT_TRUE(Dlg().IsFlashing());
    EXPECT_EQ(Dlg().m_flashInfo, 7u);
    EXPECT_FALSE(DacFrames().empty());  // the edits went out through the setpoint application
    EXPECT_FALSE(Enabled(IDC_HV_ON));
    EXPECT_TRUE(Enabled(IDC_HV_OFF));
    EXPECT_TRUE(Enabled(IDC_SET_HV_AND_UA));
    EXPECT_EQ(g_lowByteShadow & 0x60, 0x60);
}

TEST_F(HvTest, HvOffDropsEnablesFirstZeroesBothConvertersThenClosesTheLines) {
    const struct {
        const char* serial;
        std::vector<unsigned> pauses;
    } cases[] = {
        {"00012345", {200, 100, 500}},
        {"00009999", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.serial);
        Restart();
        ravlen_sim_set_controller(0, nullptr, c.serial);
        StartHv();
        ASSERT_TRUE(Dlg().m_hvOn);
        // A monitor read leaves the clock low; the converter writes then raise it in the
        // shadow, which the closing command must not pick up.
        Dlg().ReadHvAdc();
        const uint8_t prepared = g_lowByteShadow & 0x9F;
        ASSERT_EQ(prepared & 0x01, 0);
        ClearCalls();
        Dlg().OnHvOff();
        const auto writes = Writes();
        ASSERT_EQ(writes.size(), 3u);
        EXPECT_EQ(writes[0][0], 0x80);
        EXPECT_EQ(writes[0][1] & 0x60, 0);
        EXPECT_EQ(std::vector<uint8_t>(writes[0].begin() + 6, writes[0].begin() + 9),
                  (std::vector<uint8_t>{0x18, 0x00, 0x00}));
        EXPECT_EQ(std::vector<uint8_t>(writes[1].begin() + 6, writes[1].begin() + 9),
                  (std::vector<uint8_t>{0x19, 0x00, 0x00}));
        EXPECT_EQ(writes[2], (std::vector<uint8_t>{0x80, prepared, 0x7B}));
        EXPECT_EQ(Pauses(), c.pauses);
        EXPECT_FALSE(Dlg().m_hvOn);
        EXPECT_FALSE(ravlen_sim_supply_enabled());
        EXPECT_EQ(Dlg().m_kvSetpoint, 0);
        EXPECT_EQ(Dlg().m_uaSetpoint, 0);
        EXPECT_TRUE(Enabled(IDC_HV_ON));
        EXPECT_TRUE(Enabled(IDC_HV_OFF));
        EXPECT_FALSE(Enabled(IDC_SET_HV_AND_UA));
        EXPECT_FALSE(Dlg().IsFlashing());
        EXPECT_EQ(Dlg().m_flashInfo, 0u);
        EXPECT_TRUE(Dlg().IsTimerRunning(1));
    }
}

TEST_F(HvTest, HvOffLeavesAStoppedMonitorStopped) {
    ConnectReady();
    Dlg().OnStopMonitor();
    Dlg().OnHvOff();
    EXPECT_FALSE(Dlg().IsTimerRunning(1));
    Dlg().OnStartMonitor();
    Dlg().OnHvOff();
    EXPECT_TRUE(Dlg().IsTimerRunning(1));
}

TEST_F(HvTest, InterlockOpeningWhileTheQuestionIsOpenKeepsHvOff) {
    const struct {
        const char* name;
        bool pollRuns;  // a tick sees the interlock open, else only the interlock state changes
    } cases[] = {
        {"the poll answers No", true},
        {"answered Yes after the interlock was seen open", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        ConnectReady();
        whileBoxOpen = [this, &c](const platform::MessageBoxRequest&) {
            if (c.pollRuns) {
                ravlen_sim_set_interlock(0, 0);
                Tick();
            } else {
                lastInterlockClosed = false;
            }
        };
        ClearCalls();
        Dlg().OnHvOn();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_FALSE(Dlg().m_hvOn);
        EXPECT_FALSE(ravlen_sim_supply_enabled());
        EXPECT_FALSE(Dlg().IsFlashing());
        // Nothing but the zeroes of the poll's own HV OFF reaches the converters.
        EXPECT_EQ(DacFrames().size(), c.pollRuns ? 2u : 0u);
        if (c.pollRuns) {
            for (int id : {IDC_HV_ON, IDC_HV_OFF, IDC_SET_HV_AND_UA}) EXPECT_FALSE(Enabled(id)) << id;
        }
    }
}

TEST_F(HvTest, EnableLineFailuresEndTheProgram) {
    const struct {
        const char* name;
        bool switchOn;        // the failure hits HV ON's write, else HV OFF's
        bool missingEntry;    // the FT_Write entry point is gone, else the write fails
        const char* message;  // the last record of the log
    } cases[] = {
        {"on, failed write", true, false, "Error setting high voltage enables. [HVON]"},
        {"off, failed write", false, false, "Error setting high voltage enables. [HVOFF]"},
        {"on, missing entry", true, true, "Error setting high voltage enables. [HVON]"},
        {"off, missing entry", false, true, "Error setting high voltage enables. [HVOFF]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        ConnectReady();
        if (!c.switchOn) Dlg().OnHvOn();
        if (c.missingEntry) {
            Dlg().m_d2xx.FT_Write = nullptr;
        } else {
            // HV ON writes the enables first; HV OFF writes both converters before them.
            ravlen_sim_fail_call("FT_Write", c.switchOn ? 1 : 3, FT_IO_ERROR);
        }
        if (c.switchOn) {
            Dlg().OnHvOn();
        } else {
            Dlg().OnHvOff();
        }
        const auto log = LogMessages();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), c.message);
        if (c.missingEntry) {
            EXPECT_NE(std::find(log.begin(), log.end(), "FT_Write is not valid!"), log.end());
        }
        EXPECT_TRUE(Dlg().IsEnded());
        EXPECT_TRUE(Dlg().m_shutdownStarted);
        if (!c.missingEntry) {
            EXPECT_FALSE(ravlen_sim_supply_enabled());
            EXPECT_EQ(std::count(log.begin(), log.end(), c.message), 1);
        }
        if (!c.switchOn) {
            EXPECT_FALSE(Dlg().m_deviceOpen);
        }
    }
}

}  // namespace

