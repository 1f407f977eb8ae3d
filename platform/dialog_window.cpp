#include "platform/dialog_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>

#include "platform/clock.h"

#include <algorithm>

namespace platform {

namespace {

// Handlers running on the dialog thread. While one runs, ticks and close requests are held;
// a message box's own loop opens a fresh frame in which they are delivered again.
int g_handlerDepth = 0;

const char* kRawText = "rawText";

QString DisplayText(const std::string& raw, bool prefix) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\r') {
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
            out += '\n';
            continue;
        }
        if (prefix && c == '&') {
            if (i + 1 < raw.size() && raw[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += c;
    }
    return ToQt(out);
}

Qt::Alignment AlignmentOf(uint32_t style, Qt::Alignment vertical = Qt::AlignTop) {
    Qt::Alignment h = Qt::AlignLeft;
    if (style & AlignCenter)
        h = Qt::AlignHCenter;
    else if (style & AlignRight)
        h = Qt::AlignRight;
    return h | ((style & VCenter) ? Qt::AlignVCenter : vertical);
}

// Breaks a multi-line button's caption at word boundaries to fit its width.
QString WrapCaption(const QString& text, const QFontMetrics& fm, int width) {
    const QStringList words = text.split(' ');
    QString out, line;
    for (const QString& w : words) {
        QString candidate = line.isEmpty() ? w : line + ' ' + w;
        if (!line.isEmpty() && fm.horizontalAdvance(candidate) > width) {
            out += (out.isEmpty() ? "" : "\n") + line;
            line = w;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty())
        out += (out.isEmpty() ? "" : "\n") + line;
    return out;
}

void ApplyFrame(QFrame* frame, uint32_t style) {
    if (style & Sunken) {
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    } else if (style & ClientEdge) {
        frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    } else if (style & StaticEdge) {
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        frame->setLineWidth(1);
    } else if (style & Border) {
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
    }
}

MessageBoxResponder g_responder;
std::vector<MessageBoxRequest> g_boxHistory;
struct OpenQuestion {
    std::string caption;
    int answer = 0;  // 0 while nobody answered it
};
std::vector<OpenQuestion*> g_openQuestions;
ModalDialogHook g_modalHook;

}  // namespace

QString ToQt(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

std::string FromQt(const QString& text) {
    QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void DataExchange::Text(int id, std::string& member) {
    if (m_fromControls)
        member = m_dialog.GetDlgItemText(id);
    else
        m_dialog.SetDlgItemText(id, member);
}

void DataExchange::Control(int id, QWidget& member) {
    if (m_dialog.Control(id) != &member)
        m_dialog.AttachControl(id, member);
}

DialogWindow::DialogWindow(const DialogTemplate& tmpl, QWidget* parent) : QDialog(parent), m_template(tmpl) {
    setWindowTitle(ToQt(tmpl.caption));
    // A modal dialog frame with a window menu: no minimise or maximise box, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    QFont font(ToQt(tmpl.fontFamily));
    font.setPointSize(tmpl.fontPoints);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    // Dialog units as the platform derives them: the average width of the Latin letters and
    // the line height of the dialog font.
    QFontMetrics fm(font);
    const int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = fm.height();
    if (m_baseX <= 0)
        m_baseX = 6;
    if (m_baseY <= 0)
        m_baseY = 13;
}

DialogWindow::~DialogWindow() {
    for (auto& [id, t] : m_timers)
        if (t.qtTimer)
            killTimer(t.qtTimer);
}

QRect DialogWindow::MapDialogRect(int x, int y, int w, int h) const {
    auto mx = [&](int v) { return (v * m_baseX) / 4; };
    auto my = [&](int v) { return (v * m_baseY) / 8; };
    return QRect(mx(x), my(y), mx(w), my(h));
}

void DialogWindow::BuildControls() {
    const QRect client = MapDialogRect(0, 0, m_template.width, m_template.height);
    setFixedSize(client.width(), client.height());
    for (const ControlTemplate& c : m_template.controls) {
        const QRect r = MapDialogRect(c.x, c.y, c.w, c.h);
        QWidget* w = nullptr;
        const bool prefix = !(c.style & NoPrefix);
        switch (c.kind) {
        case ControlKind::Text: {
            auto* label = new QLabel(this);
            label->setText(DisplayText(c.caption, prefix));
            label->setAlignment(AlignmentOf(c.style));
            label->setWordWrap(true);
            ApplyFrame(label, c.style);
            w = label;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(this);
            edit->setText(ToQt(c.caption));
            edit->setReadOnly(c.style & ReadOnly);
            edit->setAlignment(AlignmentOf(c.style, Qt::AlignVCenter));
            edit->setFrame(c.style & Border);
            w = edit;
            break;
        }
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
        case ControlKind::OwnerDrawButton: {
            auto* button = new QPushButton(this);
            QString text = DisplayText(c.caption, false);
            if (c.style & MultiLine)
                button->setText(WrapCaption(text, QFontMetrics(font()), r.width() - 6));
            else
                button->setText(text);
            button->setAutoDefault(false);
            if (c.kind == ControlKind::DefPushButton)
                button->setDefault(true);
            const int id = c.id;
            connect(button, &QPushButton::clicked, this, [this, id] { ClickControl(id); });
            w = button;
            break;
        }
        case ControlKind::GroupBox: {
            auto* group = new QGroupBox(ToQt(c.caption), this);
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            w = group;
            break;
        }
        case ControlKind::Picture:
        case ControlKind::Icon: {
            auto* label = new QLabel(this);
            QPixmap pix = c.kind == ControlKind::Icon ? LoadImageResource(c.resource, 32, 32) : LoadImageResource(c.resource);
            label->setPixmap(pix);
            if (c.kind == ControlKind::Icon && (c.style & CenterImage)) {
                label->setAlignment(Qt::AlignCenter);
                w = label;
                break;
            }
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = label;
            // The control takes the image's own size at its top left corner.
            if (!pix.isNull()) {
                w->setGeometry(QRect(r.topLeft(), pix.size() / pix.devicePixelRatio()));
                w->setProperty(kRawText, ToQt(c.caption));
                w->setVisible(c.visible);
                m_order.push_back(w);
                if (c.id >= 0)
                    m_controls[c.id] = w;
                continue;
            }
            break;
        }
        }
        w->setGeometry(r);
        w->setProperty(kRawText, ToQt(c.caption));
        w->setProperty("ravlenStyle", c.style);
        w->setFocusPolicy((c.style & TabStop) ? Qt::StrongFocus : Qt::NoFocus);
        w->setVisible(c.visible);
        m_order.push_back(w);
        if (c.id >= 0)
            m_controls[c.id] = w;
    }
}

void DialogWindow::AttachControl(int id, QWidget& member) {
    auto it = m_controls.find(id);
    if (it == m_controls.end())
        return;
    QWidget* old = it->second;
    member.setParent(this);
    member.setFont(old->font());
    member.setGeometry(old->geometry());
    member.setProperty(kRawText, old->property(kRawText));
    member.setProperty("ravlenStyle", old->property("ravlenStyle"));
    member.setFocusPolicy(old->focusPolicy());
    member.setEnabled(old->isEnabled());
    const uint32_t style = old->property("ravlenStyle").toUInt();
    if (auto* button = qobject_cast<QPushButton*>(&member)) {
        button->setText(ToQt(FromQt(old->property(kRawText).toString())));
        button->setAutoDefault(false);
        disconnect(button, &QPushButton::clicked, this, nullptr);
        connect(button, &QPushButton::clicked, this, [this, id] { ClickControl(id); });
    }
    if (auto* label = qobject_cast<QLabel*>(&member)) {
        label->setText(DisplayText(FromQt(old->property(kRawText).toString()), !(style & NoPrefix)));
        label->setAlignment(AlignmentOf(style));
        label->setWordWrap(true);
        ApplyFrame(label, style);
    }
    member.stackUnder(old);
    member.setVisible(!old->isHidden());
    for (auto& w : m_order)
        if (w == old)
            w = &member;
    it->second = &member;
    old->hide();
    old->deleteLater();
}

void DialogWindow::ApplyTabOrder() {
    QWidget* prev = nullptr;
    for (QWidget* w : m_order) {
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (prev)
            QWidget::setTabOrder(prev, w);
        prev = w;
    }
}

template <class F>
void DialogWindow::Dispatch(F&& handler) {
    ++g_handlerDepth;
    handler();
    --g_handlerDepth;
    if (g_handlerDepth == 0 && (!m_heldTicks.empty() || m_heldClose))
        QTimer::singleShot(0, this, [this] { DeliverHeldEvents(); });
}

void DialogWindow::DeliverHeldEvents() {
    if (g_handlerDepth > 0 || m_destroyed)
        return;
    std::set<unsigned> ticks;
    ticks.swap(m_heldTicks);
    for (unsigned id : ticks)
        if (IsTimerRunning(id) && !m_ended)
            Dispatch([&] { OnTimer(id); });
    if (m_heldClose) {
        m_heldClose = false;
        if (!m_ended)
            Dispatch([&] { OnClose(); });
    }
}

void DialogWindow::Create() {
    if (m_created)
        return;
    BuildControls();
    m_created = true;
    if (parentWidget())
        setWindowModality(Qt::ApplicationModal);
    show();
    Dispatch([&] { OnInitDialog(); });
    ApplyTabOrder();
}

void DialogWindow::RunModalLoop() {
    if (m_ended)
        return;
    // A modal loop delivers ticks again, also when it runs inside another dialog's handler.
    const int savedDepth = g_handlerDepth;
    g_handlerDepth = 0;
    if (g_modalHook) {
        g_modalHook(*this);
    } else {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec(QEventLoop::DialogExec);
        m_loop = nullptr;
    }
    g_handlerDepth = savedDepth;
}

void DialogWindow::Destroy() {
    if (m_destroyed || !m_created)
        return;
    m_destroyed = true;
    Dispatch([&] { OnDestroy(); });
    for (auto& [id, t] : m_timers)
        if (t.qtTimer)
            killTimer(t.qtTimer);
    m_timers.clear();
    FlashWindowEx(FLASHW_STOP);
    hide();
}

int DialogWindow::DoModal() {
    Create();
    RunModalLoop();
    Destroy();
    return m_result;
}

void DialogWindow::EndDialog(int result) {
    if (!m_ended)
        m_result = result;
    m_ended = true;
    if (m_loop)
        m_loop->exit(result);
}

void DialogWindow::DestroyWindow() { EndDialog(IDCANCEL); }

QWidget* DialogWindow::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

std::string DialogWindow::GetDlgItemText(int id) const {
    QWidget* w = Control(id);
    if (!w)
        return {};
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return FromQt(edit->text());
    return FromQt(w->property(kRawText).toString());
}

void DialogWindow::SetDlgItemText(int id, const std::string& text) {
    QWidget* w = Control(id);
    if (!w)
        return;
    const uint32_t style = w->property("ravlenStyle").toUInt();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (edit->text() != ToQt(text)) {
            edit->setText(ToQt(text));
            edit->setCursorPosition(0);
        }
        return;
    }
    w->setProperty(kRawText, ToQt(text));
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->pixmap().isNull())
            label->setText(DisplayText(text, !(style & NoPrefix)));
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->setText(ToQt(text));
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setTitle(ToQt(text));
    }
}

void DialogWindow::ShowControl(int id, bool show) {
    if (QWidget* w = Control(id))
        w->setVisible(show);
}

bool DialogWindow::IsControlVisible(int id) const {
    QWidget* w = Control(id);
    return w && !w->isHidden();
}

void DialogWindow::EnableControl(int id, bool enable) {
    if (QWidget* w = Control(id))
        w->setEnabled(enable);
}

bool DialogWindow::IsControlEnabled(int id) const {
    QWidget* w = Control(id);
    return w && w->isEnabled();
}

void DialogWindow::UpdateData(bool fromControls) {
    DataExchange dx(*this, fromControls);
    DoDataExchange(dx);
}

void DialogWindow::RepaintNow() {
    // What was invalidated since the last paint is painted and put on screen before this
    // returns; the rest of the window is already there. Every change of a control
    // invalidates it, so nothing the operator must see waits. Repainting all controls
    // instead cost milliseconds, and a monitor tick asks five times.
    if (isVisible()) {
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(this, &request);
    }
}

void DialogWindow::ClickControl(int id) {
    if (m_ended && m_destroyed)
        return;
    Dispatch([&] {
        if (id == IDOK)
            OnOK();
        else if (id == IDCANCEL)
            OnCancel();
        else
            OnCommand(id);
    });
}

void DialogWindow::SetTimer(unsigned id, unsigned periodMs) {
    TimerState& t = m_timers[id];
    if (t.qtTimer)
        killTimer(t.qtTimer);
    t.qtTimer = startTimer(static_cast<int>(periodMs));
    t.periodMs = periodMs;
}

void DialogWindow::KillTimer(unsigned id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    if (it->second.qtTimer)
        killTimer(it->second.qtTimer);
    m_timers.erase(it);
    m_heldTicks.erase(id);
}

bool DialogWindow::IsTimerRunning(unsigned id) const { return m_timers.count(id) != 0; }

unsigned DialogWindow::TimerPeriod(unsigned id) const {
    auto it = m_timers.find(id);
    return it == m_timers.end() ? 0 : it->second.periodMs;
}

bool DialogWindow::FireTimer(unsigned id) {
    if (!IsTimerRunning(id))
        return false;
    Dispatch([&] { OnTimer(id); });
    return true;
}

void DialogWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_flashTimer) {
        m_flashPhase = !m_flashPhase;
        update();
        return;
    }
    for (auto& [id, t] : m_timers) {
        if (t.qtTimer != event->timerId())
            continue;
        const unsigned timerId = id;
        if (g_handlerDepth > 0)
            m_heldTicks.insert(timerId);
        else if (!m_ended)
            Dispatch([&] { OnTimer(timerId); });
        return;
    }
    QDialog::timerEvent(event);
}

void DialogWindow::AppendSystemMenuSeparator() { m_menuItems.push_back({0, {}}); }

void DialogWindow::AppendSystemMenuItem(unsigned command, const std::string& text) {
    m_menuItems.push_back({command, text});
}

void DialogWindow::SendSysCommand(unsigned command) {
    Dispatch([&] { OnSysCommand(command); });
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* minimise = menu.addAction(tr("Mi&nimize"));
    minimise->setData(SC_MINIMIZE);
    QAction* close = menu.addAction(tr("&Close\tAlt+F4"));
    close->setData(SC_CLOSE);
    for (const MenuItem& item : m_menuItems) {
        if (item.command == 0) {
            menu.addSeparator();
        } else {
            QAction* a = menu.addAction(ToQt(item.text));
            a->setData(item.command);
        }
    }
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen)
        SendSysCommand(chosen->data().toUInt());
}

void DialogWindow::DefaultSysCommand(unsigned command) {
    switch (command & 0xFFF0) {
    case SC_CLOSE:
        OnClose();
        break;
    case SC_MINIMIZE:
        showMinimized();
        break;
    case SC_RESTORE:
        showNormal();
        break;
    default:
        break;
    }
}

void DialogWindow::FlashWindowEx(unsigned flags) {
    if (flags == FLASHW_STOP) {
        if (m_flashTimer)
            killTimer(m_flashTimer);
        m_flashTimer = 0;
        m_flashing = false;
        m_flashPhase = false;
        update();
        return;
    }
    m_flashing = true;
    if (!m_flashTimer)
        m_flashTimer = startTimer(500);
    QApplication::alert(this, 0);
}

void DialogWindow::SetLargeAndSmallIcon(const QIcon& icon) { setWindowIcon(icon); }

void DialogWindow::RequestClose() {
    if (g_handlerDepth > 0) {
        m_heldClose = true;
        return;
    }
    Dispatch([&] { OnClose(); });
}

void DialogWindow::DoDataExchange(DataExchange&) {}

bool DialogWindow::OnInitDialog() {
    UpdateData(false);
    return true;
}

void DialogWindow::BaseOnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void DialogWindow::BaseOnCancel() { EndDialog(IDCANCEL); }

void DialogWindow::OnOK() { BaseOnOK(); }
void DialogWindow::OnCancel() { BaseOnCancel(); }
void DialogWindow::OnClose() { OnCancel(); }
void DialogWindow::OnDestroy() {}
void DialogWindow::OnCommand(int) {}
void DialogWindow::OnSysCommand(unsigned command) { DefaultSysCommand(command); }
void DialogWindow::OnTimer(unsigned) {}
bool DialogWindow::OnPaintMinimized(QPainter&) { return false; }
QIcon DialogWindow::OnQueryDragIcon() { return windowIcon(); }

void DialogWindow::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (m_flashing && m_flashPhase) {
        // The visible half of the attention cue: a frame in the highlight colour.
        QPainter painter(this);
        QPen pen(palette().color(QPalette::Highlight));
        pen.setWidth(4);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(2, 2, -2, -2));
    }
}

namespace {

class MinimisedCover : public QWidget {
public:
    explicit MinimisedCover(DialogWindow* dialog, std::function<bool(QPainter&)> paint)
        : QWidget(dialog), m_paint(std::move(paint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (!m_paint(painter))
            painter.fillRect(rect(), palette().window());
    }

private:
    std::function<bool(QPainter&)> m_paint;
};

}  // namespace

void DialogWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        if (isMinimized()) {
            if (!m_minimisedCover)
                m_minimisedCover = new MinimisedCover(this, [this](QPainter& p) { return OnPaintMinimized(p); });
            m_minimisedCover->setGeometry(rect());
            m_minimisedCover->raise();
            m_minimisedCover->show();
        } else if (m_minimisedCover) {
            m_minimisedCover->hide();
        }
    }
    QDialog::changeEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    // The dialog decides itself whether it closes; the window system only asks.
    event->ignore();
    if (!m_ended)
        RequestClose();
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        ClickControl(IDCANCEL);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            if (button->isEnabled())
                button->click();
            return;
        }
        for (const ControlTemplate& c : m_template.controls)
            if (c.kind == ControlKind::DefPushButton && IsControlEnabled(c.id) && IsControlVisible(c.id)) {
                ClickControl(c.id);
                return;
            }
        return;
    }
    default:
        QDialog::keyPressEvent(event);
    }
}

void DialogWindow::reject() { ClickControl(IDCANCEL); }
void DialogWindow::accept() { ClickControl(IDOK); }

OwnerDrawButton::OwnerDrawButton() = default;

void OwnerDrawButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    unsigned state = 0;
    if (isDown())
        state |= ODS_SELECTED;
    if (!isEnabled())
        state |= ODS_DISABLED;
    if (hasFocus())
        state |= ODS_FOCUS;
    const bool focusOnly = m_painted && (state ^ m_lastState) == ODS_FOCUS;
    m_painted = true;
    m_lastState = state;
    OnDrawItem({focusOnly ? ODA_FOCUS : ODA_DRAWENTIRE, state, &painter, rect()});
}

ColorStatic::ColorStatic() = default;

void ColorStatic::RedrawNow() {
    if (isVisible())
        repaint();
}

void ColorStatic::paintEvent(QPaintEvent*) {
    QColor textBack, text;
    const QBrush& brush = OnCtlColor(textBack, text);
    QPainter painter(this);
    painter.fillRect(rect(), brush);
    QStyleOptionFrame frameOpt;
    frameOpt.initFrom(this);
    drawFrame(&painter);
    painter.setPen(text);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(textBack);
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextWordWrap, this->text());
}

void Pause(unsigned ms) {
    Clock& clock = CurrentClock();
    if (auto* v = dynamic_cast<VirtualClock*>(&clock))
        v->RecordPause(ms);
    clock.Sleep(static_cast<uint64_t>(ms) * 1000);
}

std::string ApplicationTitle() {
    if (QCoreApplication::instance())
        return FromQt(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    return "RavlenCtrl";
}

void SetModalDialogHook(ModalDialogHook hook) { g_modalHook = std::move(hook); }

void SetMessageBoxResponder(MessageBoxResponder responder) {
    g_responder = std::move(responder);
    g_boxHistory.clear();
}

const std::vector<MessageBoxRequest>& MessageBoxHistory() { return g_boxHistory; }

int MessageBox(const std::string& text, unsigned type) {
    MessageBoxRequest request{ApplicationTitle(), text, type};
    g_boxHistory.push_back(request);
    const bool question = (type & 0xF) == MB_YESNO;
    // The box runs its own loop, in which ticks are delivered again.
    const int savedDepth = g_handlerDepth;
    g_handlerDepth = 0;
    OpenQuestion open{request.caption, 0};
    if (question)
        g_openQuestions.push_back(&open);
    int result;
    if (g_responder) {
        result = g_responder(request);
    } else {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (type & 0xF0) {
        case 0x10: icon = QMessageBox::Critical; break;
        case MB_ICONQUESTION: icon = QMessageBox::Question; break;
        case MB_ICONEXCLAMATION: icon = QMessageBox::Warning; break;
        case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
        default: break;
        }
        QWidget* parent = QApplication::activeWindow();
        QMessageBox box(icon, ToQt(request.caption), ToQt(text),
                        question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, parent);
        if (type & MB_TOPMOST)
            box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        box.setObjectName(QStringLiteral("ravlenMessageBox"));
        const int r = box.exec();
        result = r == QMessageBox::Yes ? IDYES : r == QMessageBox::No ? IDNO : IDOK;
    }
    if (question) {
        g_openQuestions.erase(std::remove(g_openQuestions.begin(), g_openQuestions.end(), &open), g_openQuestions.end());
        if (open.answer)
            result = open.answer;
    }
    g_handlerDepth = savedDepth;
    return result;
}

bool AnswerOpenQuestion(const std::string& title, int answer) {
    bool found = false;
    for (OpenQuestion* q : g_openQuestions)
        if (q->caption == title && q->answer == 0) {
            q->answer = answer;
            found = true;
        }
    if (!g_responder && found) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->isVisible() && FromQt(box->windowTitle()) == title)
                box->done(answer == IDNO ? QMessageBox::No : QMessageBox::Yes);
        }
    }
    return found;
}

}  // namespace platform
