#include "ui/tinted_static.h"

#include <QApplication>
#include <QPalette>

namespace {
// Every brush the controls create gets its own number, so a replaced brush is told apart
// from the one before even when both have the same colour.
unsigned g_nextBrushSerial = 0;
}  // namespace

QColor ButtonFaceColor() {
    return QApplication::palette().color(QPalette::Button);
}

CTintedStatic::CTintedStatic()
    : m_backBrush(std::make_unique<QBrush>(ButtonFaceColor())),
      m_backColor(ButtonFaceColor()),
      m_textColor(QColor(0, 0, 0)),
      m_brushSerial(++g_nextBrushSerial) {}

CTintedStatic::~CTintedStatic() = default;

void CTintedStatic::SetTextColor(QColor color) {
    m_textColor = color;
    ++m_repaints;
    RedrawNow();
}

void CTintedStatic::SetBackColor(QColor color) {
    m_backColor = color;
    m_backBrush.reset();
    m_backBrush = std::make_unique<QBrush>(m_backColor);
    m_brushSerial = ++g_nextBrushSerial;
    ++m_repaints;
    RedrawNow();
}

const QBrush& CTintedStatic::OnCtlColor(QColor& textBackground, QColor& text) {
    textBackground = m_backColor;
    text = m_textColor;
    return *m_backBrush;
}
