#include "terminal/clock_face.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "terminal/twips.h"

namespace tq {

namespace {

// The value of pi the hand and dial formulas are stated with.
constexpr double kPi = 3.14159265358979;

double radians(double degrees) {
    return degrees * kPi / 180.0;
}

}  // namespace

ClockHand::ClockHand(const QString& name, double handLength, QObject* parent)
    : QObject(parent), length(handLength) {
    setObjectName(name);
    X2 = ClockFace::kCentreTwips;
    Y2 = ClockFace::kCentreTwips;
    X1 = X2;
    Y1 = Y2 - length;
}

void ClockHand::pointAt(double degrees) {
    X1 = X2 + length * std::cos(radians(degrees));
    Y1 = Y2 + length * std::sin(radians(degrees));
}

ClockFace::ClockFace(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ClockFace"));
    Line1 = new ClockHand(QStringLiteral("Line1"), 840, this);
    Line2 = new ClockHand(QStringLiteral("Line2"), 1440, this);
    Line3 = new ClockHand(QStringLiteral("Line3"), 1440, this);
    for (int i = 0; i < 60; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("SS(%1)").arg(i));
        label->setAlignment(Qt::AlignCenter);
        SS[static_cast<size_t>(i)] = label;
    }
    const int side = twipsToPixels(kSideTwips, this);
    setFixedSize(side, side);
}

double ClockFace::scale() const {
    return logicalDpiX() / 1440.0;
}

void ClockFace::layoutDial() {
    const double x2 = Line3->X2;
    const double y2 = Line3->Y2;
    for (int i = 0; i < 60; ++i) {
        QLabel* label = SS[static_cast<size_t>(i)];
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setAutoFillBackground(false);
        const double a = radians(6.0 * i - 90.0);
        const bool hourMark = i % 5 == 0;
        const double height = hourMark ? 255 : 45;
        const double width = hourMark ? 240 : 30;
        const double left = x2 + kDialRadiusTwips * std::cos(a) - (hourMark ? 97.5 : 22.5);
        const double top = y2 + kDialRadiusTwips * std::sin(a) - (hourMark ? 120 : 15);
        QFont font = label->font();
        font.setPointSize(hourMark ? 12 : 5);
        font.setBold(hourMark);
        label->setFont(font);
        label->setText(hourMark ? QString::number(i == 0 ? 12 : i / 5) : QString());
        // The twips geometry is kept on the label itself, as the dial was laid out.
        label->setProperty("Left", left);
        label->setProperty("Top", top);
        label->setProperty("Width", width);
        label->setProperty("Height", height);
        label->setGeometry(twipsRect(left, top, width, height, this));
    }
    update();
}

void ClockFace::showTime(const QTime& time) {
    const int s = time.second();
    const int m = time.minute();
    const int h = time.hour() % 12;
    Line3->pointAt(6.0 * s - 90.0);
    Line2->pointAt(6.0 * m - 90.0 + s / 10.0);
    Line1->pointAt(30.0 * h - 90.0 + m / 2.0);
    update();
}

void ClockFace::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double k = scale();
    const QPointF centre(Line3->X2 * k, Line3->Y2 * k);
    const double rim = (kCentreTwips - 45) * k;

    // Dial: a light face with a dark rim.
    p.setPen(QPen(QColor(60, 60, 70), 3.0));
    p.setBrush(QColor(252, 252, 246));
    p.drawEllipse(centre, rim, rim);
    p.setPen(QPen(QColor(200, 200, 205), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, rim - 4 * k * 15, rim - 4 * k * 15);

    // Minute marks are small dots at the centre of their labels.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 100));
    for (int i = 0; i < 60; ++i) {
        const QLabel* label = SS[static_cast<size_t>(i)];
        if (i % 5 == 0 || !label->property("Left").isValid()) {
            continue;
        }
        const QPointF dot((label->property("Left").toDouble() + 15) * k,
                          (label->property("Top").toDouble() + 22.5) * k);
        p.drawEllipse(dot, 1.6, 1.6);
    }

    auto drawHand = [&](const ClockHand* hand, const QColor& colour, double width) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(hand->X1 * k, hand->Y1 * k), QPointF(hand->X2 * k, hand->Y2 * k));
    };
    drawHand(Line1, QColor(35, 35, 45), 6.0);
    drawHand(Line2, QColor(35, 35, 45), 4.0);
    drawHand(Line3, QColor(210, 30, 30), 1.6);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(210, 30, 30));
    p.drawEllipse(centre, 4.0, 4.0);
}

}  // namespace tq
