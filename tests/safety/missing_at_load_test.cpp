// A driver library without one of its fifteen entry points (the process meets the build of
// the simulator named by RAVLEN_MISSING_ENTRY): the first missing name is logged, the resolved
// before it are resolved, none after it, and the dialog ends before the operator can use it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "app/tube_control_dlg.h"
#include "platform/clock.h"
#include "tests/support/test_common.h"

namespace {

// In the order the program resolves them.
const char* const kNames[] = {"FT_Write", "FT_Read", "FT_Open", "FT_OpenEx", "FT_ListDevices",
                              "FT_Close", "FT_ResetDevice", "FT_Purge", "FT_SetTimeouts",
                              "FT_GetQueueStatus", "FT_SetBitMode", "FT_SetLatencyTimer",
                              "FT_GetLatencyTimer", "FT_EE_Program", "FT_EE_Read"};

std::vector<const void*> Slots(const D2xxBinding& b) {
    return {reinterpret_cast<const void*>(b.FT_Write), reinterpret_cast<const void*>(b.FT_Read),
            reinterpret_cast<const void*>(b.FT_Open), reinterpret_cast<const void*>(b.FT_OpenEx),
            reinterpret_cast<const void*>(b.FT_ListDevices), reinterpret_cast<const void*>(b.FT_Close),
            reinterpret_cast<const void*>(b.FT_ResetDevice), reinterpret_cast<const void*>(b.FT_Purge),
            reinterpret_cast<const void*>(b.FT_SetTimeouts), reinterpret_cast<const void*>(b.FT_GetQueueStatus),
            reinterpret_cast<const void*>(b.FT_SetBitMode), reinterpret_cast<const void*>(b.FT_SetLatencyTimer),
            reinterpret_cast<const void*>(b.FT_GetLatencyTimer), reinterpret_cast<const void*>(b.FT_EE_Program),
            reinterpret_cast<const void*>(b.FT_EE_Read)};
}

TEST(MissingAtLoad, TheMissingNameIsLoggedAndTheProgramEnds) {
    const char* missing = std::getenv("RAVLEN_MISSING_ENTRY");
    ASSERT_NE(missing, nullptr) << "run through ctest, which names the library build";
    const std::string name = missing;

    EnsureApplication();
    ScratchDirectory dir;
    platform::VirtualClock clock;
    platform::InstallClock(&clock);
    auto dlg = std::make_unique<CTubeControlDlg>();
    dlg->Create();

    const bool latency = name == "FT_SetLatencyTimer" || name == "FT_GetLatencyTimer";
    const std::string expected = "Error: Can't Find " + name + (latency ? ".  " : "");
    EXPECT_EQ(ReadLogMessages(), (std::vector<std::string>{"Ravlen Started", expected}));
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(dlg->Result(), platform::IDOK);

    const std::vector<const void*> resolved = Slots(dlg->m_d2xx);
    bool past = false;
    for (size_t i = 0; i < resolved.size(); ++i) {
        SCOPED_TRACE(kNames[i]);
        if (name == kNames[i]) past = true;
        EXPECT_EQ(resolved[i] == nullptr, past);
    }
    EXPECT_TRUE(past) << "unknown entry " << name;

    dlg->Destroy();
    dlg.reset();
    platform::InstallClock(nullptr);
}

}  // namespace
