#include "ui/about_dlg.h"

#include <QScreen>

#include "resources/resource_ids.h"
#include "ui/file_version_info.h"

const char* const kBuildDate = __DATE__;
const char* const kBuildTime = __TIME__;

CAboutDlg::CAboutDlg(QWidget* owner) : platform::DialogWindow(AboutDialogTemplate(), owner) {}

CAboutDlg::~CAboutDlg() = default;

bool CAboutDlg::OnInitDialog() {
    platform::DialogWindow::OnInitDialog();
    if (QWidget* owner = parentWidget()) {
        const QRect o = owner->frameGeometry();
        move(o.center() - QPoint(width() / 2, height() / 2));
    }
    {
        CFileVersionInfo info;
        SetDlgItemText(1084, info.GetFileDescription());
        SetDlgItemText(1089, info.GetProductVersion());
        SetDlgItemText(1085, info.GetLegalCopyright());
        SetDlgItemText(1086, kBuildDate);
        SetDlgItemText(1087, kBuildTime);
    }
    return true;
}
