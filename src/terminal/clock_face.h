#pragma once
// The analogue clock of the punch screen: three hands kept as line end points in twips and
// the sixty dial labels SS(0)..SS(59) laid out around the hands' fixed end point.

#include <QLabel>
#include <QObject>
#include <QTime>
#include <QWidget>
#include <array>

namespace tq {

/// One hand of the clock: a line from (X1, Y1) to the fixed clock centre (X2, Y2), in twips
/// relative to the clock face.
class ClockHand : public QObject {
    Q_OBJECT
    Q_PROPERTY(double X1 MEMBER X1)
    Q_PROPERTY(double Y1 MEMBER Y1)
    Q_PROPERTY(double X2 MEMBER X2)
    Q_PROPERTY(double Y2 MEMBER Y2)

  public:
    ClockHand(const QString& name, double length, QObject* parent);

    double X1 = 0;
    double Y1 = 0;
    double X2 = 0;
    double Y2 = 0;
    /// Distance from the centre to (X1, Y1), in twips.
    double length = 0;

    /// Points the hand at `degrees` (0 to the right, growing clockwise on screen).
    void pointAt(double degrees);
};

class ClockFace : public QWidget {
    Q_OBJECT

  public:
    /// Side of the square face and the position of the clock centre inside it, in twips.
    static constexpr double kSideTwips = 3720;
    static constexpr double kCentreTwips = 1860;
    /// Radius of the circle the dial labels sit on, in twips.
    static constexpr double kDialRadiusTwips = 1560;

    explicit ClockFace(QWidget* parent);

    ClockHand* Line1;  ///< hours
    ClockHand* Line2;  ///< minutes
    ClockHand* Line3;  ///< seconds
    std::array<QLabel*, 60> SS{};

    /// Places the dial labels on their circle around the seconds hand's (X2, Y2): hour marks
    /// carry the hour numbers, minute marks are drawn as dots.
    void layoutDial();
    /// Moves the hands to show `time` (seconds, then minutes, then hours).
    void showTime(const QTime& time);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double scale() const;
};

}  // namespace tq
