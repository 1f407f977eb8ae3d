// The program on a machine without any driver library.
#include <gtest/gtest.h>

#include <memory>

#include "app/tube_control_dlg.h"
#include "platform/clock.h"
#include "tests/support/test_common.h"

namespace {

class NoDriver : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        dir = std::make_unique<ScratchDirectory>();
        platform::InstallClock(&clock);
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& r) {
            boxes.push_back({r, clock.Pauses().size()});
            return platform::IDOK;
        });
        dlg = std::make_unique<CTubeControlDlg>();
        dlg->Create();
    }
    void TearDown() override {
        dlg->Destroy();
        dlg.reset();
        platform::SetMessageBoxResponder(nullptr);
        platform::InstallClock(nullptr);
    }

    struct Box {
        platform::MessageBoxRequest request;
        size_t pausesBefore;
    };
    platform::VirtualClock clock;
    std::vector<Box> boxes;
    std::unique_ptr<ScratchDirectory> dir;
    std::unique_ptr<CTubeControlDlg> dlg;
};

}  // namespace

TEST_F(NoDriver, DialogStaysOpenWithTheDriverMessage) {
    EXPECT_EQ(dlg->GetDlgItemText(IDC_STATUS), "Drivers not loaded, please install Ravlen drivers.");
    EXPECT_EQ(driversLoaded, 0);
    EXPECT_FALSE(dlg->IsEnded());
    // The initialisation stopped before it disabled these: they keep the template's state.
    for (int id : {IDC_SET_HV_AND_UA, IDC_HV_OFF, IDC_HV_ON})
        EXPECT_TRUE(dlg->IsControlEnabled(id)) << id;
    EXPECT_EQ(ReadLogMessages(), std::vector<std::string>{"Ravlen Started"});
}

TEST_F(NoDriver, StartAsksForTheDriverOncePerPass) {
    dlg->ClickControl(IDC_START);
    ASSERT_EQ(boxes.size(), 2u);
    for (const Box& b : boxes) {
        EXPECT_EQ(b.request.text, "No drivers loaded!  Please install Ravlen drivers.");
        EXPECT_EQ(b.request.type, platform::MB_OK);
    }
    // The boxes are separated by the connecting text and the two-second pause.
    EXPECT_EQ(boxes[0].pausesBefore, 0u);
    EXPECT_EQ(clock.Pauses(), std::vector<unsigned>{2000});
    EXPECT_EQ(boxes[1].pausesBefore, 1u);
    EXPECT_FALSE(dlg->IsEnded());
    EXPECT_EQ(ReadLogMessages(), std::vector<std::string>{"Ravlen Started"});
}

TEST_F(NoDriver, HvOnDoesNothingWithoutASeenInterlock) {
    dlg->ClickControl(IDC_HV_ON);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(dlg->m_hvOn);
    EXPECT_FALSE(dlg->IsEnded());
}

TEST_F(NoDriver, HvOffReachesAnUnresolvedWriteAndEndsTheProgram) {
    dlg->ClickControl(IDC_HV_OFF);
    EXPECT_TRUE(dlg->IsEnded());
    const std::vector<std::string> log = ReadLogMessages();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "Ravlen Started");
    EXPECT_EQ(log[1], "FT_Write is not valid!");
    EXPECT_EQ(log.back(), "Error setting high voltage enables. [HVOFF]");
    EXPECT_FALSE(dlg->m_hvOn);
}
