#include "resources/art/operating_curves.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "resources/resource_ids.h"

namespace {

constexpr OperatingCurveSpec kCurves[] = {
    {IDB_CURVE_40KV4W, LimitSet::Kv40W4, nullptr},   {IDB_CURVE_50KV4W, LimitSet::Kv50W4, nullptr},
    {IDB_CURVE_TELVO, LimitSet::Kv50W4, "Telvo"},    {IDB_CURVE_50KV10W, LimitSet::Kv50W10, nullptr},
    {IDB_CURVE_70KV10W, LimitSet::Kv70W10, nullptr},
};

constexpr double kUaAxisMax = 250;
constexpr double kUaStep = 50;
constexpr double kKvStep = 10;

// The axis runs one step past the highest voltage, so the drop to zero stays visible.
double KvAxisMax(const LimitSetValues& limits) {
    return (std::floor(limits.kvMax / kKvStep + 1e-9) + 1) * kKvStep;
}

QString Number(double value) {
    return QString::number(value, 'f', 0);
}

}  // namespace

const OperatingCurveSpec* FindOperatingCurve(int resourceId) {
    for (const auto& curve : kCurves) {
        if (curve.resourceId == resourceId)
            return &curve;
    }
    return nullptr;
}

double OperatingCurrentLimit(const LimitSetValues& limits, double kv) {
    if (kv < limits.kvMin || kv > limits.kvMax || kv <= 0)
        return 0;
    // kV x uA is milliwatts.
    return std::min(limits.uaMax, limits.powerMaxW * 1000.0 / kv);
}

std::string OperatingCurveTitle(const OperatingCurveSpec& curve) {
    const LimitSetValues& limits = LimitSetData(curve.set);
    char text[96];
    std::snprintf(text, sizeof text, "%s Tube %.0f kV, %.0f W", curve.model ? curve.model : "X-Ray",
                  limits.kvMax, limits.powerMaxW);
    return text;
}

CurveChart OperatingCurveChart(const OperatingCurveSpec& curve) {
    return CurveChart{QRectF(24, 15, 140, 60), KvAxisMax(LimitSetData(curve.set)), kUaAxisMax};
}

QImage RenderOperatingCurve(int resourceId, int width, int height) {
    const OperatingCurveSpec* curve = FindOperatingCurve(resourceId);
    if (!curve || width < 0 || height < 0)
        return {};
    if (width == 0)
        width = kCurveWidth;
    if (height == 0)
        height = kCurveHeight;

    const LimitSetValues& limits = LimitSetData(curve->set);
    const CurveChart chart = OperatingCurveChart(*curve);
    const QRectF plot = chart.plot;

    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    QPainter p(&image);
    p.scale(double(width) / kCurveWidth, double(height) / kCurveHeight);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    QFont font("DejaVu Sans");
    font.setPixelSize(7);
    QFont titleFont = font;
    titleFont.setPixelSize(8);
    titleFont.setBold(true);

    p.setFont(titleFont);
    p.setPen(QColor(20, 30, 45));
    p.drawText(QRectF(0, 1, kCurveWidth, 11), Qt::AlignHCenter | Qt::AlignVCenter,
               QString::fromStdString(OperatingCurveTitle(*curve)));

    p.fillRect(plot, Qt::white);
    p.setFont(font);

    // Grid and tick labels: current every 50 uA, voltage every 10 kV.
    for (double ua = 0; ua <= kUaAxisMax + 1e-9; ua += kUaStep) {
        const double y = chart.ToPixel(0, ua).y();
        p.setPen(QColor(214, 218, 222));
        if (ua > 0)
            p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(QColor(40, 40, 40));
        p.drawText(QRectF(0, y - 4, plot.left() - 2, 8), Qt::AlignRight | Qt::AlignVCenter, Number(ua));
    }
    for (double kv = 0; kv <= chart.kvAxisMax + 1e-9; kv += kKvStep) {
        const double x = chart.ToPixel(kv, 0).x();
        p.setPen(QColor(214, 218, 222));
        if (kv > 0)
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(QColor(40, 40, 40));
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 2));
        p.drawText(QRectF(x - 10, plot.bottom() + 2, 20, 8), Qt::AlignHCenter | Qt::AlignTop, Number(kv));
    }
    p.setPen(QColor(40, 40, 40));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.drawText(QRectF(1, 2, 22, 9), Qt::AlignLeft | Qt::AlignVCenter, "uA");
    p.drawText(QRectF(plot.left(), plot.bottom() + 10, plot.width(), 8), Qt::AlignHCenter | Qt::AlignTop,
               "High Voltage (kV)");

    // The limit line: zero up to the lowest voltage, the current limit, the constant-power
    // fall, and zero again past the highest voltage.
    QPainterPath line;
    line.moveTo(chart.ToPixel(0, 0));
    line.lineTo(chart.ToPixel(limits.kvMin, 0));
    const double knee = std::clamp(limits.powerMaxW * 1000.0 / limits.uaMax, limits.kvMin, limits.kvMax);
    line.lineTo(chart.ToPixel(limits.kvMin, OperatingCurrentLimit(limits, limits.kvMin)));
    line.lineTo(chart.ToPixel(knee, OperatingCurrentLimit(limits, knee)));
    constexpr int kSteps = 64;
    for (int i = 1; i <= kSteps; ++i) {
        const double kv = knee + (limits.kvMax - knee) * i / kSteps;
        line.lineTo(chart.ToPixel(kv, OperatingCurrentLimit(limits, kv)));
    }
    line.lineTo(chart.ToPixel(limits.kvMax, 0));
    line.lineTo(chart.ToPixel(chart.kvAxisMax, 0));

    p.setRenderHint(QPainter::Antialiasing, true);
    QPen red(QColor(220, 0, 0), 1.6);
    red.setJoinStyle(Qt::RoundJoin);
    p.setPen(red);
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);
    p.end();
    return image;
}
