#include "icon_shapes.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace icon {
namespace {

const QColor kBlue(31, 111, 178);
const QColor kGreen(47, 168, 79);
const QColor kGrey(138, 143, 152);
const QColor kRed(217, 54, 62);
const QColor kInk(255, 255, 255);

// Every badge icon: a round plate in the icon's colour with a white glyph on a 64 grid.
void badge(QPainter& p, int w, const QColor& fill)
{
    p.scale(w / 64.0, w / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(QRectF(2, 2, 60, 60));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void fillInk(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
}

void triangle(QPainter& p, qreal x, qreal top, qreal bottom, qreal tipX)
{
    const QPointF points[] = {{x, top}, {tipX, (top + bottom) / 2}, {x, bottom}};
    p.drawPolygon(points, 3);
}

void plug(QPainter& p)
{
    p.drawRoundedRect(QRectF(20, 24, 18, 16), 3, 3);
    p.drawLine(QPointF(38, 28), QPointF(46, 28));
    p.drawLine(QPointF(38, 36), QPointF(46, 36));
    p.drawLine(QPointF(12, 32), QPointF(20, 32));
}

void magnifier(QPainter& p)
{
    p.drawEllipse(QPointF(28, 28), 13, 13);
    p.setPen(QPen(kInk, 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(38, 38), QPointF(49, 49));
    p.setPen(QPen(kInk, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(21, 28), QPointF(35, 28));
}

void letters(QPainter& p, const QString& text)
{
    QFont font("FreeSans");
    font.setBold(true);
    font.setPixelSize(26);
    p.setFont(font);
    p.drawText(QRectF(2, 2, 60, 60), Qt::AlignCenter, text);
}

// The lidar's field of view: rays over 270 degrees from a small sensor.
void sensorFan(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour)
{
    p.setPen(QPen(colour, radius / 9, Qt::SolidLine, Qt::RoundCap));
    for (int k = 0; k <= 6; ++k) {
        const QLineF ray = QLineF::fromPolar(radius, 225 - k * 45.0).translated(centre);
        p.drawLine(QLineF(ray.pointAt(0.45), ray.p2()));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(centre, radius / 4, radius / 4);
}

} // namespace

void drawConnect(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    plug(p);
}

void drawDisconnect(QPainter& p, int w, int)
{
    badge(p, w, kGrey);
    plug(p);
    p.drawLine(QPointF(16, 48), QPointF(48, 16));
}

void drawStateIdle(QPainter& p, int w, int)
{
    badge(p, w, kGrey);
    p.drawEllipse(QPointF(32, 32), 10, 10);
}

void drawStateConnected(QPainter& p, int w, int)
{
    badge(p, w, kGreen);
    p.drawPolyline(QPolygonF({{19, 33}, {28, 42}, {45, 23}}));
}

void drawEnglish(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    letters(p, "EN");
}

// The character for "middle" drawn as strokes: a box crossed by one long vertical stroke.
void drawChinese(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    p.setPen(QPen(kInk, 5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(QRectF(17, 22, 30, 17));
    p.drawLine(QPointF(32, 12), QPointF(32, 52));
}

void drawAmplify(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    magnifier(p);
    p.drawLine(QPointF(28, 21), QPointF(28, 35));
}

void drawNarrow(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    magnifier(p);
}

void drawReset(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    p.drawEllipse(QPointF(32, 32), 12, 12);
    p.drawLine(QPointF(32, 10), QPointF(32, 22));
    p.drawLine(QPointF(32, 42), QPointF(32, 54));
    p.drawLine(QPointF(10, 32), QPointF(22, 32));
    p.drawLine(QPointF(42, 32), QPointF(54, 32));
}

// Red (maximum) at the top down to blue (minimum), the view's four equal bands.
void drawColorBar(QPainter& p, int w, int h)
{
    QLinearGradient ramp(0, 0, 0, h);
    ramp.setColorAt(0.00, QColor(255, 0, 0));
    ramp.setColorAt(0.25, QColor(255, 255, 0));
    ramp.setColorAt(0.50, QColor(0, 255, 0));
    ramp.setColorAt(0.75, QColor(0, 255, 255));
    ramp.setColorAt(1.00, QColor(0, 0, 255));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(0, 0, w, h, ramp);
}

void drawLogo(QPainter& p, int w, int)
{
    p.scale(w / 64.0, w / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    sensorFan(p, QPointF(32, 34), 24, kInk);
}

void drawWordmark(QPainter& p, int, int h)
{
    sensorFan(p, QPointF(h / 2.0, h / 2.0 + 1), h / 2.0 - 1, kBlue);
    QFont font("FreeSans");
    font.setBold(true);
    font.setPixelSize(h * 2 / 3);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(font);
    p.setPen(QColor(40, 44, 52));
    p.drawText(QRectF(h + 4, 0, 200, h), Qt::AlignLeft | Qt::AlignVCenter, "KESTRA");
}

void drawRecord(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(32, 32), 13, 13);
}

void drawStopRecord(QPainter& p, int w, int)
{
    badge(p, w, kRed);
    fillInk(p);
    p.drawRoundedRect(QRectF(21, 21, 22, 22), 3, 3);
}

void drawOpen(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    QPainterPath folder;
    folder.moveTo(15, 44);
    folder.lineTo(15, 20);
    folder.lineTo(27, 20);
    folder.lineTo(31, 25);
    folder.lineTo(49, 25);
    folder.lineTo(49, 44);
    folder.closeSubpath();
    p.drawPath(folder);
}

void drawInterception(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    p.drawEllipse(QPointF(22, 43), 6, 6);
    p.drawEllipse(QPointF(42, 43), 6, 6);
    p.drawLine(QPointF(26, 38), QPointF(43, 14));
    p.drawLine(QPointF(38, 38), QPointF(21, 14));
}

void drawStartFrame(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    p.drawLine(QPointF(18, 20), QPointF(18, 44));
    fillInk(p);
    triangle(p, 33, 20, 44, 21);
    triangle(p, 46, 20, 44, 34);
}

void drawPreFrame(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    p.drawLine(QPointF(22, 20), QPointF(22, 44));
    fillInk(p);
    triangle(p, 44, 19, 45, 26);
}

void drawPlay(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    fillInk(p);
    triangle(p, 24, 17, 47, 48);
}

void drawSuspend(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    fillInk(p);
    p.drawRoundedRect(QRectF(21, 19, 8, 26), 2, 2);
    p.drawRoundedRect(QRectF(35, 19, 8, 26), 2, 2);
}

void drawNextFrame(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    p.drawLine(QPointF(42, 20), QPointF(42, 44));
    fillInk(p);
    triangle(p, 20, 19, 45, 38);
}

void drawEndFrame(QPainter& p, int w, int)
{
    badge(p, w, kBlue);
    p.drawLine(QPointF(46, 20), QPointF(46, 44));
    fillInk(p);
    triangle(p, 18, 20, 44, 30);
    triangle(p, 31, 20, 44, 43);
}

} // namespace icon
