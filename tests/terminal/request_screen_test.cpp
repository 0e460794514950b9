// The request entry on the real window (offscreen, fake clock, recorded message boxes):
// opening it in each mode, the date and kind lists, prefilling, the value field's check,
// registering and cancelling, with the focus moving as a user sees it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "../requests/requests_fixture.h"
#include "terminal_site.h"

namespace tq::test {
namespace {

class RequestScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        site.writeWorkFile(QStringLiteral("TQ582.ini"), RequestRulesText());
        w = &site.startShown();
        ASSERT_TRUE(site.started);
        db = OpenSiteDb(site.defaultDb());
        rows = std::make_unique<SiteRows>(*db);
        rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"));
        site.boxes.shown.clear();
    }

    TerminalControls& k() { return w->controls(); }

    void identify(const QString& code) {
        k().PassWord->setFocus();
        k().PassWord->clear();
        QTest::keyClicks(k().PassWord, code);
        QTest::keyClick(k().PassWord, Qt::Key_Return);
    }

    void choose(QComboBox* box, const QString& item) { ChooseItem(box, item); }

    /// Types into the focused value field once its text has been selected.
    void typeValue(const QString& text) {
        QCoreApplication::processEvents();
        QTest::keyClicks(k().時刻, text);
    }

    QWidget* focus() const { return QApplication::focusWidget(); }

    std::vector<QWidget*> entry() {
        return {k().年月日, k().区分, k().時刻, k().申請登録, k().取消};
    }

    TerminalSite site;
    TerminalWindow* w = nullptr;
    std::unique_ptr<Database> db;
    std::unique_ptr<SiteRows> rows;
};

TEST_F(RequestScreenTest, NothingOpensWhileNobodyIsIdentified) {
    QTest::mouseClick(k().申請, Qt::LeftButton);
    QTest::mouseClick(k().訂正, Qt::LeftButton);
    EXPECT_FALSE(k().年月日->isVisible());
    EXPECT_TRUE(k().出勤->isVisible());
    EXPECT_TRUE(site.boxes.shown.empty());
}

TEST_F(RequestScreenTest, EachModeOpensWithItsCaptionDatesAndKinds) {
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().申請, Qt::LeftButton);
    EXPECT_EQ(k().申請登録->text(), QStringLiteral("登録"));
    EXPECT_FALSE(k().出勤->isVisible());
    EXPECT_FALSE(k().退勤->isVisible());
    EXPECT_TRUE(k().年月日->isVisible());
    EXPECT_TRUE(k().区分->isVisible());
    EXPECT_FALSE(k().時刻->isVisible());
    EXPECT_FALSE(k().申請登録->isVisible()) << "no kind chosen yet";
    EXPECT_FALSE(k().取消->isVisible());
    ASSERT_EQ(k().年月日->count(), 31);
    EXPECT_EQ(k().年月日->itemText(0), QStringLiteral("2024/05/08"));
    EXPECT_EQ(k().年月日->itemText(30), QStringLiteral("2024/06/07"));
    EXPECT_EQ(k().年月日->currentText(), QStringLiteral("2024/05/08"));
    EXPECT_EQ(k().区分->count(), 15);
    EXPECT_EQ(k().区分->findText(QStringLiteral("無断欠勤")), -1);
    EXPECT_EQ(k().区分->currentText(), QString());
    EXPECT_EQ(k().年月日->maxVisibleItems(), 29);
    EXPECT_EQ(k().区分->maxVisibleItems(), 16);
    EXPECT_EQ(focus(), k().年月日);
    EXPECT_EQ(k().項目->text(), QStringLiteral("年月日"));  // its help line, by focus

    // A new identification puts the punch buttons back.
    identify(QStringLiteral("0001"));
    EXPECT_FALSE(k().年月日->isVisible());
    EXPECT_TRUE(k().出勤->isVisible());

    QTest::mouseClick(k().訂正, Qt::LeftButton);
    EXPECT_EQ(k().申請登録->text(), QStringLiteral("更新"));
    ASSERT_EQ(k().年月日->count(), 18);  // 21 April to 8 May
    EXPECT_EQ(k().年月日->itemText(0), QStringLiteral("2024/04/21"));
    EXPECT_EQ(k().年月日->currentText(), QStringLiteral("2024/05/08"));
    EXPECT_EQ(k().区分->count(), 16);
    EXPECT_EQ(k().区分->itemText(3), QStringLiteral("無断欠勤"));
    EXPECT_TRUE(site.boxes.shown.empty());
}

TEST_F(RequestScreenTest, TheWholeEntryRegistersAClockInForTomorrow) {
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().申請, Qt::LeftButton);
    ASSERT_EQ(focus(), k().年月日);

    choose(k().年月日, QStringLiteral("2024/05/09"));
    EXPECT_EQ(k().区分->currentText(), QStringLiteral("直帰")) << "another day presets 直帰";
    EXPECT_EQ(focus(), k().区分);
    EXPECT_EQ(k().シフトコード->text(), QStringLiteral("A"));
    EXPECT_FALSE(k().申請登録->isVisible());

    choose(k().区分, QStringLiteral("出勤打刻"));
    EXPECT_TRUE(k().時刻->isVisible());
    EXPECT_EQ(k().時刻->text(), QStringLiteral("時/分"));
    EXPECT_EQ(focus(), k().時刻);
    EXPECT_TRUE(k().申請登録->isVisible());
    EXPECT_TRUE(k().取消->isVisible());

    typeValue(QStringLiteral("830"));
    EXPECT_EQ(k().時刻->text(), QStringLiteral("830")) << "the prompt was selected and replaced";
    QTest::keyClick(k().時刻, Qt::Key_Return);
    EXPECT_EQ(k().時刻->text(), QStringLiteral("08:30"));
    EXPECT_EQ(focus(), k().申請登録);
    EXPECT_TRUE(site.boxes.shown.empty());

    bool buttonsShownWithTheAnswer = true;
    site.boxes.onShow = [&] {
        buttonsShownWithTheAnswer = k().申請登録->isVisible() || k().取消->isVisible();
    };
    QTest::mouseClick(k().申請登録, Qt::LeftButton);
    site.boxes.onShow = nullptr;
    EXPECT_FALSE(buttonsShownWithTheAnswer);
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("申請登録を受け付けました。"));
    EXPECT_EQ(site.boxes.shown[0].icon, Icon::Information);
    EXPECT_EQ(site.boxes.shown[0].title, QStringLiteral("出勤・退勤"));
    const FullWork stored = ReadFullWork(*db, QStringLiteral("0001"), QDate(2024, 5, 9));
    EXPECT_EQ(stored.in, 830);
    EXPECT_EQ(stored.shift, QStringLiteral("A"));
    EXPECT_EQ(stored.inStamp, QStringLiteral("2024/05/08 10:15:30"));
    const auto log = rows->logRows();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().operation, QStringLiteral("申請登録"));

    // Back to the punch screen with nobody identified.
    EXPECT_TRUE(k().PassWord->text().isEmpty());
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_TRUE(k().シフトコード->text().isEmpty());
    EXPECT_EQ(focus(), k().PassWord);
    EXPECT_NE(k().項目->text(), QStringLiteral("社員コード"))
        << "the staff panel's code box must not have had the focus on the way";
    for (QWidget* c : entry()) {
        EXPECT_FALSE(c->isVisible()) << c->objectName().toStdString();
    }
    EXPECT_TRUE(k().出勤->isVisible());
    EXPECT_TRUE(k().退勤->isVisible());
}

TEST_F(RequestScreenTest, TheKeyboardAloneCarriesAStateThroughToTheButton) {
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().訂正, Qt::LeftButton);
    // Enter in the date list moves on without presetting a kind.
    QTest::keyClick(k().年月日, Qt::Key_Return);
    ASSERT_EQ(focus(), k().区分);
    EXPECT_EQ(k().区分->currentText(), QString());
    // Stepping through the closed list shows kinds without choosing them.
    QTest::keyClick(k().区分, Qt::Key_Down);
    QTest::keyClick(k().区分, Qt::Key_Down);
    QTest::keyClick(k().区分, Qt::Key_Down);
    QTest::keyClick(k().区分, Qt::Key_Down);
    EXPECT_EQ(k().区分->currentText(), QStringLiteral("無断欠勤"));
    EXPECT_EQ(focus(), k().区分);
    EXPECT_FALSE(k().申請登録->isVisible());
    // Enter confirms it: no value is needed, so the focus goes straight to the button.
    QTest::keyClick(k().区分, Qt::Key_Return);
    EXPECT_FALSE(k().時刻->isVisible());
    EXPECT_TRUE(k().申請登録->isVisible());
    ASSERT_EQ(focus(), k().申請登録);
    QTest::keyClick(k().申請登録, Qt::Key_Return);
    EXPECT_EQ(site.boxes.texts(), QStringList{QStringLiteral("訂正更新を受け付けました。")});
    EXPECT_EQ(ReadFullWork(*db, QStringLiteral("0001"), QDate(2024, 5, 8)).state,
              QStringLiteral("無断欠勤"));
    EXPECT_EQ(rows->logRows().back().operation, QStringLiteral("訂正更新"));
}

TEST_F(RequestScreenTest, LeavingTheFieldsPrefillsFromTheStoredDay) {
    StoreState(*db, QStringLiteral("0001"), QDate(2024, 5, 10), QStringLiteral("代替休暇(12/05)"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 11), QStringLiteral("B"), 905, 0);
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().申請, Qt::LeftButton);

    choose(k().年月日, QStringLiteral("2024/05/10"));
    EXPECT_EQ(k().区分->currentText(), QStringLiteral("代替休暇"));
    EXPECT_EQ(k().時刻->text(), QStringLiteral("12/05"));
    EXPECT_EQ(k().シフトコード->text(), QStringLiteral("A"));
    // Confirming the kind shows the value field with its prompt; leaving the kind list
    // brings back the linked day.
    QTest::keyClick(k().区分, Qt::Key_Return);
    EXPECT_EQ(focus(), k().時刻);
    EXPECT_EQ(k().時刻->text(), QStringLiteral("12/05"));

    k().年月日->setFocus();
    choose(k().年月日, QStringLiteral("2024/05/11"));
    EXPECT_EQ(k().区分->currentText(), QStringLiteral("直帰"));
    EXPECT_EQ(k().シフトコード->text(), QStringLiteral("B"));
    choose(k().区分, QStringLiteral("出勤打刻"));
    EXPECT_EQ(focus(), k().時刻);
    EXPECT_EQ(k().時刻->text(), QStringLiteral("09:05"));
    QCoreApplication::processEvents();
    EXPECT_EQ(k().時刻->selectedText(), QStringLiteral("09:05"));

    // Today presets 出勤打刻.
    k().年月日->setFocus();
    choose(k().年月日, QStringLiteral("2024/05/08"));
    EXPECT_EQ(k().区分->currentText(), QStringLiteral("出勤打刻"));
    EXPECT_TRUE(site.boxes.shown.empty());
}

TEST_F(RequestScreenTest, TheValueFieldNormalisesAndRefusesBadValues) {
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().申請, Qt::LeftButton);
    choose(k().年月日, QStringLiteral("2024/05/08"));
    QTest::keyClick(k().区分, Qt::Key_Return);  // the preset 出勤打刻 confirmed
    ASSERT_EQ(focus(), k().時刻);

    typeValue(QStringLiteral("3700"));
    QTest::keyClick(k().時刻, Qt::Key_Return);
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("時刻の値が不正です。"));
    EXPECT_EQ(site.boxes.shown[0].icon, Icon::Exclamation);
    EXPECT_EQ(site.boxes.shown[0].title, QStringLiteral("出勤・退勤"));
    EXPECT_EQ(k().時刻->text(), QStringLiteral("37:00"));
    EXPECT_EQ(focus(), k().時刻);
    QCoreApplication::processEvents();
    EXPECT_EQ(k().時刻->selectedText(), QStringLiteral("37:00")) << "typing again replaces it";

    // One or two characters keep the focus without a message, and the button does nothing.
    k().時刻->clear();
    QTest::keyClicks(k().時刻, QStringLiteral("12"));
    QTest::keyClick(k().時刻, Qt::Key_Return);
    EXPECT_EQ(focus(), k().時刻);
    QTest::mouseClick(k().申請登録, Qt::LeftButton);
    EXPECT_EQ(focus(), k().時刻);
    EXPECT_EQ(site.boxes.shown.size(), 1u);

    // Full-width digits are narrowed.
    k().時刻->clear();
    for (const QChar c : QStringLiteral("８３０")) {
        QTest::sendKeyEvent(QTest::Click, k().時刻, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QTest::keyClick(k().時刻, Qt::Key_Return);
    EXPECT_EQ(k().時刻->text(), QStringLiteral("08:30"));
    EXPECT_EQ(focus(), k().申請登録);
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);

    // Enter on a substitute kind shows the month/day prompt, as choosing it does.
    k().区分->setFocus();
    k().区分->setCurrentIndex(k().区分->findText(QStringLiteral("代替勤務")));
    QTest::keyClick(k().区分, Qt::Key_Return);
    EXPECT_EQ(k().時刻->text(), QStringLiteral("月/日"));
    EXPECT_EQ(focus(), k().時刻);
    typeValue(QStringLiteral("12/5"));
    k().年月日->setFocus();  // leaving by a click elsewhere checks the same way
    EXPECT_EQ(site.boxes.texts().back(), QStringLiteral("月日の値が不正です。"));
    EXPECT_EQ(k().時刻->text(), QStringLiteral("12//5"));
    EXPECT_EQ(focus(), k().時刻);
}

TEST_F(RequestScreenTest, AMissingValueKeepsTheEntryAndARefusedDayEndsIt) {
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("佐藤"), QStringLiteral("A"),
                   QStringLiteral("2024/05/10"));
    identify(QStringLiteral("0002"));
    QTest::mouseClick(k().申請, Qt::LeftButton);
    choose(k().区分, QStringLiteral("退勤打刻"));
    ASSERT_EQ(k().時刻->text(), QStringLiteral("時/分"));
    QTest::mouseClick(k().申請登録, Qt::LeftButton);
    EXPECT_EQ(site.boxes.texts(), QStringList{QStringLiteral("時刻が入力されていません。")});
    EXPECT_EQ(focus(), k().時刻);
    EXPECT_TRUE(k().申請登録->isVisible());
    EXPECT_EQ(k().社員名->text(), QStringLiteral("佐藤"));

    // Today is before the joining day: refused, and nobody is identified afterwards.
    typeValue(QStringLiteral("1800"));
    QTest::mouseClick(k().取消, Qt::LeftButton);
    EXPECT_EQ(site.boxes.texts().back(), QStringLiteral("入社前です。"));
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_FALSE(k().年月日->isVisible());
    EXPECT_TRUE(k().出勤->isVisible());
    EXPECT_EQ(focus(), k().PassWord);
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
}

TEST_F(RequestScreenTest, CancellingInCorrectionModeClearsTheDayAndSaysSo) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("B"), 830, 1730);
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().訂正, Qt::LeftButton);
    choose(k().年月日, QStringLiteral("2024/05/07"));
    EXPECT_EQ(k().シフトコード->text(), QStringLiteral("B"));
    choose(k().区分, QStringLiteral("退勤打刻"));
    EXPECT_EQ(k().時刻->text(), QStringLiteral("17:30"));
    QTest::keyClick(k().時刻, Qt::Key_Return);
    // The button's help title is its caption in this mode.
    QTest::mouseMove(k().申請登録, k().申請登録->rect().center());
    EXPECT_EQ(k().項目->text(), QStringLiteral("更新"));
    QTest::mouseClick(k().取消, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("訂正更新を取消しました。"));
    EXPECT_EQ(site.boxes.shown[0].icon, Icon::Exclamation);
    const FullWork stored = ReadFullWork(*db, QStringLiteral("0001"), QDate(2024, 5, 7));
    EXPECT_EQ(stored.out, 0);
    EXPECT_EQ(stored.in, 830);
    EXPECT_EQ(stored.outStamp, QStringLiteral("2024/05/08 10:15:30"));
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_TRUE(k().出勤->isVisible());
}

}  // namespace
}  // namespace tq::test
