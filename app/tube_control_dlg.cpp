// The main dialog's lifecycle: construction, initialisation, the three endings, the safe
// shutdown and the single failure path.
#include "app/tube_control_dlg.h"

#include <QPainter>
#include <QStyle>

#include "platform/clock.h"
#include "board/mpsse_engine.h"
#include "resources/resource_ids.h"
#include "ui/about_dlg.h"

CTubeControlDlg::CTubeControlDlg() : platform::DialogWindow(MainDialogTemplate()) {
    m_hIcon = platform::LoadIconResource(IDR_MAINFRAME);
    m_monitorRunning = false;
    m_deviceOpen = false;
    m_engineEnabled = false;
    m_shutdownStarted = false;
    m_hvDacFailed = false;
    m_uaDacFailed = false;
    m_settleTicks = 0;
    m_timerId = 1;
    m_timerPeriodMs = 1000;
}

CTubeControlDlg::~CTubeControlDlg() = default;

void CTubeControlDlg::DoDataExchange(platform::DataExchange& dx) {
    dx.Text(IDC_STATUS, m_statusText);
    dx.Text(IDC_PORT_TEXT, m_portText);
    dx.Control(IDC_MONITOR_READY, m_monitorReadyIndicator);
    dx.Control(IDC_HV_ENABLED, m_hvEnabledIndicator);
    dx.Control(IDC_HV_ON, m_hvOnButton);
    dx.Control(IDC_HV_OFF, m_hvOffButton);
    dx.Control(IDC_EXIT, m_exitButton);
    dx.Control(IDC_OUT_OF_RANGE, m_outOfRangeBanner);
    dx.Control(IDC_POWER, m_powerReadout);
}

bool CTubeControlDlg::OnInitDialog() {
    platform::DialogWindow::OnInitDialog();

    m_hvOffButton.LoadButtonIcon(IDI_STOP, 32, 32);
    m_hvOnButton.LoadButtonIcon(IDI_XRAY, 32, 32);
    m_exitButton.LoadButtonIcon(IDI_EXIT, 32, 32);

    for (int i = 0; i < 7; ++i) {
        kvHistory[i] = 0.0;
        uaHistory[i] = 0.0;
    }
    averageRestart = true;
    m_trimWrite = 0;

    const std::string about = platform::LoadStringResource(IDS_ABOUTBOX);
    if (HasSystemMenu() && !about.empty()) {
        AppendSystemMenuSeparator();
        AppendSystemMenuItem(IDM_ABOUTBOX, about);
    }

    m_hvOn = false;
    m_newGeneration = false;
    SetLargeAndSmallIcon(m_hIcon);

    lastHvOnShown = false;
    lastMonitorReadyBit = false;
    lastInterlockClosed = false;
    restoredCountdown = 3;
    activeTileBack = QColor(RGB(255, 0, 0));
    idleTileBack = ButtonFaceColor();
    activeTileText = QColor(RGB(0, 0, 127));
    idleTileText = QColor(RGB(192, 192, 192));

    StartActivityLog();

    SetDlgItemText(IDC_MONITOR_READY, "\nMonitor Ravlen Ready");
    m_monitorReadyIndicator.SetBackColor(idleTileBack);
    m_monitorReadyIndicator.SetTextColor(idleTileText);
    EnableControl(IDC_MONITOR_READY, false);

    SetDlgItemText(IDC_HV_ENABLED, "\nHigh Voltage Enabled");
    m_hvEnabledIndicator.SetBackColor(idleTileBack);
    m_hvEnabledIndicator.SetTextColor(idleTileText);
    EnableControl(IDC_HV_ENABLED, false);

    SetDlgItemText(IDC_OUT_OF_RANGE, ">>> MONITOR OUT OF RANGE <<<");
    m_outOfRangeBanner.SetBackColor(QColor(RGB(255, 255, 0)));
    m_outOfRangeBanner.SetTextColor(QColor(RGB(255, 0, 0)));
    EnableControl(IDC_OUT_OF_RANGE, true);
    ShowControl(IDC_OUT_OF_RANGE, false);

    SetDlgItemText(IDC_POWER, "");
    m_powerReadout.SetTextColor(QColor(RGB(0, 0, 0)));
    m_powerReadout.SetBackColor(QColor(RGB(255, 255, 255)));

    driversLoaded = 1;
    if (LoadD2xxBinding() != 0) {
        driversLoaded = 0;
        m_statusText = "Drivers not loaded, please install Ravlen drivers.";
        UpdateData(false);
        return true;
    }
    m_statusText = "Ravlen application ready.";
    SetDlgItemText(IDC_KV_EDIT, "0");
    SetDlgItemText(IDC_UA_EDIT, "0");
    EnableControl(IDC_SET_HV_AND_UA, false);
    EnableControl(IDC_HV_OFF, false);
    EnableControl(IDC_HV_ON, false);
    ApplyLimitSet(LimitSet::Kv40W4);
    HideModelPictures();
    UpdateData(false);
    RepaintNow();
    g_busBusy = 0;
    return true;
}

void CTubeControlDlg::OnOK() {
    if (!m_shutdownStarted)
        SafeShutdown();
    BaseOnOK();
}

void CTubeControlDlg::OnCancel() {
    if (!m_shutdownStarted)
        SafeShutdown();
    if (m_hvOn) {
        platform::MessageBox("Please shut down high voltage before exiting dialog", platform::MB_OK);
        return;
    }
    DestroyWindow();
}

void CTubeControlDlg::OnClose() { OnCancel(); }

void CTubeControlDlg::OnDestroy() {
    platform::DialogWindow::OnDestroy();
    SafeShutdown();
}

void CTubeControlDlg::OnCommand(int id) {
    switch (id) {
    case IDC_START: StartConnection(); break;
    case IDC_SET_HV: OnSetHighVoltage(); break;
    case IDC_SET_UA: OnSetCurrent(); break;
    case IDC_SET_HV_AND_UA: OnSetHighVoltageAndCurrent(); break;
    case IDC_HV_ON: OnHvOn(); break;
    case IDC_HV_OFF: OnHvOff(); break;
    case IDC_START_MONITOR: OnStartMonitor(); break;
    case IDC_STOP_MONITOR: OnStopMonitor(); break;
    default: break;
    }
}

void CTubeControlDlg::OnSysCommand(unsigned command) {
    // The low four bits are the platform's own.
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
        return;
    }
    DefaultSysCommand(command);
}

bool CTubeControlDlg::OnPaintMinimized(QPainter& painter) {
    painter.fillRect(rect(), palette().window());
    const int iconWidth = style()->pixelMetric(QStyle::PM_LargeIconSize);
    const int iconHeight = iconWidth;
    const int x = (width() - iconWidth + 1) / 2;
    const int y = (height() - iconHeight + 1) / 2;
    painter.drawPixmap(x, y, m_hIcon.pixmap(iconWidth, iconHeight));
    return true;
}

QIcon CTubeControlDlg::OnQueryDragIcon() { return m_hIcon; }

void CTubeControlDlg::FailAndClose(const std::string& message) {
    if (!m_shutdownStarted)
        SafeShutdown();
    AppendLogLine(message);
    BaseOnOK();
}

void CTubeControlDlg::SafeShutdown() {
    m_shutdownStarted = true;
    if (m_deviceOpen)
        OnHvOff();
    if (!m_engineEnabled)
        return;
    KillTimer(m_timerId);
    m_monitorRunning = false;
    SetDlgItemText(IDC_KV_EDIT, "0");
    SetDlgItemText(IDC_UA_EDIT, "0");
    if (m_hvDacFailed || m_uaDacFailed)
        return;
    OnSetHighVoltage();
    if (m_newGeneration)
        platform::Pause(500);
    OnSetCurrent();
    DisableSerialEngine();
}
