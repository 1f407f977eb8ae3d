// A static text with its own background and text colour, changed at any time with an
// immediate repaint.
#pragma once

#include <QBrush>
#include <QColor>
#include <memory>

#include "platform/dialog_window.h"

// Colours as the program writes them: red, green, blue.
constexpr QRgb RGB(int r, int g, int b) { return qRgb(r, g, b); }
// The system colour of button faces.
QColor ButtonFaceColor();

class CTintedStatic : public platform::ColorStatic {
    Q_OBJECT
public:
    CTintedStatic();
    ~CTintedStatic() override;

    void SetTextColor(QColor color);
    void SetBackColor(QColor color);
    const QBrush& OnCtlColor(QColor& textBackground, QColor& text) override;

    QColor BackColor() const { return m_backColor; }
    QColor TextColor() const { return m_textColor; }
    // Identity of the brush in use: a new brush gets a new serial.
    unsigned BrushSerial() const { return m_brushSerial; }
    unsigned RepaintCount() const { return m_repaints; }

private:
    std::unique_ptr<QBrush> m_backBrush;
    QColor m_backColor;
    QColor m_textColor;
    unsigned m_brushSerial = 0;
    unsigned m_repaints = 0;
};
