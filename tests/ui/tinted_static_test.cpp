#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>

#include "tests/support/test_common.h"
#include "ui/tinted_static.h"

namespace {

class TintedStaticTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }

    static void ExpectColours(CTintedStatic& s, QColor back, QColor text) {
        QColor textBack, textColour;
        const QBrush& brush = s.OnCtlColor(textBack, textColour);
        EXPECT_EQ(s.BackColor(), back);
        EXPECT_EQ(s.TextColor(), text);
        EXPECT_EQ(brush.color(), back);
        EXPECT_EQ(brush.style(), Qt::SolidPattern);
        EXPECT_EQ(textBack, back);
        EXPECT_EQ(textColour, text);
    }
};

TEST_F(TintedStaticTest, StartsWithBlackTextOnButtonFace) {
    EXPECT_EQ(ButtonFaceColor(), QApplication::palette().color(QPalette::Button));
    CTintedStatic s;
    ExpectColours(s, ButtonFaceColor(), QColor(0, 0, 0));
    EXPECT_EQ(s.RepaintCount(), 0u);
}

TEST_F(TintedStaticTest, TextColourKeepsTheBrushBackColourAlwaysReplacesIt) {
    CTintedStatic s;
    struct Step {
        bool back;  // SetBackColor, else SetTextColor
        QRgb colour;
        bool newBrush;
    };
    const Step steps[] = {
        {false, RGB(0, 0, 127), false}, {true, RGB(255, 0, 0), true},
        {true, RGB(255, 0, 0), true},  // the same colour still makes a new brush
        {false, RGB(0, 0, 127), false}, {true, RGB(255, 255, 255), true},
    };
    QColor back = s.BackColor(), text = s.TextColor();
    unsigned serial = s.BrushSerial();
    unsigned repaints = 0;
    for (const Step& step : steps) {
        if (step.back) {
            s.SetBackColor(step.colour);
            back = step.colour;
        } else {
            s.SetTextColor(step.colour);
            text = step.colour;
        }
        EXPECT_EQ(s.BrushSerial() != serial, step.newBrush);
        serial = s.BrushSerial();
        EXPECT_EQ(s.RepaintCount(), ++repaints);  // every call repaints, changed or not
        ExpectColours(s, back, text);
    }
}

TEST_F(TintedStaticTest, BrushesOfDifferentControlsAreDistinct) {
    CTintedStatic a, b;
    EXPECT_NE(a.BrushSerial(), b.BrushSerial());
    a.SetBackColor(RGB(0, 255, 0));
    EXPECT_NE(a.BrushSerial(), b.BrushSerial());
}

TEST_F(TintedStaticTest, PaintsItsColoursAlsoAfterChangesWhileHidden) {
    CTintedStatic s;
    s.setText("W");
    s.resize(40, 20);
    s.SetBackColor(RGB(255, 255, 0));
    s.SetTextColor(RGB(255, 0, 0));
    EXPECT_EQ(s.RepaintCount(), 2u);
    s.show();
    const QImage image = s.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(38, 18)), QColor(255, 255, 0));
    bool redText = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            redText |= qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
        }
    EXPECT_TRUE(redText);
}

}  // namespace
