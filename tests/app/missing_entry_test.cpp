// Driver libraries that lack entry points: the first missing name is logged and the
// program ends before the operator can use it.
#include <gtest/gtest.h>

#include <memory>

#include "app/tube_control_dlg.h"
#include "platform/clock.h"
#include "tests/support/test_common.h"

namespace {

class MissingEntry : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        dir = std::make_unique<ScratchDirectory>();
        platform::InstallClock(&clock);
        dlg = std::make_unique<CTubeControlDlg>();
        dlg->Create();
    }
    void TearDown() override {
        dlg->Destroy();
        dlg.reset();
        platform::InstallClock(nullptr);
    }
    platform::VirtualClock clock;
    std::unique_ptr<ScratchDirectory> dir;
    std::unique_ptr<CTubeControlDlg> dlg;
};

}  // namespace

TEST_F(MissingEntry, FirstMissingNameEndsTheProgram) {
    const D2xxBinding& b = dlg->m_d2xx;
#if defined(VARIANT_NO_EE_READ)
    const char* expected = "Error: Can't Find FT_EE_Read";
    EXPECT_NE(b.FT_EE_Program, nullptr);
    EXPECT_NE(b.FT_SetBitMode, nullptr);
    EXPECT_EQ(b.FT_EE_Read, nullptr);
#else
    const char* expected = "Error: Can't Find FT_Purge";
    EXPECT_NE(b.FT_ResetDevice, nullptr);
    EXPECT_EQ(b.FT_Purge, nullptr);
    // Resolution stopped there: the slots after it stay empty.
    EXPECT_EQ(b.FT_SetTimeouts, nullptr);
    EXPECT_EQ(b.FT_SetBitMode, nullptr);
    EXPECT_EQ(b.FT_EE_Read, nullptr);
#endif
    EXPECT_NE(b.FT_Write, nullptr);
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(dlg->Result(), platform::IDOK);
    EXPECT_EQ(ReadLogMessages(), (std::vector<std::string>{"Ravlen Started", expected}));
}
