#include "kes_service/stats_plot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <functional>

namespace kes_service {
namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 700;
const QRect kArea(90, 60, 1020, 470); // the two curves
const QRect kDropouts(90, 560, 1020, 60);
const QColor kMeanColor(31, 119, 180);
const QColor kStdColor(255, 127, 14);
const QColor kDropColor(214, 39, 40);

// A round upper bound for an axis: 1, 2 or 5 times a power of ten.
double niceCeiling(double v)
{
    if (!(v > 0))
        return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(v)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= v)
            return m * power;
    return 10.0 * power;
}

double maxOf(const std::vector<AngleRow>& rows, double AngleRow::*field)
{
    double top = 0;
    for (const AngleRow& r : rows)
        if (!std::isnan(r.*field))
            top = std::max(top, r.*field);
    return top;
}

// One curve; gaps where there was no return.
QPainterPath curve(const std::vector<AngleRow>& rows, double AngleRow::*field, double top,
                   const std::function<double(float)>& x)
{
    QPainterPath path;
    bool drawing = false;
    for (const AngleRow& r : rows) {
        const double v = r.*field;
        if (std::isnan(v)) {
            drawing = false;
            continue;
        }
        const QPointF at(x(r.angle_deg), kArea.bottom() - v / top * kArea.height());
        drawing ? path.lineTo(at) : path.moveTo(at);
        drawing = true;
    }
    return path;
}

void axisLabels(QPainter& painter, double top, const QString& unit, bool right)
{
    for (int i = 0; i <= 5; ++i) {
        const int y = kArea.bottom() - i * kArea.height() / 5;
        const QString text = QString::number(top * i / 5, 'g', 4);
        const QRect box = right ? QRect(kArea.right() + 6, y - 9, 70, 18) : QRect(kArea.left() - 76, y - 9, 70, 18);
        painter.drawText(box, (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, text);
    }
    painter.save();
    const int x = right ? kWidth - 14 : 18;
    painter.translate(x, kArea.center().y());
    painter.rotate(right ? 90 : -90);
    painter.drawText(QRect(-150, -10, 300, 20), Qt::AlignCenter, unit);
    painter.restore();
}

} // namespace

QImage statsPlot(const std::vector<AngleRow>& rows, const QString& title)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const float first = rows.empty() ? 45.0f : rows.front().angle_deg;
    const float last = rows.empty() ? 315.0f : rows.back().angle_deg;
    const auto x = [&](float angle) {
        return kArea.left() + double(angle - first) / std::max(double(last - first), 1e-6) * kArea.width();
    };
    const double meanTop = niceCeiling(maxOf(rows, &AngleRow::mean_m));
    const double stdTop = niceCeiling(maxOf(rows, &AngleRow::std_mm));

    painter.setPen(QColor(225, 225, 225));
    for (int angle = int(std::round(first / 45.0f)) * 45; angle <= std::round(last); angle += 45)
        painter.drawLine(QPointF(x(float(angle)), kArea.top()), QPointF(x(float(angle)), kDropouts.bottom()));
    for (int i = 1; i <= 5; ++i)
        painter.drawLine(kArea.left(), kArea.bottom() - i * kArea.height() / 5, kArea.right(),
                         kArea.bottom() - i * kArea.height() / 5);
    painter.setPen(Qt::black);
    painter.drawRect(kArea);
    painter.drawRect(kDropouts);
    for (int angle = int(std::round(first / 45.0f)) * 45; angle <= std::round(last); angle += 45)
        painter.drawText(QRectF(x(float(angle)) - 40, kDropouts.bottom() + 6, 80, 18), Qt::AlignCenter,
                         QString::number(angle) + QChar(0x00B0));
    painter.drawText(QRect(0, kHeight - 30, kWidth, 20), Qt::AlignCenter, "device angle (degrees)");
    painter.drawText(QRect(0, 14, kWidth, 24), Qt::AlignCenter, title);

    painter.setPen(QPen(kMeanColor, 1.5));
    painter.drawPath(curve(rows, &AngleRow::mean_m, meanTop, x));
    axisLabels(painter, meanTop, "mean range (m)", false);
    painter.setPen(QPen(kStdColor, 1.2));
    painter.drawPath(curve(rows, &AngleRow::std_mm, stdTop, x));
    axisLabels(painter, stdTop, "standard deviation (mm)", true);

    // Each point that missed returns: a bar as tall as the share it missed.
    painter.setPen(QPen(kDropColor, 1.0));
    for (const AngleRow& r : rows)
        if (r.samples > 0 && r.valid_share < 1.0)
            painter.drawLine(
                QPointF(x(r.angle_deg), kDropouts.bottom()),
                QPointF(x(r.angle_deg), kDropouts.bottom() - (1.0 - r.valid_share) * kDropouts.height()));
    painter.drawText(QRect(kDropouts.left() + 6, kDropouts.top() + 2, 400, 18), Qt::AlignLeft,
                     "missing returns (share, full height = all)");

    painter.setPen(kMeanColor);
    painter.drawText(QRect(kArea.left() + 10, kArea.top() + 6, 300, 18), Qt::AlignLeft, "mean range");
    painter.setPen(kStdColor);
    painter.drawText(QRect(kArea.left() + 10, kArea.top() + 24, 300, 18), Qt::AlignLeft, "standard deviation");
    return image;
}

} // namespace kes_service
