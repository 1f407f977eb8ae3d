#include "board/mpsse_engine.h"
#include "resources/resource_ids.h"
#include "tests/support/dialog_fixture.h"

namespace {

class DialogLifecycle : public DialogTest {};

const int kModelPictures[] = {1092, 1093, 1094, 1095, 1098, 1099, 1100, 1101, 1102, 1103};

}  // namespace

TEST_F(DialogLifecycle, InitialisationLeavesTheStartUpState) {
    CTubeControlDlg& d = Dlg();
    EXPECT_EQ(d.windowTitle().toStdString(), "Corvane Ravlen Controller");
    EXPECT_EQ(Text(IDC_STATUS), "Ravlen application ready.");
    EXPECT_EQ(driversLoaded, 1);
    EXPECT_EQ(g_busBusy, 0);

    struct {
        int id;
        const char* text;
    } texts[] = {{IDC_KV_EDIT, "15"}, {IDC_UA_EDIT, "15"}, {IDC_KV_MIN, "10"}, {IDC_KV_MAX, "40"},
                 {IDC_UA_MIN, "5"},   {IDC_UA_MAX, "200"}, {IDC_OUT_OF_RANGE, ">>> MONITOR OUT OF RANGE <<<"},
                 {IDC_POWER, ""},     {IDC_MONITOR_READY, "\nMonitor Ravlen Ready"},
                 {IDC_HV_ENABLED, "\nHigh Voltage Enabled"}, {IDC_START, "Start Corvane Ravlen"}};
    for (const auto& t : texts)
        EXPECT_EQ(Text(t.id), t.text) << t.id;

    for (int id : {IDC_SET_HV_AND_UA, IDC_HV_OFF, IDC_HV_ON, IDC_MONITOR_READY, IDC_HV_ENABLED})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(IDC_START));
    EXPECT_TRUE(Enabled(IDC_OUT_OF_RANGE));
    EXPECT_FALSE(Visible(IDC_OUT_OF_RANGE));
    for (int id : kModelPictures)
        EXPECT_FALSE(Visible(id)) << id;

    EXPECT_EQ(d.m_outOfRangeBanner.BackColor(), QColor(255, 255, 0));
    EXPECT_EQ(d.m_outOfRangeBanner.TextColor(), QColor(255, 0, 0));
    EXPECT_EQ(d.m_powerReadout.BackColor(), QColor(255, 255, 255));
    EXPECT_EQ(d.m_powerReadout.TextColor(), QColor(0, 0, 0));
    EXPECT_EQ(d.m_monitorReadyIndicator.BackColor(), ButtonFaceColor());
    EXPECT_EQ(d.m_hvEnabledIndicator.TextColor(), QColor(192, 192, 192));

    // The bound objects took the places of their template controls.
    EXPECT_EQ(d.Control(IDC_HV_ON), &d.m_hvOnButton);
    EXPECT_EQ(d.Control(IDC_EXIT), &d.m_exitButton);
    EXPECT_EQ(d.Control(IDC_POWER), &d.m_powerReadout);
    EXPECT_TRUE(d.m_hvOffButton.HasIcon());

    ASSERT_EQ(d.SystemMenuItems().size(), 2u);
    EXPECT_EQ(d.SystemMenuItems()[0].command, 0u);
    EXPECT_EQ(d.SystemMenuItems()[1].command, IDM_ABOUTBOX);
    EXPECT_EQ(d.SystemMenuItems()[1].text, "&About Ravlen...");

    EXPECT_EQ(d.m_kvMin, 9.999999);
    EXPECT_EQ(d.m_setpointPowerLimitMw, 3950);
    EXPECT_FALSE(d.IsEnded());
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"Ravlen Started"});
    EXPECT_TRUE(Calls().empty());
}

TEST_F(DialogLifecycle, TabOrderVisitsTheOperatorControls) {
    CTubeControlDlg& d = Dlg();
    std::vector<int> visited;
    QWidget* first = d.Control(IDC_EXIT);
    QWidget* w = first;
    for (int i = 0; i < 20; ++i) {
        for (auto id : {1, 1002, 1042, 1047, 1048, 1056, 1057, 1069})
            if (d.Control(id) == w && w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
                visited.push_back(id);
        w = w->nextInFocusChain();
        if (w == first)
            break;
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 1002, 1047, 1048, 1056, 1057, 1069}));
    EXPECT_EQ(d.Control(IDC_START)->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(static_cast<QPushButton*>(d.Control(IDC_START))->isDefault());
}

TEST_F(DialogLifecycle, ExitBeforeStartTouchesNoDevice) {
    Dlg().ClickControl(IDC_EXIT);
    EXPECT_TRUE(Dlg().IsEnded());
    EXPECT_EQ(Dlg().Result(), platform::IDOK);
    EXPECT_TRUE(Dlg().m_shutdownStarted);
    Dlg().Destroy();  // destruction runs the shutdown once more
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"Ravlen Started"});
}

TEST_F(DialogLifecycle, CloseWithHighVoltageStillFlaggedKeepsTheDialogOpen) {
    // With no controller open the shutdown cannot switch the high voltage off.
    Dlg().m_hvOn = true;
    Dlg().RequestClose();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please shut down high voltage before exiting dialog");
    EXPECT_EQ(boxes[0].type, platform::MB_OK);
    EXPECT_EQ(boxes[0].caption, platform::ApplicationTitle());
    EXPECT_FALSE(Dlg().IsEnded());

    Dlg().ClickControl(IDC_EXIT);
    EXPECT_TRUE(Dlg().IsEnded());
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(DialogLifecycle, EscapeEndsAnIdleDialog) {
    Dlg().ClickControl(platform::IDCANCEL);
    EXPECT_TRUE(Dlg().IsEnded());
    EXPECT_EQ(Dlg().Result(), platform::IDCANCEL);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DialogLifecycle, FailAndCloseLogsEachCallAndLetsTheCallerFinish) {
    bool callerFinished = false;
    Dlg();
    clock.Advance(2000000);
    Dlg().FailAndClose("HV DAC error setting voltage.");
    EXPECT_TRUE(Dlg().m_shutdownStarted);
    EXPECT_TRUE(Dlg().IsEnded());
    Dlg().FailAndClose("uA DAC error setting current.");
    callerFinished = true;
    EXPECT_TRUE(callerFinished);
    EXPECT_EQ(Dlg().Result(), platform::IDOK);
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"Ravlen Started", "HV DAC error setting voltage.",
                                                       "uA DAC error setting current."}));
}

TEST_F(DialogLifecycle, WindowMenuOffersTheAboutItemAndDefaultCommands) {
    Dlg().SendSysCommand(platform::SC_CLOSE);
    EXPECT_TRUE(Dlg().IsEnded());
}

namespace {

// Three-byte writes that set the low byte: the enable-line commands.
size_t EnableLineWrites(const std::vector<std::vector<uint8_t>>& writes) {
    size_t n = 0;
    for (const auto& w : writes)
        if (w.size() == 3 && w[0] == 0x80 && w[2] == 0x7B)
            ++n;
    return n;
}

}  // namespace

TEST_F(DialogLifecycle, EndingWhileConnectedLeavesTheBoardAtTheMinimumAndTheEngineOff) {
    struct {
        const char* how;
        bool closeBox;
    } endings[] = {{"Exit", false}, {"close box", true}};
    for (const auto& e : endings) {
        SCOPED_TRACE(e.how);
        TearDown();
        SetUp();
        ConnectReady();
        ASSERT_TRUE(Enabled(IDC_HV_ON));
        ClearCalls();
        if (e.closeBox)
            Dlg().RequestClose();
        else
            Dlg().ClickControl(IDC_EXIT);

        EXPECT_TRUE(Dlg().IsEnded());
        EXPECT_TRUE(boxes.empty());
        EXPECT_FALSE(Dlg().IsTimerRunning(1));
        EXPECT_FALSE(Dlg().m_engineEnabled);
        // The fields went to "0" and were applied: the limit set's minimum reached the board.
        EXPECT_EQ(Text(IDC_KV_EDIT), "10");
        EXPECT_EQ(Text(IDC_UA_EDIT), "5");
        EXPECT_NEAR(ravlen_sim_dac_volts(0), 1.0, 0.002);
        EXPECT_NEAR(ravlen_sim_dac_volts(1), 0.1, 0.002);
        EXPECT_EQ(ravlen_sim_bit_mode(), 0x00);
        EXPECT_EQ(ravlen_sim_low_lines() & 0x60, 0);
        const size_t afterEnd = EnableLineWrites(Writes());
        EXPECT_EQ(afterEnd, 1u);

        // Destruction runs the shutdown again; the controller still counts as open.
        Dlg().Destroy();
        EXPECT_EQ(EnableLineWrites(Writes()), afterEnd + 1);
        EXPECT_EQ(ravlen_sim_low_lines() & 0x60, 0);
        EXPECT_EQ(LogMessages(), std::vector<std::string>{"Ravlen Started"});
    }
}

TEST_F(DialogLifecycle, MinimisedWindowPaintsOnlyItsCentredIcon) {
    CTubeControlDlg& d = Dlg();
    d.showMinimized();
    ASSERT_TRUE(d.isMinimized());
    const QImage shot = d.grab().toImage();
    const QImage icon = d.windowIcon().pixmap(32, 32).toImage();
    const QPoint topLeft((shot.width() - 32 + 1) / 2, (shot.height() - 32 + 1) / 2);
    // The icon's pixels land at the centre; the controls are not painted.
    int same = 0, opaque = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QColor i = icon.pixelColor(x, y);
            if (i.alpha() < 255)
                continue;
            ++opaque;
            if (shot.pixelColor(topLeft + QPoint(x, y)) == i)
                ++same;
        }
    ASSERT_GT(opaque, 100);
    EXPECT_GT(same, opaque * 9 / 10);
    const QColor corner = shot.pixelColor(5, shot.height() - 10);  // where the status line was
    EXPECT_EQ(corner, d.palette().color(QPalette::Window));
    // Restored, it paints its controls again.
    d.showNormal();
    const QImage restored = d.grab().toImage();
    EXPECT_NE(restored.pixelColor(topLeft + QPoint(16, 16)), shot.pixelColor(topLeft + QPoint(16, 16)));
}
