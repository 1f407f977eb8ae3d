// The dialog machinery this program takes from its platform: a modal dialog built from a
// template, controls reached by numeric id, data exchange, timers by id, blocking pauses,
// message boxes, the window menu, window flashing and immediate repaints.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog_template.h"

class QEventLoop;
class QMenu;

namespace platform {

// Command and answer identifiers, the values the dialogs' callers test.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Message box types.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TOPMOST = 0x40000;

// Window-menu commands handled by the default handling.
constexpr unsigned SC_MOVE = 0xF010;
constexpr unsigned SC_MINIMIZE = 0xF020;
constexpr unsigned SC_CLOSE = 0xF060;
constexpr unsigned SC_RESTORE = 0xF120;

// Window flashing flags.
constexpr unsigned FLASHW_STOP = 0;
constexpr unsigned FLASHW_CAPTION = 1;
constexpr unsigned FLASHW_TRAY = 2;
constexpr unsigned FLASHW_ALL = 3;
constexpr unsigned FLASHW_TIMER = 4;

// Owner-draw request, as the platform passes it to a button that draws itself.
constexpr unsigned ODA_DRAWENTIRE = 0x0001;
constexpr unsigned ODA_SELECT = 0x0002;
constexpr unsigned ODA_FOCUS = 0x0004;
constexpr unsigned ODS_SELECTED = 0x0001;
constexpr unsigned ODS_DISABLED = 0x0004;
constexpr unsigned ODS_FOCUS = 0x0010;

class DialogWindow;

// Data exchange in one direction: to the controls, or from the controls into the members.
class DataExchange {
public:
    DataExchange(DialogWindow& dialog, bool fromControls) : m_dialog(dialog), m_fromControls(fromControls) {}
    bool FromControls() const { return m_fromControls; }
    void Text(int id, std::string& member);
    // Attaches a member control object to the template's control with that id.
    void Control(int id, QWidget& member);

private:
    DialogWindow& m_dialog;
    bool m_fromControls;
};

class DialogWindow : public QDialog {
    Q_OBJECT
public:
    explicit DialogWindow(const DialogTemplate& tmpl, QWidget* parent = nullptr);
    ~DialogWindow() override;

    // Creates the window and its controls and runs the initialisation, then the modal loop,
    // then the window's destruction. Returns the result given to EndDialog.
    int DoModal();

    // The three stages of DoModal, for callers (tests) that drive the dialog themselves.
    void Create();
    void RunModalLoop();
    void Destroy();

    // Ends the modal run once control is back in its loop; the caller's steps still run.
    void EndDialog(int result);
    // Destroys the window: ends the modal run like EndDialog with IDCANCEL.
    void DestroyWindow();
    bool IsEnded() const { return m_ended; }
    int Result() const { return m_result; }
    bool IsCreated() const { return m_created; }
    bool IsDestroyed() const { return m_destroyed; }

    // Controls by id.
    QWidget* Control(int id) const;
    std::string GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const std::string& text);
    void ShowControl(int id, bool show);
    bool IsControlVisible(int id) const;  // the control's own visible style
    void EnableControl(int id, bool enable);
    bool IsControlEnabled(int id) const;
    // Exchanges the bound members: true takes the controls' contents into the members.
    void UpdateData(bool fromControls);
    // Brings the whole window up to date on screen before returning: every part changed
    // since the last paint is painted now (unchanged parts are not painted again).
    void RepaintNow();
    // Simulates a click of a button as the message loop would deliver it.
    void ClickControl(int id);

    // Dialog units to pixels of this dialog's font.
    QRect MapDialogRect(int x, int y, int w, int h) const;
    int BaseUnitX() const { return m_baseX; }
    int BaseUnitY() const { return m_baseY; }
    const DialogTemplate& Template() const { return m_template; }

    // Timers by id. A tick that falls due while a handler runs is held and delivered once
    // after the handler returns.
    void SetTimer(unsigned id, unsigned periodMs);
    void KillTimer(unsigned id);
    bool IsTimerRunning(unsigned id) const;
    unsigned TimerPeriod(unsigned id) const;
    // Delivers one tick of a running timer as the message loop would (tests use it).
    bool FireTimer(unsigned id);

    // The window menu. The window manager owns the real one, so the dialog offers the
    // items in its own context menu and routes them through OnSysCommand.
    bool HasSystemMenu() const { return true; }
    void AppendSystemMenuSeparator();
    void AppendSystemMenuItem(unsigned command, const std::string& text);
    struct MenuItem {
        unsigned command;  // 0 for a separator
        std::string text;
    };
    const std::vector<MenuItem>& SystemMenuItems() const { return m_menuItems; }
    void SendSysCommand(unsigned command);

    // Window attention: flags FLASHW_STOP stops, anything else flashes until stopped.
    void FlashWindowEx(unsigned flags);
    bool IsFlashing() const { return m_flashing; }

    void SetLargeAndSmallIcon(const QIcon& icon);

    // Sends a close request as the close box would.
    void RequestClose();

protected:
    virtual void DoDataExchange(DataExchange& dx);
    virtual bool OnInitDialog();
    virtual void OnOK();      // the OK command (id 1, Enter without another default)
    virtual void OnCancel();  // the Cancel command: Esc
    virtual void OnClose();   // the close box, Alt+F4; defaults to OnCancel
    virtual void OnDestroy();
    virtual void OnCommand(int id);  // a button with another id
    virtual void OnSysCommand(unsigned command);
    virtual void OnTimer(unsigned id);
    // Paints while minimised; returns false for the ordinary painting.
    virtual bool OnPaintMinimized(class QPainter& painter);
    virtual QIcon OnQueryDragIcon();

    // The default handling of a window-menu command.
    void DefaultSysCommand(unsigned command);
    // The platform's own OK: data from the controls, then the end of the modal run.
    void BaseOnOK();
    void BaseOnCancel();

    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void reject() override;
    void accept() override;

private:
    friend class DataExchange;
    void BuildControls();
    void AttachControl(int id, QWidget& member);
    void ApplyTabOrder();
    template <class F>
    void Dispatch(F&& handler);
    void DeliverHeldEvents();

    DialogTemplate m_template;
    std::map<int, QWidget*> m_controls;
    std::vector<QWidget*> m_order;  // template order, for tab order and stacking
    int m_baseX = 6;
    int m_baseY = 13;
    bool m_created = false;
    bool m_ended = false;
    bool m_destroyed = false;
    int m_result = 0;
    QEventLoop* m_loop = nullptr;

    struct TimerState {
        int qtTimer = 0;
        unsigned periodMs = 0;
    };
    std::map<unsigned, TimerState> m_timers;
    std::set<unsigned> m_heldTicks;
    bool m_heldClose = false;

    std::vector<MenuItem> m_menuItems;
    // Covers the controls while the window is minimised, so that only the dialog's own
    // minimised painting shows.
    QWidget* m_minimisedCover = nullptr;
    bool m_flashing = false;
    bool m_flashPhase = false;
    int m_flashTimer = 0;
};

// A button that draws itself: the platform calls DrawItem for every paint.
struct DrawItem {
    unsigned action;
    unsigned state;
    class QPainter* painter;
    QRect rect;
};

class OwnerDrawButton : public QPushButton {
    Q_OBJECT
public:
    OwnerDrawButton();
    virtual void OnDrawItem(const DrawItem& item) = 0;

protected:
    // A paint after a change of focus alone is a focus-change request, as the platform sends
    // one; every other paint draws the whole button.
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_painted = false;
    unsigned m_lastState = 0;
};

// A static text whose background brush and text colour the control chooses itself, asked
// before every paint as the platform asks a control for its colours.
class ColorStatic : public QLabel {
    Q_OBJECT
public:
    ColorStatic();
    // Returns the brush that fills the background and sets the text colours.
    virtual const QBrush& OnCtlColor(QColor& textBackground, QColor& text) = 0;
    // Repaints now: invalidate, erase and update before returning.
    void RedrawNow();

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Blocking pause of the running handler. The window keeps painting; input, timer ticks and
// close requests wait until the handler returns.
void Pause(unsigned ms);

// Message boxes, with the application title as caption; the box's own loop goes on
// delivering timer ticks. Returns IDOK, IDYES or IDNO.
int MessageBox(const std::string& text, unsigned type);
// Finds an open question box by caption and closes it with that answer.
bool AnswerOpenQuestion(const std::string& title, int answer);

struct MessageBoxRequest {
    std::string caption;
    std::string text;
    unsigned type;
};
// Tests answer message boxes themselves; the responder may run ticks "while the box is open".
using MessageBoxResponder = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxResponder(MessageBoxResponder responder);
const std::vector<MessageBoxRequest>& MessageBoxHistory();

// Tests run nested modal dialogs themselves: the hook replaces the dialog's modal loop and
// ends it (EndDialog) after looking at it.
using ModalDialogHook = std::function<void(DialogWindow&)>;
void SetModalDialogHook(ModalDialogHook hook);

// The application title: the executable's base name.
std::string ApplicationTitle();

// Text of 8-bit characters to and from the toolkit.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);

// Loads an image resource of the program at the given size (0, 0 for its own size). The
// resources folder supplies it. A null pixmap when there is no such resource.
QPixmap LoadImageResource(int id, int width = 0, int height = 0);
QIcon LoadIconResource(int id);
// A string resource; empty when there is none.
std::string LoadStringResource(int id);

}  // namespace platform
