#include <gtest/gtest.h>

#include "ui/indicator_button.h"

using namespace platform;

namespace {

// The HV ON button (66 x 22 dialog units) at the dialog font's base units.
constexpr int kW = 99;
constexpr int kH = 36;

struct LayoutCase {
    const char* name;
    unsigned action, state, lastState;
    int width, height;
    bool hasIcon;
    bool hasCaption;
    int textWidth;
    // expected
    bool face;
    bool icon;
    QPoint iconPos;
    bool caption;
    QPoint captionPos;
    bool focus;
    QRect focusRect;
    bool embossed;
};

// 32 x 32 icons and a 13-pixel caption throughout. Each case: name; action, state, previous
// state, button size, icon?, caption?, caption width; then the expected face?, icon?, icon
// place, caption?, caption place, focus?, focus rectangle, embossed?
// clang-format off
const LayoutCase kCases[] = {
    // Icon at the margin, caption centred in the 55 pixels right of x = 44.
    {"plain", ODA_DRAWENTIRE, 0, 0, kW, kH, true, true, 35,
     true, true, {4, 2}, true, {54, 10}, false, {}, false},
    {"pressed", ODA_SELECT, ODS_SELECTED, 0, kW, kH, true, true, 35,
     true, true, {5, 3}, true, {55, 11}, false, {}, false},
    // A caption wider than its room starts right after the icon and may run past the edge.
    {"wide caption", ODA_DRAWENTIRE, 0, 0, kW, kH, true, true, 80,
     true, true, {4, 2}, true, {44, 10}, false, {}, false},
    {"wide caption pressed", ODA_SELECT, ODS_SELECTED, 0, kW, kH, true, true, 80,
     true, true, {5, 3}, true, {45, 11}, false, {}, false},
    {"icon alone is centred", ODA_DRAWENTIRE, 0, 0, kW, kH, true, false, 0,
     true, true, {33, 2}, false, {}, false, {}, false},
    {"caption alone is centred", ODA_DRAWENTIRE, 0, 0, kW, kH, false, true, 35,
     true, false, {}, true, {32, 10}, false, {}, false},
    // Halving rounds down, also below zero.
    {"caption wider than the button", ODA_DRAWENTIRE, 0, 0, 40, 12, false, true, 45,
     true, false, {}, true, {-3, -2}, false, {}, false},
    {"icon taller than the button", ODA_DRAWENTIRE, 0, 0, 40, 27, true, true, 10,
     true, true, {4, -3}, true, {44, 6}, false, {}, false},
    {"focused", ODA_DRAWENTIRE, ODS_FOCUS, ODS_FOCUS, kW, kH, true, true, 35,
     true, true, {4, 2}, true, {54, 10}, true, {3, 3, 93, 30}, false},
    {"focused and pressed: the focus rectangle stays", ODA_SELECT, ODS_FOCUS | ODS_SELECTED, ODS_FOCUS, kW, kH, true, true, 35,
     true, true, {5, 3}, true, {55, 11}, true, {3, 3, 93, 30}, false},
    {"disabled: embossed, never a focus rectangle", ODA_DRAWENTIRE, ODS_DISABLED | ODS_FOCUS, 0, kW, kH, true, true, 35,
     true, true, {4, 2}, true, {54, 10}, false, {}, true},
    {"focus arriving: only the rectangle", ODA_FOCUS, ODS_FOCUS, 0, kW, kH, true, true, 35,
     false, false, {}, false, {}, true, {3, 3, 93, 30}, false},
    {"focus leaving: the rectangle is inverted away", ODA_FOCUS, 0, ODS_FOCUS, kW, kH, true, true, 35,
     false, false, {}, false, {}, true, {3, 3, 93, 30}, false},
    {"focus draw without a change draws nothing", ODA_FOCUS, ODS_FOCUS, ODS_FOCUS, kW, kH, true, true, 35,
     false, false, {}, false, {}, false, {}, false},
    {"focus draw on a disabled button", ODA_FOCUS, ODS_DISABLED, ODS_FOCUS, kW, kH, true, true, 35,
     false, false, {}, false, {}, false, {}, true},
    // Small buttons: the inset is a quarter of the smaller side.
    {"smaller side 16", ODA_DRAWENTIRE, ODS_FOCUS, ODS_FOCUS, 40, 16, false, false, 0,
     true, false, {}, false, {}, true, {3, 3, 34, 10}, false},
    {"smaller side 15", ODA_DRAWENTIRE, ODS_FOCUS, ODS_FOCUS, 15, 40, false, false, 0,
     true, false, {}, false, {}, true, {3, 3, 9, 34}, false},
    {"smaller side 11", ODA_DRAWENTIRE, ODS_FOCUS, ODS_FOCUS, 30, 11, false, false, 0,
     true, false, {}, false, {}, true, {2, 2, 26, 7}, false},
    {"smaller side 3", ODA_DRAWENTIRE, ODS_FOCUS, ODS_FOCUS, 3, 20, false, false, 0,
     true, false, {}, false, {}, true, {0, 0, 3, 20}, false},
};
// clang-format on

TEST(IndicatorLayout, FollowsTheDrawRules) {
    for (const LayoutCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const IndicatorLayout l = ComputeIndicatorLayout(c.action, c.state, c.lastState, c.width, c.height,
                                                         c.hasIcon, c.hasIcon ? 32 : 0, c.hasIcon ? 32 : 0,
                                                         c.hasCaption, c.textWidth, c.hasCaption ? 13 : 0);
        EXPECT_EQ(l.redrawFace, c.face);
        EXPECT_EQ(l.drawIcon, c.icon);
        if (c.icon) {
            EXPECT_EQ(l.iconPos, c.iconPos);
        }
        EXPECT_EQ(l.drawCaption, c.caption);
        if (c.caption) {
            EXPECT_EQ(l.captionPos, c.captionPos);
        }
        EXPECT_EQ(l.drawFocus, c.focus);
        if (c.focus) {
            EXPECT_EQ(l.focusRect, c.focusRect);
        }
        EXPECT_EQ(l.embossed, c.embossed);
    }
}

TEST(IndicatorLayout, MarginAndGapMoveTheCaptionRoom) {
    const IndicatorLayout l = ComputeIndicatorLayout(ODA_DRAWENTIRE, 0, 0, kW, kH, true, 32, 32, true, 35, 13,
                                                     /*margin*/ 6, /*gap*/ 2);
    EXPECT_EQ(l.iconPos, QPoint(6, 2));
    EXPECT_EQ(l.captionPos, QPoint(40 + (99 - 40 - 35) / 2, 10));
}

}  // namespace
