// Operating curves of the tube models, drawn at run time from the limit sets so that the
// pictures always show the limits the program enforces.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <string>

#include "control/limit_set.h"

constexpr int kCurveWidth = 172;
constexpr int kCurveHeight = 93;

struct OperatingCurveSpec {
    int resourceId;
    LimitSet set;
    const char* model;  // the model the chart is titled for; nullptr for the generic tube
};

// The curve drawn under that bitmap id, or nullptr when the id is no operating curve.
const OperatingCurveSpec* FindOperatingCurve(int resourceId);

// Highest tube current in uA at a voltage: the set's current limit from its lowest voltage
// up, then its rated power, and nothing outside its voltage range.
double OperatingCurrentLimit(const LimitSetValues& limits, double kv);

// The chart's title: the tube and its ratings, for example "X-Ray Tube 40 kV, 4 W" or "Telvo Tube 50 kV, 4
// W".
std::string OperatingCurveTitle(const OperatingCurveSpec& curve);

// Where the chart puts a point, in pixels of the image at its own size.
struct CurveChart {
    QRectF plot;
    double kvAxisMax;
    double uaAxisMax;
    QPointF ToPixel(double kv, double ua) const {
        return {plot.left() + kv / kvAxisMax * plot.width(), plot.bottom() - ua / uaAxisMax * plot.height()};
    }
};
CurveChart OperatingCurveChart(const OperatingCurveSpec& curve);

// The chart at width x height pixels (0 for its own size); a null image for other ids.
QImage RenderOperatingCurve(int resourceId, int width = 0, int height = 0);
