#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "resources/art/operating_curves.h"
#include "resources/resource_ids.h"
#include "tests/support/test_common.h"

namespace {

TEST(OperatingCurves, CurrentLimitOfEachSet) {
    struct Case {
        LimitSet set;
        double kv;
        double ua;
    };
    const Case cases[] = {
        {LimitSet::Kv40W4, 9.9, 0},
        {LimitSet::Kv40W4, 10, 200},
        {LimitSet::Kv40W4, 20, 200},
        {LimitSet::Kv40W4, 30, 133.333},
        {LimitSet::Kv40W4, 40, 100},
        {LimitSet::Kv40W4, 40.1, 0},
        {LimitSet::Kv50W4, 10, 200},
        {LimitSet::Kv50W4, 20, 200},
        {LimitSet::Kv50W4, 50, 80},
        {LimitSet::Kv50W4, 50.1, 0},
        {LimitSet::Kv50W10, 10, 200},
        {LimitSet::Kv50W10, 50, 200},
        {LimitSet::Kv50W10, 50.1, 0},
        // The 70 kV set allows 143 uA from 35 kV up, which is 10 W at 70 kV.
        {LimitSet::Kv70W10, 34.9, 0},
        {LimitSet::Kv70W10, 35, 143},
        {LimitSet::Kv70W10, 50, 143},
        {LimitSet::Kv70W10, 70, 142.857},
        {LimitSet::Kv70W10, 70.1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "set " << int(c.set) << " at " << c.kv << " kV");
        EXPECT_NEAR(OperatingCurrentLimit(LimitSetData(c.set), c.kv), c.ua, 0.001);
    }
}

TEST(OperatingCurves, TitlesAndAxes) {
    struct Case {
        int id;
        const char* title;
        double kvAxisMax;
    };
    const Case cases[] = {
        {IDB_CURVE_40KV4W, "X-Ray Tube 40 kV, 4 W", 50},   {IDB_CURVE_50KV4W, "X-Ray Tube 50 kV, 4 W", 60},
        {IDB_CURVE_TELVO, "Telvo Tube 50 kV, 4 W", 60},    {IDB_CURVE_50KV10W, "X-Ray Tube 50 kV, 10 W", 60},
        {IDB_CURVE_70KV10W, "X-Ray Tube 70 kV, 10 W", 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const OperatingCurveSpec* curve = FindOperatingCurve(c.id);
        ASSERT_NE(curve, nullptr);
        EXPECT_EQ(OperatingCurveTitle(*curve), c.title);
        EXPECT_EQ(OperatingCurveChart(*curve).kvAxisMax, c.kvAxisMax);
        EXPECT_EQ(OperatingCurveChart(*curve).uaAxisMax, 250);
    }
    EXPECT_EQ(FindOperatingCurve(IDB_TUBE), nullptr);
}

// True when a red pixel of the line lies within 1 pixel of the point.
bool RedNear(const QImage& image, QPointF at) {
    const int cx = int(std::lround(at.x())), cy = int(std::lround(at.y()));
    for (int y = cy - 1; y <= cy + 1; ++y)
        for (int x = cx - 1; x <= cx + 1; ++x) {
            if (!image.rect().contains(x, y))
                continue;
            const QRgb c = image.pixel(x, y);
            if (qRed(c) > 170 && qGreen(c) < 110 && qBlue(c) < 110)
                return true;
        }
    return false;
}

TEST(OperatingCurves, LinePassesThroughTheLimitPoints) {
    EnsureApplication();
    for (int id :
         {IDB_CURVE_40KV4W, IDB_CURVE_50KV4W, IDB_CURVE_TELVO, IDB_CURVE_50KV10W, IDB_CURVE_70KV10W}) {
        SCOPED_TRACE(id);
        const OperatingCurveSpec& curve = *FindOperatingCurve(id);
        const LimitSetValues& v = LimitSetData(curve.set);
        const CurveChart chart = OperatingCurveChart(curve);
        const QImage image = RenderOperatingCurve(id);
        ASSERT_EQ(image.size(), QSize(kCurveWidth, kCurveHeight));

        const double knee = std::min(v.kvMax, v.powerMaxW * 1000 / v.uaMax);
        const double midFall = (knee + v.kvMax) / 2;
        struct Point {
            double kv, ua;
            bool red;
        };
        const Point points[] = {
            {v.kvMin / 2, 0, true},        // zero below the range
            {v.kvMin, v.uaMax / 2, true},  // the rise at the lowest voltage
            {v.kvMin, v.uaMax, true},
            {knee, v.uaMax, true},
            {midFall, v.powerMaxW * 1000 / midFall, true},  // constant power
            {v.kvMax, v.powerMaxW * 1000 / v.kvMax > v.uaMax ? v.uaMax : v.powerMaxW * 1000 / v.kvMax, true},
            {v.kvMax, 20, true},                           // the drop at the highest voltage
            {(v.kvMax + chart.kvAxisMax) / 2, 0, true},    // zero above the range
            {v.kvMin / 2, 100, false},                     // nothing allowed below the range
            {(v.kvMin + knee) / 2, 245, false},            // nothing above the current limit
            {(v.kvMax + chart.kvAxisMax) / 2, 80, false},  // nothing above the range
        };
        for (const Point& p : points) {
            SCOPED_TRACE(testing::Message() << p.kv << " kV, " << p.ua << " uA");
            EXPECT_EQ(RedNear(image, chart.ToPixel(p.kv, p.ua)), p.red);
        }
    }
}

TEST(OperatingCurves, ScalesToTheRequestedSize) {
    EnsureApplication();
    EXPECT_EQ(RenderOperatingCurve(IDB_CURVE_40KV4W, 344, 186).size(), QSize(344, 186));
    EXPECT_TRUE(RenderOperatingCurve(IDB_TUBE).isNull());
}

}  // namespace
