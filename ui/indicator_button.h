// A push button that draws itself: a raised or pressed face, an icon on the left and the
// caption centred in the room right of the icon.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <string>

#include "platform/dialog_window.h"

// Where the icon and the caption go on a button of W x H pixels.
struct IndicatorLayout {
    bool drawIcon = false;
    QPoint iconPos;
    bool drawCaption = false;
    QPoint captionPos;
    bool drawFocus = false;
    QRect focusRect;
    bool redrawFace = true;  // false for a focus-change draw
    bool embossed = false;
};

// Pure geometry of one draw: item action and state as the platform passes them, the state of
// the previous draw, the icon size (0 x 0 without icon) and the caption's measured size.
IndicatorLayout ComputeIndicatorLayout(unsigned action, unsigned state, unsigned lastState, int width,
                                       int height, bool hasIcon, int iconWidth, int iconHeight,
                                       bool hasCaption, int textWidth, int textHeight, int iconMargin = 4,
                                       int iconTextGap = 8);

class CIndicatorButton : public platform::OwnerDrawButton {
    Q_OBJECT
public:
    CIndicatorButton();
    ~CIndicatorButton() override;

    bool LoadButtonIcon(int resourceId, int width, int height);
    void OnDrawItem(const platform::DrawItem& item) override;

    bool HasIcon() const { return !m_icon.isNull(); }
    int IconWidth() const { return m_iconWidth; }
    int IconHeight() const { return m_iconHeight; }
    unsigned LastItemState() const { return m_lastItemState; }
    // The geometry of the last draw, for inspection.
    const IndicatorLayout& LastLayout() const { return m_lastLayout; }

private:
    int m_iconMargin = 4;
    int m_iconTextGap = 8;
    QPixmap m_icon;
    int m_iconWidth = 0;
    int m_iconHeight = 0;
    unsigned m_lastItemState = 0;
    IndicatorLayout m_lastLayout;
    // What the button showed after its last draw. A focus-change draw only inverts the focus
    // rectangle, so it has to work on the pixels of the draw before it.
    QImage m_canvas;
};
