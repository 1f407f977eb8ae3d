// The board and the driver answering garbage: random converter, sensor and port answers, and
// listings of 0 to 1000 entries with arbitrary description and serial images. The program
// must stay inside its buffers (the sanitizer build checks that), keep running, and still
// show what its rules derive from the bytes it got.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/safety/rig.h"

namespace safety {
namespace {

struct Seen {
    bool none = false, single = false, several = false, huge = false;
};

// The serial-number text and value follow from the first eight characters of the image the
// listing returned, read no further than its 64 bytes.
void CheckSerialRule(CTubeControlDlg& dlg, const std::vector<Call>& calls) {
    for (const Call& c : calls) {
        if (c.entry != "FT_ListDevices" || c.status != FT_OK) continue;
        if ((c.arg[2] & FT_LIST_BY_INDEX) == 0 || (c.arg[2] & FT_OPEN_BY_SERIAL_NUMBER) == 0) continue;
        ASSERT_EQ(c.data.size(), 64u);
        const char* image = reinterpret_cast<const char*>(c.data.data());
        const size_t length = strnlen(image, 64);
        const std::string prefix(image, length < 8 ? length : 8);
        EXPECT_EQ(dlg.GetDlgItemText(IDC_SERIAL_TEXT), "Ravlen Serial Number " + prefix);
        EXPECT_EQ(dlg.m_serialNumber, static_cast<int32_t>(std::strtol(prefix.c_str(), nullptr, 10)));
        EXPECT_EQ(dlg.m_newGeneration, dlg.m_serialNumber >= 10000);
    }
}

// Readings decoded from any answer stay within what 13 answer bits can mean.
void CheckReadings(CTubeControlDlg& dlg) {
    const double fullKv = 2 * 4.096 * dlg.m_kvPerVolt;
    const double fullUa = 2 * 4.096 * dlg.m_uaPerVolt;
    EXPECT_GE(dlg.m_measuredKv, 0.0);
    EXPECT_LE(dlg.m_measuredKv, fullKv);
    EXPECT_GE(dlg.m_measuredUa, 0.0);
    EXPECT_LE(dlg.m_measuredUa, fullUa);
    const double shown = std::strtod(dlg.GetDlgItemText(IDC_TEMPERATURE).c_str(), nullptr);
    EXPECT_GE(shown, -128.0);
    EXPECT_LE(shown, 128.0);
}

TEST(HostileDevice, RandomListingsAndAnswersFollowTheRules) {
    Seen seen;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("chaos seed " + std::to_string(seed));
        Rig rig("00012345");
        ravlen_sim_set_chaos(seed, RAVLEN_SIM_CHAOS_READS | RAVLEN_SIM_CHAOS_LISTING);
        const unsigned listed = ravlen_sim_listing_count();
        seen.none |= listed == 0;
        seen.single |= listed == 1;
        seen.several |= listed >= 2;
        seen.huge |= listed >= 900;

        rig.Do({Step::Start});
        CTubeControlDlg& dlg = rig.Dlg();
        if (listed == 0) EXPECT_EQ(dlg.GetDlgItemText(IDC_STATUS), "No devices attached");
        if (listed == 1) EXPECT_EQ(dlg.GetDlgItemText(IDC_STATUS), "Port CLOSED");
        CheckSerialRule(dlg, RecordedCalls());
        if (HasFatalFailure()) return;

        rig.Do({Step::Ready});
        rig.Do({Step::HvOn});
        rig.Do({Step::Ticks, 5});
        if (dlg.m_engineEnabled && !rig.Ended()) CheckReadings(dlg);
        rig.Do({Step::Exit});
        rig.Finish();
        // Whatever the answers were, the end leaves the supply off.
        EXPECT_EQ(ravlen_sim_supply_enabled(), 0);
    }
    EXPECT_TRUE(seen.none && seen.single && seen.several && seen.huge)
        << "the seeds must cover empty, single, several and huge listings";
}

// A listing whose images use all 64 bytes: nothing past them is read, and the shown texts
// are cut where the rules cut them.
TEST(HostileDevice, UnterminatedImagesAreCutAtTheirBuffer) {
    unsigned char desc[2][64], serial[2][64];
    std::memset(desc, 0xE9, sizeof desc);  // non-ASCII, no terminator anywhere
    std::memset(serial, '7', sizeof serial);
    Rig rig("00012345");
    ravlen_sim_set_raw_listing(2, desc, serial);
    rig.Do({Step::Start});
    CTubeControlDlg& dlg = rig.Dlg();
    EXPECT_EQ(dlg.GetDlgItemText(IDC_SERIAL_TEXT), "Ravlen Serial Number 77777777");
    EXPECT_EQ(dlg.m_serialNumber, 77777777);
    // The open went by the full 64-character description, which names the first interface.
    EXPECT_TRUE(dlg.m_deviceOpen);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATUS).substr(0, 62), std::string(62, '\xE9'));
}

}  // namespace
}  // namespace safety
