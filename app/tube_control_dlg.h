// The main dialog: the program's only window and the owner of all device and operating state.
// Every subsystem is an operation of this object; each topic folder defines its own part.
#pragma once

#include <QColor>
#include <QIcon>
#include <cstdint>
#include <string>

#include "control/limit_set.h"
#include "device/d2xx_binding.h"
#include "platform/dialog_window.h"
#include "platform/system.h"
#include "ui/indicator_button.h"
#include "ui/tinted_static.h"

// Control identifiers of the main dialog.
enum : int {
    IDC_EXIT = 1,
    IDC_STATUS = 1002,
    IDC_PORT_TEXT = 1041,
    IDC_START = 1042,
    IDC_SET_HV = 1043,
    IDC_HV_MONITOR = 1044,
    IDC_UA_MONITOR = 1045,
    IDC_SET_UA = 1046,
    IDC_KV_EDIT = 1047,
    IDC_UA_EDIT = 1048,
    IDC_START_MONITOR = 1049,
    IDC_GROUP = 1054,
    IDC_STOP_MONITOR = 1055,
    IDC_HV_OFF = 1056,
    IDC_HV_ON = 1057,
    IDC_KV_MIN = 1060,
    IDC_KV_MAX = 1061,
    IDC_UA_MIN = 1062,
    IDC_UA_MAX = 1063,
    IDC_MONITOR_READY = 1066,
    IDC_HV_ENABLED = 1068,
    IDC_SET_HV_AND_UA = 1069,
    IDC_TEMPERATURE = 1071,
    IDC_SERIAL_TEXT = 1073,
    IDC_TEMP_RAW = 1074,
    IDC_HV_DAC_CODE = 1075,
    IDC_UA_DAC_CODE = 1076,
    IDC_HV_ADC_CODE = 1077,
    IDC_UA_ADC_CODE = 1078,
    IDC_POWER = 1079,
    IDC_XRAY_ICON = 1080,
    IDC_XRAY_TEXT = 1081,
    IDC_OUT_OF_RANGE = 1082,
    IDC_INTERLOCK_OPEN_ICON = 1083,
    IDC_INTERLOCK_RESTORED_ICON = 1084,
    IDC_INTERLOCK_OPEN_TEXT = 1085,
    IDC_INTERLOCK_RESTORED_TEXT = 1086,
    IDC_PICTURE_TUBE = 1092,
    IDC_PICTURE_TUBE_1UA = 1093,
    IDC_PICTURE_CURVE_40KV = 1094,
    IDC_PICTURE_CURVE_50KV = 1095,
    IDC_MODEL_NAME = 1097,
    IDC_PICTURE_TELVO = 1098,
    IDC_PICTURE_ORRIN = 1099,
    IDC_PICTURE_SARPA = 1100,
    IDC_PICTURE_CURVE_TELVO = 1101,
    IDC_PICTURE_CURVE_50KV10W = 1102,
    IDC_PICTURE_CURVE_70KV = 1103,
};

// Window-menu command of the About item, and its string resource.
constexpr unsigned IDM_ABOUTBOX = 16;
constexpr int IDS_ABOUTBOX = 101;

// Process-wide state kept by the monitor cycle and the board transactions.
extern double kvHistory[7];
extern double uaHistory[7];
extern bool averageRestart;
extern QColor activeTileBack;
extern QColor idleTileBack;
extern QColor activeTileText;
extern QColor idleTileText;
extern int32_t restoredCountdown;
extern bool lastInterlockClosed;
extern bool lastMonitorReadyBit;
extern bool lastHvOnShown;
extern int32_t driversLoaded;

class CTubeControlDlg : public platform::DialogWindow {
    Q_OBJECT
public:
    CTubeControlDlg();
    ~CTubeControlDlg() override;

    // --- Application shell -------------------------------------------------------------
    void FailAndClose(const std::string& message);
    void SafeShutdown();
    void SetStatusText(std::string text);
    std::string FormatTimestamp();
    void StartActivityLog();
    void AppendLogLine(const std::string& message);

    // --- USB device link ----------------------------------------------------------------
    int LoadD2xxBinding();
    FT_STATUS D2xxWrite(void* buffer, DWORD bytesToWrite, DWORD* bytesWritten);
    FT_STATUS D2xxOpenEx(const char* description, DWORD flags);
    void DiscoverAndOpen();
    void StartConnection();

    // --- Serial engine and board devices ---------------------------------------------------
    void EnableSerialEngine();
    void SetClockDivisor();
    void DisableSerialEngine();
    void WriteHvDac();
    void WriteUaDac();
    void ReadHvAdc();
    void ReadUaAdc();
    void SetupTempSensor();
    void ReadTempSensor();
    void ReadPort(unsigned char& value, int portSelector);

    // --- Tube control ----------------------------------------------------------------------
    void ApplyLimitSet(LimitSet set);
    void ReadSerialNumber(int deviceIndex);
    void DetectModelFromPorts();
    void OnSetHighVoltage();
    void OnSetCurrent();
    void OnSetHighVoltageAndCurrent();
    void OnHvOn();
    void OnHvOff();
    void SetHvButtons(bool enable);
    void RestoreHvButtons(bool hvOffEnabled, bool hvOnEnabled);
    void OnStartMonitor();
    void OnStopMonitor();
    void PollPorts();
    static double Average7(double value, double history[7], bool restart);
    static bool InTolerance(double reference, double value, bool wide);

    // --- User interface ----------------------------------------------------------------------
    void HideModelPictures();
    void ShowModelPictures(int32_t modelIndex);

    // The timer handler is public: the setpoint application runs ticks itself.
    void OnTimer(unsigned id) override;

    // --- Members, in the order of the dialog's data model -----------------------------------------
    uint32_t m_timerId = 1;
    uint32_t m_timerPeriodMs = 1000;
    bool m_monitorRunning = false;
    bool m_hvOn = false;
    double m_appliedKv = 0;
    double m_appliedUa = 0;
    bool m_deviceOpen = false;
    bool m_engineEnabled = false;
    bool m_shutdownStarted = false;
    bool m_hvDacFailed = false;
    bool m_uaDacFailed = false;
    int32_t m_settleTicks = 0;
    int32_t m_modelIndex = 0;
    std::string m_portText;
    std::string m_modelName;
    double m_defaultKv = 0;
    double m_kvMin = 0;
    double m_kvMax = 0;
    double m_kvPerVolt = 0;
    double m_defaultUa = 0;
    double m_uaMin = 0;
    double m_uaMax = 0;
    double m_uaPerVolt = 0;
    double m_converterVref = 0;
    double m_converterCounts = 0;
    double m_powerMaxW = 0;
    double m_powerMarginW = 0;
    double m_setpointPowerLimitMw = 0;
    double m_measuredKv = 0;
    double m_measuredUa = 0;
    double m_trimWrite = 0;
    int32_t m_kvSetpoint = 0;
    int32_t m_uaSetpoint = 0;
    std::string m_statusText;
    double m_kvDacVolts = 0.0;
    std::string m_hvAdcText;
    double m_uaDacVolts = 0.0;
    std::string m_uaAdcText;
    QIcon m_hIcon;
    platform::SharedLibrary m_d2xxModule;
    FT_HANDLE m_ftHandle = nullptr;
    D2xxBinding m_d2xx;
    unsigned m_flashInfo = platform::FLASHW_STOP;  // flags of the last flash request
    CTintedStatic m_monitorReadyIndicator;
    CTintedStatic m_hvEnabledIndicator;
    CTintedStatic m_outOfRangeBanner;
    CTintedStatic m_powerReadout;
    CIndicatorButton m_hvOnButton;
    CIndicatorButton m_hvOffButton;
    CIndicatorButton m_exitButton;
    int32_t m_serialNumber = 0;
    bool m_newGeneration = false;
    bool m_highSerial = false;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnDestroy() override;
    void OnCommand(int id) override;
    void OnSysCommand(unsigned command) override;
    bool OnPaintMinimized(QPainter& painter) override;
    QIcon OnQueryDragIcon() override;
};
