// The clock face, the one-second tick, the synchronisation indicator and Command1.
#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

#include "../testsupport.h"
#include "common/datetime.h"
#include "terminal/clock_face.h"
#include "terminal/twips.h"
#include "terminal_site.h"

using namespace tq;
using namespace tq::test;

TEST(ClockFace, DialMarksSitOnTheirCircle) {
    TerminalSite site;
    TerminalWindow& w = site.start();
    ASSERT_TRUE(site.started);
    const ClockHand* seconds = w.controls().Line3;
    struct Mark {
        int index;
        double left, top, width, height;  // twips, from the dial formulas
        int pointSize;
        QString text;
    };
    const double x2 = seconds->X2;
    const double y2 = seconds->Y2;
    const std::vector<Mark> marks = {
        // Minute mark at -84 degrees: cos 0.1045285, sin -0.9945219.
        {1, x2 + 163.0644 - 22.5, y2 - 1551.4541 - 15, 30, 45, 5, QString()},
        {15, x2 + 1560 - 97.5, y2 - 120, 240, 255, 12, QStringLiteral("3")},
        {0, x2 - 97.5, y2 - 1560 - 120, 240, 255, 12, QStringLiteral("12")},
        {45, x2 - 1560 - 97.5, y2 - 120, 240, 255, 12, QStringLiteral("9")},
    };
    for (const Mark& m : marks) {
        const QLabel* label = w.findChild<QLabel*>(QStringLiteral("SS(%1)").arg(m.index));
        ASSERT_NE(label, nullptr) << m.index;
        EXPECT_NEAR(label->property("Left").toDouble(), m.left, 0.01) << m.index;
        EXPECT_NEAR(label->property("Top").toDouble(), m.top, 0.01) << m.index;
        EXPECT_EQ(label->property("Width").toDouble(), m.width) << m.index;
        EXPECT_EQ(label->property("Height").toDouble(), m.height) << m.index;
        EXPECT_EQ(label->font().pointSize(), m.pointSize) << m.index;
        EXPECT_EQ(label->text(), m.text) << m.index;
        EXPECT_EQ(label->geometry(), twipsRect(m.left, m.top, m.width, m.height, label)) << m.index;
    }
}

namespace {

struct HandCase {
    const char* name;
    QTime time;
    // Expected (X1 - X2, Y1 - Y2) of the hours, minutes and seconds hands, in twips.
    QPointF hours, minutes, seconds;
};

QPointF tip(const ClockHand* hand) {
    return QPointF(hand->X1 - hand->X2, hand->Y1 - hand->Y2);
}

}  // namespace

TEST(Tick, MovesTheHandsByTheFormulas) {
    const std::vector<HandCase> cases = {
        // 03:30:00: hours at 15 degrees, minutes straight down, seconds straight up.
        {"03:30:00", QTime(3, 30, 0), QPointF(811.3777, 217.4080), QPointF(0, 1440),
         QPointF(0, -1440)},
        // 12:00: the hour value is 0, every hand points up.
        {"12:00:00", QTime(12, 0, 0), QPointF(0, -840), QPointF(0, -1440), QPointF(0, -1440)},
        // 21:45:30: the minute hand leans 3 degrees on; the hour hand 22.5 degrees past nine.
        {"21:45:30", QTime(21, 45, 30), QPointF(-776.0588, -321.4541),
         QPointF(-1438.0265, -75.3638), QPointF(0, 1440)},
    };
    TerminalSite site;
    TerminalWindow& w = site.start();
    ASSERT_TRUE(site.started);
    for (const HandCase& c : cases) {
        site.clock.current = wallClock(QDate(2024, 5, 8), c.time);
        w.tick();
        const TerminalControls& k = w.controls();
        for (auto [hand, expected, which] :
             {std::tuple{k.Line1, c.hours, "hours"}, std::tuple{k.Line2, c.minutes, "minutes"},
              std::tuple{k.Line3, c.seconds, "seconds"}}) {
            EXPECT_NEAR(tip(hand).x(), expected.x(), 0.01) << c.name << " " << which;
            EXPECT_NEAR(tip(hand).y(), expected.y(), 0.01) << c.name << " " << which;
            EXPECT_EQ(hand->X2, k.Line3->X2) << "the centre stays put";
        }
    }
}

TEST(Tick, RedrawsOncePerSecond) {
    TerminalSite site;
    TerminalWindow& w = site.start();
    ASSERT_TRUE(site.started);
    site.clock.current = wallClock(QDate(2024, 5, 8), QTime(11, 0, 0));
    w.tick();
    const int before = w.redrawCount();
    w.tick();
    EXPECT_EQ(w.redrawCount(), before) << "a second tick within the same second";
    w.controls().DateTime->setText(QStringLiteral("manual"));
    w.tick();
    EXPECT_EQ(w.controls().DateTime->text(), QStringLiteral("manual"));
    site.clock.current = site.clock.current.addSecs(1);
    w.tick();
    EXPECT_EQ(w.redrawCount(), before + 1);
    EXPECT_EQ(w.controls().DateTime->text(), QStringLiteral("05/08 11:00"));
}

TEST(Tick, ColoursTheWeekdayAndFollowsTheDay) {
    struct Case {
        QDate day;
        QString name;
        QColor colour;
    };
    const std::vector<Case> cases = {
        {QDate(2024, 5, 11), QStringLiteral("土曜日"), QColor(0, 0, 255)},
        {QDate(2024, 5, 12), QStringLiteral("日曜日"), QColor(255, 0, 0)},
        {QDate(2024, 5, 13), QStringLiteral("月曜日"), QColor(0, 0, 0)},
        {QDate(2024, 6, 1), QStringLiteral("土曜日"), QColor(0, 0, 255)},
    };
    TerminalSite site;
    TerminalWindow& w = site.start();
    ASSERT_TRUE(site.started);
    for (const Case& c : cases) {
        site.clock.current = wallClock(c.day, QTime(23, 59, 1));
        w.tick();
        const TerminalControls& k = w.controls();
        EXPECT_EQ(k.Week->text(), c.name) << formatDate(c.day).toStdString();
        EXPECT_EQ(k.Week->palette().color(QPalette::WindowText), c.colour)
            << formatDate(c.day).toStdString();
        EXPECT_EQ(k.MonthView->selectedDate(), c.day);
        EXPECT_EQ(k.MonthView->monthShown(), c.day.month());
        EXPECT_EQ(k.DateTime->text(), formatMonthDay(c.day) + QStringLiteral(" 23:59"));
    }
}

TEST(Tick, IndicatorShowsWhetherNetworkTimeHasArrived) {
    TerminalSite site;
    TerminalWindow& w = site.start();
    ASSERT_TRUE(site.started);
    site.clock.current = site.clock.current.addSecs(1);
    w.tick();
    EXPECT_EQ(w.indicatorColour(), QColor(0, 255, 255)) << "no network time yet";
    EXPECT_TRUE(w.state().TimerSwitch());
    EXPECT_EQ(w.state().CurrentTime, site.clock.current);

    // 2020-01-01 00:00:00 UTC arrives: Japan time is set and the indicator turns orange.
    site.ntp.time = 43831.0;
    w.tick();
    EXPECT_EQ(w.indicatorColour(), QColor(255, 128, 0));
    EXPECT_FALSE(w.state().TimerSwitch());
    ASSERT_FALSE(site.clock.setCalls.empty());
    EXPECT_EQ(site.clock.setCalls.back(), wallClock(QDate(2020, 1, 1), QTime(9, 0)));
    EXPECT_EQ(w.controls().DateTime->text(), QStringLiteral("01/01 09:00"));

    // From then on the computer's clock is read; the library is not asked again.
    const int asked = site.ntp.getCalls;
    site.clock.current = site.clock.current.addSecs(61);
    w.tick();
    EXPECT_EQ(site.ntp.getCalls, asked);
    EXPECT_EQ(w.controls().DateTime->text(), QStringLiteral("01/01 09:01"));
    EXPECT_EQ(w.indicatorColour(), QColor(255, 128, 0));
}

TEST(Tick, RefusedClockChangeStillShowsNetworkTime) {
    TerminalSite site;
    site.clock.acceptSet = false;
    TerminalWindow& w = site.start();
    ASSERT_TRUE(site.started);
    site.ntp.time = 43831.0;  // 2020-01-01 00:00:00 UTC
    w.tick();
    EXPECT_EQ(w.indicatorColour(), QColor(255, 128, 0));
    EXPECT_EQ(w.state().CurrentTime, wallClock(QDate(2020, 1, 1), QTime(9, 0)));
    site.clock.current = site.clock.current.addSecs(125);
    w.tick();
    EXPECT_EQ(w.state().CurrentTime, wallClock(QDate(2020, 1, 1), QTime(9, 2, 5)));
    EXPECT_EQ(w.controls().DateTime->text(), QStringLiteral("01/01 09:02"));
}

TEST(Command1, ShowsTheServersTimeWithoutTouchingTheClock) {
    // A time server on this machine answering 2024-03-31 15:30:00 UTC.
    QUdpSocket server;
    ASSERT_TRUE(server.bind(QHostAddress::LocalHost, 0));
    QByteArray request;
    QObject::connect(&server, &QUdpSocket::readyRead, [&] {
        while (server.hasPendingDatagrams()) {
            QHostAddress from;
            quint16 port = 0;
            request.resize(static_cast<int>(server.pendingDatagramSize()));
            server.readDatagram(request.data(), request.size(), &from, &port);
            QByteArray reply(48, '\0');
            reply[0] = 0x1C;
            const quint32 seconds = 1711899000u + 2208988800u;  // 2024-03-31 15:30:00 UTC
            qToBigEndian(seconds, reinterpret_cast<uchar*>(reply.data()) + 40);
            server.writeDatagram(reply, from, port);
        }
    });

    TerminalSite site;
    site.writeWorkFile(QStringLiteral("Sys.ini"),
                       QStringLiteral("[NTPServer]\n127.0.0.1:%1\n").arg(server.localPort()));
    TerminalWindow& w = site.startShown();
    const QDateTime before = site.clock.current;
    QTest::mouseClick(w.controls().Command1, Qt::LeftButton);
    QElapsedTimer waited;
    waited.start();
    while (w.controls().DateTime->text() != QStringLiteral("2024/04/01 00:30:00") &&
           waited.elapsed() < 3000) {
        QTest::qWait(20);
    }
    EXPECT_EQ(w.controls().DateTime->text(), QStringLiteral("2024/04/01 00:30:00"));
    ASSERT_EQ(request.size(), 48);
    EXPECT_EQ(static_cast<unsigned char>(request[0]), 11);
    EXPECT_TRUE(site.clock.setCalls.empty());
    EXPECT_EQ(w.state().CurrentTime, before);
}
