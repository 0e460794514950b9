// The 36 agreement on the window: the notice after "退勤を受け付けました。" and the line
// under the review's list.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "../attendance/punch_fixture.h"
#include "terminal_site.h"

namespace tq::test {
namespace {

TEST(OvertimeWindow, ClockOutNoticeAndTheReviewLine) {
    TerminalSite site;
    site.writeWorkFile(
        QStringLiteral("TQ582.ini"),
        QStringLiteral("[給与締日]\n末日\n[過日修正可能日]\n末日\n[始業時刻]\n09:00\n"
                       "[終業時刻]\n18:00\n[所定勤務時間]\n480\n[残業対象時間]\n480\n"
                       "[普通残業開始時刻]\n18:00\n[普通残業終了時刻]\n22:00\n"
                       "[深夜残業開始時刻]\n22:00\n[深夜残業終了時刻]\n29:00\n"
                       "[勤務時間別休憩時間]\n00:00-24:00 60\n"));
    TerminalWindow* w = &site.startShown();
    ASSERT_TRUE(site.started);
    TerminalControls& k = w->controls();
    auto db = OpenSiteDb(site.defaultDb());
    SiteRows rows(*db);
    rows.addStaff(QStringLiteral("0001"), QStringLiteral("山田"), std::nullopt);
    // Five weekdays of 7:21 overtime each (to 01:21 the next morning), and today from 09:00.
    for (int d : {1, 2, 3, 6, 7}) {
        rows.addWork(QStringLiteral("0001"), QDate(2024, 5, d), std::nullopt, 900, 2521);
    }
    rows.addWork(QStringLiteral("0001"), QDate(2024, 5, 8), std::nullopt, 900, 0);
    site.boxes.shown.clear();

    auto identify = [&] {
        k.PassWord->setFocus();
        k.PassWord->clear();
        QTest::keyClicks(k.PassWord, QStringLiteral("0001"));
        QTest::keyClick(k.PassWord, Qt::Key_Return);
    };
    site.clock.current = wallClock(QDate(2024, 5, 8), QTime(19, 45));
    identify();
    QTest::mouseClick(k.退勤, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 2u);
    EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("退勤を受け付けました。"));
    EXPECT_EQ(site.boxes.shown[1].text,
              QStringLiteral("今月の時間外労働は38:30です。(限度 45:00)"));
    EXPECT_EQ(site.boxes.shown[1].icon, Icon::Information);
    EXPECT_EQ(site.boxes.shown[1].title, QStringLiteral("出勤・退勤"));

    identify();
    QTest::mouseClick(k.確認, Qt::LeftButton);
    auto* line = w->findChild<QLabel*>(QStringLiteral("時間外状況"));
    ASSERT_NE(line, nullptr);
    ASSERT_TRUE(k.明細->isVisible());
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(
        line->text(),
        QStringLiteral("2024年05月度  時間外 38:30  休日労働 0:00  年時間外 38:30  判定 注意"));
    EXPECT_EQ(line->geometry().top(), k.明細->geometry().bottom() + 1);
    EXPECT_GE(line->height(), line->fontMetrics().height());
    EXPECT_LE(line->geometry().bottom(), line->parentWidget()->height() - 1);

    QTest::keyClick(k.明細, Qt::Key_End);
    EXPECT_FALSE(line->isVisible());

    // Closing the window folds the review back; the line goes with the list.
    identify();
    QTest::mouseClick(k.確認, Qt::LeftButton);
    EXPECT_TRUE(line->isVisible());
    w->close();
    EXPECT_FALSE(k.明細->isVisible());
    EXPECT_FALSE(line->isVisible());
}

}  // namespace
}  // namespace tq::test
