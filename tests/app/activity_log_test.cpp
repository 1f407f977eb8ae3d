#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/dialog_fixture.h"

namespace {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ActivityLog : public DialogTest {};

}  // namespace

TEST_F(ActivityLog, StartRecordReplacesAnOldFileByteForByte) {
    {
        std::ofstream old("RavlenLog.txt", std::ios::binary);
        old << "20250101_000000 - an older run\r\n20250101_000001 - HV DAC error setting voltage.\r\n";
    }
    clock.SetLocal({2026, 3, 9, 14, 15, 3});
    Dlg();
    EXPECT_EQ(FileBytes("RavlenLog.txt"), "20260309_141503 - Ravlen Started\r\n");
}

TEST_F(ActivityLog, RecordsKeepTheirOrderAndShareATimestampWithinASecond) {
    clock.SetLocal({2026, 12, 31, 23, 59, 58});
    Dlg();
    clock.Advance(1500000);  // 23:59:59.5
    Dlg().AppendLogLine("first");
    Dlg().AppendLogLine("second");
    clock.Advance(600000);  // past midnight: the date rolls over
    Dlg().AppendLogLine("third");
    EXPECT_EQ(FileBytes("RavlenLog.txt"),
              "20261231_235958 - Ravlen Started\r\n"
              "20261231_235959 - first\r\n"
              "20261231_235959 - second\r\n"
              "20270101_000000 - third\r\n");
}

TEST_F(ActivityLog, UnopenableFileDropsRecordsSilently) {
    // A directory in the file's place cannot be opened for writing, whoever runs the test.
    std::filesystem::create_directory("RavlenLog.txt");
    Dlg();
    Dlg().FailAndClose("lost");
    EXPECT_TRUE(std::filesystem::is_directory("RavlenLog.txt"));
    EXPECT_TRUE(Dlg().IsEnded());
    EXPECT_EQ(Text(IDC_STATUS), "Ravlen application ready.");
}

TEST_F(ActivityLog, StatusTextIsReplacedWholeAndNotWrapped) {
    const std::string wide(300, 'W');
    Dlg().SetStatusText("first");
    Dlg().SetStatusText(wide);
    EXPECT_EQ(Text(IDC_STATUS), wide);
    EXPECT_EQ(Dlg().m_statusText, wide);
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"Ravlen Started"});
}
