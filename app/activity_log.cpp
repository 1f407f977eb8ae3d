// The status line and the activity log.
#include <cstdio>

#include "app/text_format.h"
#include "app/tube_control_dlg.h"
#include "platform/clock.h"

namespace {
constexpr const char* kLogFileName = "RavlenLog.txt";
}

void CTubeControlDlg::SetStatusText(std::string text) {
    UpdateData(true);
    m_statusText = std::move(text);
    UpdateData(false);
    RepaintNow();
}

std::string CTubeControlDlg::FormatTimestamp() {
    const platform::LocalDateTime t = platform::CurrentClock().Local();
    return Format("%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

void CTubeControlDlg::StartActivityLog() {
    std::FILE* f = std::fopen(kLogFileName, "wb");
    if (!f)
        return;
    const std::string stamp = FormatTimestamp();
    std::fprintf(f, "%s - Ravlen Started\r\n", stamp.c_str());
    std::fclose(f);
}

void CTubeControlDlg::AppendLogLine(const std::string& message) {
    std::FILE* f = std::fopen(kLogFileName, "ab");
    if (!f)
        return;
    const std::string stamp = FormatTimestamp();
    std::fprintf(f, "%s - %s\r\n", stamp.c_str(), message.c_str());
    std::fclose(f);
}
