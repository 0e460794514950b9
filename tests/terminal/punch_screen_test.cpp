// The punch screen on the real window (offscreen, fake clock, recorded message boxes):
// leaving the code box, the punch buttons, and the review list.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include "../attendance/punch_fixture.h"
#include "attendance/review.h"
#include "terminal_site.h"

namespace tq::test {
namespace {

class PunchScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        site.writeWorkFile(QStringLiteral("TQ582.ini"), PunchRulesText());
        w = &site.startShown();
        ASSERT_TRUE(site.started);
        db = OpenSiteDb(site.defaultDb());
        rows = std::make_unique<SiteRows>(*db);
        rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"));
        site.boxes.shown.clear();
    }

    TerminalControls& k() { return w->controls(); }

    void typeCode(const QString& code) {
        k().PassWord->setFocus();
        k().PassWord->clear();
        QTest::keyClicks(k().PassWord, code);
    }

    void identify(const QString& code) {
        typeCode(code);
        QTest::keyClick(k().PassWord, Qt::Key_Return);
    }

    std::vector<QWidget*> staffControls() {
        return {k().従業員コード, k().従業員名, k().入社年月日, k().退社年月日, k().勤務シフト,
                k().正社員,       k().契約社員, k().パート,     k().アルバイト, k().派遣社員,
                k().残業計算無し, k().登録,     k().削除,       k().Frame1};
    }

    TerminalSite site;
    TerminalWindow* w = nullptr;
    std::unique_ptr<Database> db;
    std::unique_ptr<SiteRows> rows;
};

TEST_F(PunchScreenTest, EnterIdentifiesAndBringsBackThePunchButtons) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 8), QStringLiteral("B"));
    for (QWidget* r : {static_cast<QWidget*>(k().年月日), static_cast<QWidget*>(k().区分),
                       static_cast<QWidget*>(k().時刻), static_cast<QWidget*>(k().申請登録),
                       static_cast<QWidget*>(k().取消)}) {
        r->show();
    }
    k().出勤->hide();
    k().退勤->hide();

    identify(QStringLiteral("0001"));
    EXPECT_EQ(k().社員名->text(), QStringLiteral("山田"));
    EXPECT_EQ(k().シフトコード->text(), QStringLiteral("B"));  // the day's row over A
    EXPECT_FALSE(k().PassWord->hasFocus());
    EXPECT_EQ(k().PassWord->text(), QStringLiteral("0001"));
    EXPECT_FALSE(k().年月日->isVisible());
    EXPECT_FALSE(k().取消->isVisible());
    EXPECT_TRUE(k().出勤->isVisible());
    EXPECT_TRUE(k().退勤->isVisible());
    EXPECT_TRUE(site.boxes.shown.empty());
}

TEST_F(PunchScreenTest, UnknownCodeShowsOneBoxAndReturnsToTheEmptyCodeBox) {
    identify(QStringLiteral("0002"));
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("社員名が未登録です。"));
    EXPECT_EQ(site.boxes.shown[0].title, TerminalWindow::defaultMessageTitle());
    EXPECT_TRUE(k().PassWord->text().isEmpty());
    EXPECT_TRUE(k().PassWord->hasFocus());
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_TRUE(k().出勤->isVisible());
}

TEST_F(PunchScreenTest, TabOrAClickElsewhereIdentifiesAndAnEmptyCodeClears) {
    typeCode(QStringLiteral("0001"));
    QTest::keyClick(k().PassWord, Qt::Key_Tab);
    EXPECT_EQ(k().社員名->text(), QStringLiteral("山田"));
    EXPECT_EQ(k().シフトコード->text(), QStringLiteral("A"));

    typeCode(QString());
    k().確認->setFocus();
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_TRUE(k().シフトコード->text().isEmpty());
    EXPECT_TRUE(site.boxes.shown.empty());
}

TEST_F(PunchScreenTest, NetworkTimeDecidesTheDayOfTheShift) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 9), QStringLiteral("C"));
    // The computer says 05/08 10:15; the time server says 05/08 15:00:10 UTC, 05/09 locally.
    site.ntp.time = toDayCount(wallClock(QDate(2024, 5, 8), QTime(15, 0, 10)));
    identify(QStringLiteral("0001"));
    EXPECT_EQ(k().シフトコード->text(), QStringLiteral("C"));
}

TEST_F(PunchScreenTest, PunchButtonsStoreShowAndClearTheScreen) {
    QTest::mouseClick(k().出勤, Qt::LeftButton);
    EXPECT_TRUE(site.boxes.shown.empty()) << "nobody identified";
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);

    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().出勤, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("出勤を受け付けました。"));
    EXPECT_EQ(site.boxes.shown[0].icon, Icon::Information);
    EXPECT_EQ(site.boxes.shown[0].title, QStringLiteral("出勤・退勤"));
    EXPECT_TRUE(k().PassWord->text().isEmpty());
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_TRUE(k().シフトコード->text().isEmpty());
    EXPECT_TRUE(k().PassWord->hasFocus());
    const StoredWork stored = rows->work(QStringLiteral("0001"), QDate(2024, 5, 8));
    EXPECT_EQ(stored.in, 1015);
    EXPECT_EQ(stored.inStamp, QStringLiteral("2024/05/08 10:15:30"));

    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().出勤, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 2u);
    EXPECT_EQ(site.boxes.shown[1].text, QStringLiteral("出勤はすでに受付済みです。"));
    EXPECT_EQ(site.boxes.shown[1].icon, Icon::Exclamation);
    EXPECT_TRUE(k().社員名->text().isEmpty());

    site.clock.current = wallClock(QDate(2024, 5, 8), QTime(18, 3, 0));
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().退勤, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 3u);
    EXPECT_EQ(site.boxes.shown[2].text, QStringLiteral("退勤を受け付けました。"));
    EXPECT_EQ(rows->work(QStringLiteral("0001"), QDate(2024, 5, 8)).out, 1803);
    const auto log = rows->logRows();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].operation, QStringLiteral("出勤"));
    EXPECT_EQ(log.back().operation, QStringLiteral("退勤"));
}

TEST_F(PunchScreenTest, AClickOnAPunchButtonRightAfterTypingACodePunches) {
    // The release is already due when the press takes the focus from the code box: the
    // identification that follows must finish before the release is handled.
    typeCode(QStringLiteral("0001"));
    QPushButton* button = k().出勤;
    QTimer::singleShot(1, button, [button] { QTest::mouseRelease(button, Qt::LeftButton); });
    QThread::msleep(20);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_EQ(site.boxes.texts(), QStringList{QStringLiteral("出勤を受け付けました。")});
    EXPECT_EQ(rows->work(QStringLiteral("0001"), QDate(2024, 5, 8)).in, 1015);
}

TEST_F(PunchScreenTest, ReviewFillsTheListSelectsTheFirstMissingDayAndEndReturns) {
    for (int d : {1, 2, 3, 7}) {
        rows->addWork(QStringLiteral("0001"), QDate(2024, 5, d), QStringLiteral("A"), 830, 1730);
    }
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().確認, Qt::LeftButton);

    QTreeWidget* list = k().明細;
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(w->widthTwips(), TerminalWindow::kWideWidthTwips);
    for (QWidget* c : staffControls()) {
        EXPECT_FALSE(c->isVisible()) << c->objectName().toStdString();
    }
    EXPECT_EQ(list->geometry().topLeft(), QPoint(0, 0));
    ASSERT_EQ(list->topLevelItemCount(), 31);
    ASSERT_EQ(list->columnCount(), 17);
    // 05/06 (Monday) is the first working day without a record.
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(list->indexOfTopLevelItem(selected[0]), 5);
    EXPECT_EQ(selected[0]->text(0), QStringLiteral("05/06"));
    EXPECT_EQ(selected[0]->text(4), QStringLiteral("？？"));
    EXPECT_EQ(selected[0]->text(5), QStringLiteral(" "));
    EXPECT_EQ(list->topLevelItem(0)->text(5), QStringLiteral("8:30"));
    EXPECT_EQ(list->topLevelItem(30)->text(0), QStringLiteral("05/31"));
    for (int c = 0; c < 17; ++c) {
        EXPECT_GE(list->columnWidth(c), list->header()->sectionSizeHint(c)) << c;
    }
    EXPECT_EQ(w->caption(), QStringLiteral("出勤・退勤  (山田)"));
    EXPECT_TRUE(k().PassWord->text().isEmpty());
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_TRUE(k().シフトコード->text().isEmpty());
    EXPECT_TRUE(site.boxes.shown.empty());

    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(w->caption(), QStringLiteral("出勤・退勤"));
    EXPECT_TRUE(k().PassWord->hasFocus());
    EXPECT_EQ(w->widthTwips(), TerminalWindow::kPunchWidthTwips);
}

TEST_F(PunchScreenTest, ClockInRemindsOfTheLeaveDutyAndTheReviewShowsTheBalanceUnderTheGrid) {
    site.clock.current = wallClock(QDate(2024, 8, 5), QTime(8, 50));
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"), QStringLiteral("A"),
                   QStringLiteral("2023/04/01"));
    for (int d : {8, 9, 10}) {
        Sql s(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,状態) VALUES ("));
        s.text(QStringLiteral("0002")).raw(QStringLiteral(",")).date(QDate(2024, 1, d));
        db->execute(s.raw(QStringLiteral(",'有給休暇')")));
    }
    for (int d : {1, 2}) {
        rows->addWork(QStringLiteral("0002"), QDate(2024, 8, d), QStringLiteral("A"), 830, 1730);
    }
    identify(QStringLiteral("0002"));
    QTest::mouseClick(k().出勤, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 2u) << site.boxes.texts().join(u'\n').toStdString();
    EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("出勤を受け付けました。"));
    EXPECT_EQ(site.boxes.shown[1].text,
              QStringLiteral("年次有給休暇をあと2日取得してください。(期限 2024/09/30)"));
    EXPECT_EQ(site.boxes.shown[1].icon, Icon::Information);
    EXPECT_EQ(site.boxes.shown[1].title, QStringLiteral("出勤・退勤"));

    identify(QStringLiteral("0002"));
    QTest::mouseClick(k().確認, Qt::LeftButton);
    QTreeWidget* list = k().明細;
    auto* line = w->findChild<QLabel*>(QStringLiteral("有給状況"));
    ASSERT_TRUE(line);
    ASSERT_TRUE(list->isVisible());
    ASSERT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), QStringLiteral("有給休暇 残7.0日（2025/09/30に7.0日失効）　取得義務 "
                                           "あと2日（期限 2024/09/30）"));
    EXPECT_GE(line->geometry().top(), list->geometry().bottom());
    EXPECT_LE(line->geometry().bottom(), list->parentWidget()->height());
    EXPECT_FALSE(line->focusPolicy() & Qt::TabFocus);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_FALSE(line->isVisible()) << "the line goes with the grid";
}

TEST_F(PunchScreenTest, ReviewWithoutIdentificationOrWithoutRows) {
    QTest::mouseClick(k().確認, Qt::LeftButton);
    EXPECT_EQ(w->widthTwips(), TerminalWindow::kWideWidthTwips);
    for (QWidget* c : staffControls()) {
        EXPECT_FALSE(c->isVisible()) << c->objectName().toStdString();
    }
    EXPECT_FALSE(k().明細->isVisible());
    EXPECT_TRUE(site.boxes.shown.empty());

    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().確認, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("出退勤情報がありません。"));
    EXPECT_EQ(site.boxes.shown[0].icon, Icon::Exclamation);
    EXPECT_EQ(site.boxes.shown[0].title, QStringLiteral("出勤・退勤"));
    EXPECT_FALSE(k().明細->isVisible());
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_TRUE(k().PassWord->text().isEmpty());
    EXPECT_TRUE(k().PassWord->hasFocus());
}

}  // namespace
}  // namespace tq::test
