#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/test_common.h"
#include "ui/indicator_button.h"

using namespace platform;

namespace {

class IndicatorButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.setText("HV OFF");
        button.resize(98, 36);
    }

    // One draw as the platform asks for it, onto the given target.
    void Draw(QImage& canvas, unsigned action, unsigned state) {
        QPainter painter(&canvas);
        painter.setFont(button.font());
        button.OnDrawItem({action, state, &painter, button.rect()});
    }
    QImage Fresh() const {
        QImage canvas(button.size(), QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::magenta);
        return canvas;
    }
    QImage DrawFresh(unsigned action, unsigned state) {
        QImage canvas = Fresh();
        Draw(canvas, action, state);
        return canvas;
    }

    static bool IsRed(QRgb c) { return qRed(c) > 150 && qGreen(c) < 80 && qBlue(c) < 80; }
    static std::vector<QPoint> RedPixels(const QImage& image) {
        std::vector<QPoint> out;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (IsRed(image.pixel(x, y)))
                    out.emplace_back(x, y);
        return out;
    }

    // The application has to exist before the first widget.
    struct Application {
        Application() { EnsureApplication(); }
    } application;
    CIndicatorButton button;
};

TEST_F(IndicatorButtonTest, LoadsTheIconAtTheRequestedSize) {
    EXPECT_FALSE(button.HasIcon());
    ASSERT_TRUE(button.LoadButtonIcon(IDI_STOP, 32, 32));
    EXPECT_TRUE(button.HasIcon());
    EXPECT_EQ(button.IconWidth(), 32);
    EXPECT_EQ(button.IconHeight(), 32);
}

TEST_F(IndicatorButtonTest, MissingIconLeavesTheCaptionCentredAlone) {
    EXPECT_FALSE(button.LoadButtonIcon(9999, 32, 32));
    EXPECT_FALSE(button.HasIcon());
    DrawFresh(ODA_DRAWENTIRE, 0);
    EXPECT_FALSE(button.LastLayout().drawIcon);
    const int textWidth = QFontMetrics(button.font()).horizontalAdvance("HV OFF");
    EXPECT_EQ(button.LastLayout().captionPos.x(), (98 - textWidth) >> 1);
}

TEST_F(IndicatorButtonTest, IconSitsAtTheMarginAndMovesWhenPressed) {
    ASSERT_TRUE(button.LoadButtonIcon(IDI_STOP, 32, 32));
    const std::vector<QPoint> up = RedPixels(DrawFresh(ODA_DRAWENTIRE, 0));
    const std::vector<QPoint> down = RedPixels(DrawFresh(ODA_SELECT, ODS_SELECTED));
    ASSERT_GT(up.size(), 200u);
    for (const QPoint& p : up) {
        EXPECT_GE(p.x(), 4);
        EXPECT_LT(p.x(), 4 + 32);
        EXPECT_GE(p.y(), 2);
        EXPECT_LT(p.y(), 2 + 32);
    }
    std::vector<QPoint> shifted;
    for (const QPoint& p : up)
        shifted.push_back(p + QPoint(1, 1));
    EXPECT_EQ(down, shifted);
}

TEST_F(IndicatorButtonTest, DisabledDrawsGreyAndNoFocus) {
    ASSERT_TRUE(button.LoadButtonIcon(IDI_STOP, 32, 32));
    const QImage plain = DrawFresh(ODA_DRAWENTIRE, 0);
    const QImage disabled = DrawFresh(ODA_DRAWENTIRE, ODS_DISABLED | ODS_FOCUS);
    EXPECT_TRUE(RedPixels(disabled).empty());
    EXPECT_FALSE(button.LastLayout().drawFocus);
    EXPECT_TRUE(button.LastLayout().embossed);
    // The shape is still there, in grey.
    EXPECT_NE(disabled.copy(4, 2, 32, 32), plain.copy(4, 2, 32, 32));
}

TEST_F(IndicatorButtonTest, FocusRectangleIsInvertedOnAndOff) {
    ASSERT_TRUE(button.LoadButtonIcon(IDI_STOP, 32, 32));
    const QImage plain = DrawFresh(ODA_DRAWENTIRE, 0);

    QImage canvas = Fresh();
    Draw(canvas, ODA_DRAWENTIRE, ODS_FOCUS);
    EXPECT_NE(canvas, plain);
    // Only the frame at inset 3 differs from the plain face.
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const bool onFrame =
                (x == 3 || x == 94 || y == 3 || y == 32) && x >= 3 && x <= 94 && y >= 3 && y <= 32;
            if (!onFrame) {
                ASSERT_EQ(canvas.pixel(x, y), plain.pixel(x, y)) << x << "," << y;
            }
        }

    // Focus leaving: the face is not redrawn, the second inversion removes the rectangle. The
    // button keeps its own pixels, so the target need not keep them.
    EXPECT_EQ(DrawFresh(ODA_FOCUS, 0), plain);
    EXPECT_FALSE(button.LastLayout().redrawFace);
    EXPECT_EQ(button.LastItemState(), 0u);
}

TEST_F(IndicatorButtonTest, FocusDrawWithoutChangeKeepsThePicture) {
    ASSERT_TRUE(button.LoadButtonIcon(IDI_STOP, 32, 32));
    const QImage pressed = DrawFresh(ODA_SELECT, ODS_SELECTED);
    EXPECT_EQ(DrawFresh(ODA_FOCUS, ODS_SELECTED), pressed);
    EXPECT_FALSE(button.LastLayout().drawFocus);
}

TEST_F(IndicatorButtonTest, FirstDrawBeingAFocusDrawShowsTheWholeButton) {
    const QImage first = DrawFresh(ODA_FOCUS, ODS_FOCUS);
    CIndicatorButton other;
    other.setText(button.text());
    other.resize(button.size());
    QImage expected = Fresh();
    {
        QPainter painter(&expected);
        painter.setFont(other.font());
        other.OnDrawItem({ODA_DRAWENTIRE, ODS_FOCUS, &painter, other.rect()});
    }
    EXPECT_EQ(first, expected);
    EXPECT_TRUE(button.LastLayout().drawFocus);
}

TEST_F(IndicatorButtonTest, RemembersTheStateOfEveryDraw) {
    for (unsigned state : {ODS_FOCUS, ODS_FOCUS | ODS_SELECTED, ODS_DISABLED, 0u}) {
        DrawFresh(ODA_DRAWENTIRE, state);
        EXPECT_EQ(button.LastItemState(), state);
        DrawFresh(ODA_FOCUS, state ^ ODS_FOCUS);
        EXPECT_EQ(button.LastItemState(), state ^ ODS_FOCUS);
    }
}

TEST_F(IndicatorButtonTest, MnemonicMarkerIsHiddenAndUnderlinesTheNextLetter) {
    // Dark pixels in the caption's band; the button has no icon here.
    auto captionInk = [&](const char* text) {
        button.setText(text);
        const QImage image = DrawFresh(ODA_DRAWENTIRE, 0);
        const int top = button.LastLayout().captionPos.y();
        const int bottom = top + QFontMetrics(button.font()).height();
        int dark = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
            for (int x = 2; x < image.width() - 2; ++x)
                if (qGray(image.pixel(x, y)) < 100)
                    ++dark;
        return dark;
    };
    const int plain = captionInk("Exit");
    const int marked = captionInk("E&xit");
    const int underline = QFontMetrics(button.font()).horizontalAdvance("x");
    EXPECT_GT(marked, plain);                  // the underline under the x
    EXPECT_LE(marked, plain + 2 * underline);  // and no "&" glyph
}

}  // namespace
