#include <QLabel>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>

#include "tests/support/dialog_fixture.h"
#include "ui/about_dlg.h"
#include "ui/file_version_info.h"
#include "platform/version_resource.h"

namespace {

struct Shown {
    std::string description, version, copyright, date, time, versionLabel, caption;
};

// Opens the About box through the window menu and records what it shows.
class AboutBox : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        platform::SetModalDialogHook([this](platform::DialogWindow& box) {
            shown.push_back({box.GetDlgItemText(1084), box.GetDlgItemText(1089), box.GetDlgItemText(1085),
                             box.GetDlgItemText(1086), box.GetDlgItemText(1087), box.GetDlgItemText(1088),
                             box.windowTitle().toStdString()});
            box.EndDialog(platform::IDOK);
        });
    }
    void TearDown() override {
        platform::SetModalDialogHook(nullptr);
        DialogTest::TearDown();
    }
    std::vector<Shown> shown;
};

}  // namespace

TEST_F(AboutBox, WindowMenuCommandsOpenItByTheirHighBits) {
    struct {
        unsigned command;
        bool opens;
    } cases[] = {{16, true}, {17, true}, {31, true}, {32, false}, {15, false}, {platform::SC_MINIMIZE, false}};
    for (const auto& c : cases) {
        const size_t before = shown.size();
        Dlg().SendSysCommand(c.command);
        EXPECT_EQ(shown.size() - before, c.opens ? 1u : 0u) << c.command;
    }
    EXPECT_FALSE(Dlg().IsEnded());
}

TEST_F(AboutBox, ShowsTheVersionBlockAndTheBuildStamp) {
    Dlg().SendSysCommand(IDM_ABOUTBOX);
    Dlg().SendSysCommand(IDM_ABOUTBOX);
    ASSERT_EQ(shown.size(), 2u);
    const Shown& s = shown[0];
    EXPECT_EQ(s.caption, "About Corvane Ravlen");
    EXPECT_EQ(s.versionLabel, "Version ");
    EXPECT_TRUE(std::regex_match(s.date, std::regex("[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}"))) << s.date;
    EXPECT_TRUE(std::regex_match(s.time, std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]"))) << s.time;
#if defined(ABOUT_BLOCK_NONE)
    EXPECT_EQ(s.description, "");
    EXPECT_EQ(s.version, "");
    EXPECT_EQ(s.copyright, "");
#else
    EXPECT_EQ(s.description, "Ravlen Controller Application");
    EXPECT_EQ(s.version, "1, 0, 0, 10");
#if defined(ABOUT_BLOCK_NO_COPYRIGHT)
    EXPECT_EQ(s.copyright, "");
#else
    EXPECT_EQ(s.copyright, "Copyright (C) 2015 Corvane");
#endif
#endif
    // Each opening reads the file again and shows the same.
    EXPECT_EQ(shown[1].description, s.description);
    EXPECT_EQ(shown[1].copyright, s.copyright);
}

#if defined(ABOUT_BLOCK_FULL)
TEST_F(AboutBox, VersionBlockCarriesTheFixedPartAndTranslation) {
    CFileVersionInfo info;
    EXPECT_EQ(info.Translation(), "040904b0");
    EXPECT_EQ(info.QueryValue("Comments"), "Ravlen USB X-Ray Tube Controller 40kV, 50kV, 70kV");
    EXPECT_EQ(info.QueryValue("ProductName"), "Ravlen ");
    EXPECT_EQ(info.QueryValue("OriginalFilename"), "RavlenCtrl.EXE");
    EXPECT_EQ(info.QueryValue("NoSuchKey"), "");
    std::vector<uint8_t> block, fixed;
    ASSERT_TRUE(platform::GetFileVersionInfo(info.FileName(), platform::GetFileVersionInfoSize(info.FileName()), block));
    ASSERT_TRUE(platform::VerQueryValue(block, "\\", fixed));
    platform::FixedFileInfo f;
    ASSERT_EQ(fixed.size(), sizeof f);
    std::memcpy(&f, fixed.data(), sizeof f);
    EXPECT_EQ(f.fileVersionMS, 0x00010000u);
    EXPECT_EQ(f.fileVersionLS, 0x0000000Au);
    EXPECT_EQ(f.productVersionLS, 0x0000000Au);
}

TEST(AboutBoxRenamed, ARenamedCopyStillFindsItsBlock) {
    if (getenv("RAVLEN_RENAMED_CHILD"))
        GTEST_SKIP();
    ScratchDirectory dir;
    const std::string copy = dir.Path() + "/OtherName";
    std::filesystem::copy_file(platform::RunningExecutablePath(), copy);
    const std::string cmd = "RAVLEN_RENAMED_CHILD=1 QT_QPA_PLATFORM=offscreen '" + copy +
                            "' --gtest_filter=AboutBox.ShowsVersionTexts:AboutBox.ShowsTheVersionBlockAndTheBuildStamp"
                            " > child.txt 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
}
#endif

TEST_F(AboutBox, AmpersandsShowAsIsOnlyWhereTheTemplateSaysSo) {
    CAboutDlg box;
    box.Create();
    for (int id : {1084, 1085, 1086, 1087, 1088, 1089})
        box.SetDlgItemText(id, "R&D");
    for (int id : {1084, 1088, 1089})
        EXPECT_EQ(static_cast<QLabel*>(box.Control(id))->text().toStdString(), "R&D") << id;
    for (int id : {1085, 1086, 1087})
        EXPECT_EQ(static_cast<QLabel*>(box.Control(id))->text().toStdString(), "RD") << id;
    box.Destroy();
}
