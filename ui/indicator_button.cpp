#include "ui/indicator_button.h"

#include <QPaintEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

using platform::ODA_FOCUS;
using platform::ODS_DISABLED;
using platform::ODS_FOCUS;
using platform::ODS_SELECTED;

IndicatorLayout ComputeIndicatorLayout(unsigned action, unsigned state, unsigned lastState, int width,
                                       int height, bool hasIcon, int iconWidth, int iconHeight,
                                       bool hasCaption, int textWidth, int textHeight, int iconMargin,
                                       int iconTextGap) {
    IndicatorLayout layout;
    const bool disabled = (state & ODS_DISABLED) != 0;
    const int shift = (state & ODS_SELECTED) ? 1 : 0;
    layout.embossed = disabled;
    layout.redrawFace = action != ODA_FOCUS;

    // Halving is a shift, so a negative difference rounds down like the rest of the geometry.
    if (layout.redrawFace) {
        if (hasIcon) {
            layout.drawIcon = true;
            const int x = hasCaption ? iconMargin : (width - iconWidth) >> 1;
            const int y = (height - iconHeight) >> 1;
            layout.iconPos = QPoint(x + shift, y + shift);
        }
        if (hasCaption) {
            layout.drawCaption = true;
            int x;
            if (hasIcon) {
                const int room = iconMargin + iconWidth + iconTextGap;
                x = room + (std::max(0, width - room - textWidth) >> 1);
            } else {
                x = (width - textWidth) >> 1;
            }
            const int y = ((height - textHeight) >> 1) - 1;
            layout.captionPos = QPoint(x + shift, y + shift);
        }
    }

    // The focus rectangle is inverted, so it is drawn when it has to appear or disappear and
    // after every face redraw of a focused button; a disabled button never shows one.
    const bool focusChanged = ((state ^ lastState) & ODS_FOCUS) != 0;
    const bool focusOnNewFace = layout.redrawFace && (state & ODS_FOCUS);
    if (!disabled && (focusChanged || focusOnNewFace)) {
        layout.drawFocus = true;
        const int smaller = std::min(width, height);
        const int d = smaller >= 16 ? 3 : smaller / 4;
        layout.focusRect = QRect(d, d, width - 2 * d, height - 2 * d);
    }
    return layout;
}

namespace {

// The parts of an image that the embossed look keeps: opaque pixels that are not white,
// as the platform's monochrome conversion against a white ground would keep them.
QImage InkMask(const QPixmap& pixmap, const QColor& color) {
    QImage source = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QImage mask(source.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    const QRgb ink = color.rgb() | 0xFF000000u;
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(mask.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const QRgb px = in[x];
            const bool opaque = qAlpha(px) >= 128;
            const bool white = qRed(px) > 0xE0 && qGreen(px) > 0xE0 && qBlue(px) > 0xE0;
            if (opaque && !white)
                out[x] = ink;
        }
    }
    return mask;
}

// Disabled look: the shape in the highlight colour one pixel down and right, then in the
// shadow colour in place.
void DrawEmbossedPixmap(QPainter& painter, const QRect& target, const QPixmap& pixmap,
                        const QPalette& palette) {
    painter.drawImage(target.translated(1, 1), InkMask(pixmap, palette.color(QPalette::Light)));
    painter.drawImage(target, InkMask(pixmap, palette.color(QPalette::Dark)));
}

void DrawCaption(QPainter& painter, const QRect& box, const QString& text, bool embossed,
                 const QPalette& palette) {
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;
    painter.save();
    if (embossed) {
        painter.setPen(palette.color(QPalette::Light));
        painter.drawText(box.translated(1, 1), flags, text);
        painter.setPen(palette.color(QPalette::Dark));
    } else {
        painter.setPen(palette.color(QPalette::ButtonText));
    }
    painter.drawText(box, flags, text);
    painter.restore();
}

// A dotted frame drawn by inverting every other pixel, so drawing it twice removes it.
void InvertDottedFrame(QPainter& painter, const QRect& frame) {
    if (frame.width() <= 0 || frame.height() <= 0)
        return;
    QPolygon dots;
    const auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0)
            dots << QPoint(x, y);
    };
    for (int x = frame.left(); x <= frame.right(); ++x) {
        dot(x, frame.top());
        if (frame.bottom() != frame.top())
            dot(x, frame.bottom());
    }
    for (int y = frame.top() + 1; y < frame.bottom(); ++y) {
        dot(frame.left(), y);
        if (frame.right() != frame.left())
            dot(frame.right(), y);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    const QPaintEngine* engine = painter.paintEngine();
    if (engine && engine->hasFeature(QPaintEngine::RasterOpModes)) {
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(QPen(Qt::white, 0));
    } else {
        painter.setPen(QPen(Qt::black, 0));
    }
    painter.drawPoints(dots);
    painter.restore();
}

}  // namespace

CIndicatorButton::CIndicatorButton() = default;

CIndicatorButton::~CIndicatorButton() = default;

bool CIndicatorButton::LoadButtonIcon(int resourceId, int width, int height) {
    m_icon = platform::LoadImageResource(resourceId, width, height);
    if (m_icon.isNull())
        return false;
    // A size of 0 asks for the resource's own size.
    m_iconWidth = width > 0 ? width : m_icon.width();
    m_iconHeight = height > 0 ? height : m_icon.height();
    update();
    return true;
}

void CIndicatorButton::OnDrawItem(const platform::DrawItem& item) {
    const QRect r = item.rect;
    const QString caption = text();
    const QFontMetrics metrics(item.painter->font());
    // Measured with the "&" markers, as the layout has always counted them.
    const int textWidth = caption.isEmpty() ? 0 : metrics.horizontalAdvance(caption);
    const int textHeight = caption.isEmpty() ? 0 : metrics.height();

    unsigned action = item.action;
    unsigned lastState = m_lastItemState;
    if (m_canvas.size() != r.size()) {
        m_canvas = QImage(r.size(), QImage::Format_ARGB32_Premultiplied);
        // Nothing is on the new canvas for a focus-change draw to work on: draw the whole
        // button as it has to look now.
        if (action == ODA_FOCUS) {
            action = platform::ODA_DRAWENTIRE;
            lastState = item.state;
        }
    }

    const IndicatorLayout layout = ComputeIndicatorLayout(
        action, item.state, lastState, r.width(), r.height(), HasIcon(), m_iconWidth, m_iconHeight,
        !caption.isEmpty(), textWidth, textHeight, m_iconMargin, m_iconTextGap);

    QPainter painter(&m_canvas);
    painter.setFont(item.painter->font());
    const QRect face(QPoint(0, 0), r.size());
    if (layout.redrawFace) {
        // The face covers everything drawn before, an old focus rectangle included.
        painter.fillRect(face, palette().color(QPalette::Window));
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = face;
        option.features = QStyleOptionButton::None;
        option.state &= ~(QStyle::State_HasFocus | QStyle::State_Sunken | QStyle::State_Raised |
                          QStyle::State_On | QStyle::State_Enabled);
        if (!(item.state & ODS_DISABLED))
            option.state |= QStyle::State_Enabled;
        option.state |= (item.state & ODS_SELECTED) ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);

        if (layout.drawIcon) {
            const QRect target(layout.iconPos, QSize(m_iconWidth, m_iconHeight));
            if (layout.embossed) {
                DrawEmbossedPixmap(painter, target, m_icon, palette());
            } else {
                painter.drawPixmap(target, m_icon);
            }
        }
        if (layout.drawCaption) {
            // Wide enough for the whole text: a caption that does not fit runs past the edge.
            const QRect box(layout.captionPos, QSize(std::max(textWidth, r.width()) + 8, textHeight));
            DrawCaption(painter, box, caption, layout.embossed, palette());
        }
    }
    if (layout.drawFocus)
        InvertDottedFrame(painter, layout.focusRect);
    painter.end();

    item.painter->drawImage(r.topLeft(), m_canvas);
    m_lastItemState = item.state;
    m_lastLayout = layout;
}
