// The About box: description, product version and copyright from the version block, and the
// date and time the program was built.
#pragma once

#include "platform/dialog_window.h"

// The build stamp, in the forms "Apr 17 2015" and "11:14:47".
extern const char* const kBuildDate;
extern const char* const kBuildTime;

class CAboutDlg : public platform::DialogWindow {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* owner = nullptr);
    ~CAboutDlg() override;

protected:
    bool OnInitDialog() override;
};
