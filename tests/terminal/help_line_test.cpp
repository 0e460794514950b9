// The help line: every element of the table, by pointer or by focus; the bare window clears
// it; and the code box folding the window back to the punch screen's width.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "terminal/clock_face.h"
#include "terminal/help_line.h"
#include "terminal_site.h"

using namespace tq;
using namespace tq::test;

namespace {

struct HelpCase {
    QString element;  ///< objectName of the control to point at or focus
    bool byFocus;
    QString title;
    QString text;
};

const QString kKinds =
    QStringLiteral("正社員・契約社員・パート・アルバイト・派遣社員のいづれかを選択します");

// The table as the screen documents it, independent of the table in the code.
std::vector<HelpCase> expectedHelp() {
    auto m = [](const char16_t* e, const char16_t* t, const char16_t* x) {
        return HelpCase{QString::fromUtf16(e), false, QString::fromUtf16(t), QString::fromUtf16(x)};
    };
    auto f = [](const char16_t* e, const char16_t* t, const char16_t* x) {
        return HelpCase{QString::fromUtf16(e), true, QString::fromUtf16(t), QString::fromUtf16(x)};
    };
    return {
        m(u"PassWord", u"社員コード", u"社員コードを入力して下さい"),
        m(u"社員名", u"社員名", u"社員コードを入力すると社員名が表示されます"),
        m(u"出勤", u"出勤", u"出勤を打刻します"),
        m(u"退勤", u"退勤", u"退勤を打刻します"),
        m(u"確認", u"確認", u"勤務情報が表示されます"),
        m(u"申請", u"申請", u"出勤・退勤・休暇・直行・直帰・出張・振替の申請ができます"),
        m(u"訂正", u"訂正", u"出勤・退勤・休暇・直行・直帰・出張・振替の訂正ができます"),
        m(u"申請登録", u"登録", u"申請の登録・訂正の更新をします"),
        m(u"取消", u"取消", u"申請の取消・訂正の取消をします"),
        m(u"明細", u"取消", u"申請の取消・訂正の取消をします"),
        f(u"年月日", u"年月日", u"申請・訂正の対象年月日を一覧より選択します"),
        f(u"区分", u"区分", u"申請・訂正の区分を一覧より選択します"),
        m(u"時刻", u"日付・時刻", u"代替出勤・代替休暇は月日を出勤・退勤は時分を入力します"),
        m(u"出力", u"Excel", u"全社員の勤務情報をＥｘｃｅｌ出力します"),
        m(u"設定", u"設定", u"設定画面が表示されます"),
        m(u"社員保守", u"社員保守", u"社員マスタの登録・修正・削除が出来ます"),
        f(u"従業員コード", u"社員コード", u"社員コード入力または一覧より選択します"),
        m(u"従業員名", u"社員名", u"社員名を入力します"),
        HelpCase{QStringLiteral("正社員"), false, QStringLiteral("正社員"), kKinds},
        HelpCase{QStringLiteral("契約社員"), false, QStringLiteral("契約社員"), kKinds},
        HelpCase{QStringLiteral("パート"), false, QStringLiteral("パート"), kKinds},
        HelpCase{QStringLiteral("アルバイト"), false, QStringLiteral("アルバイト"), kKinds},
        HelpCase{QStringLiteral("派遣社員"), false, QStringLiteral("派遣社員"), kKinds},
        m(u"残業計算無し", u"残業計算", u"残業手当の無い社員はチェックします"),
        m(u"入社年月日", u"入社年月日", u"入社年月日を入力します、不明の場合は空白にする"),
        m(u"退社年月日", u"退社年月日", u"退社年月日を入力します、在職の場合は空白にする"),
        f(u"勤務シフト", u"勤務シフト", u"勤務シフト入力または一覧より選択します"),
        m(u"登録", u"登録", u"社員マスタの登録・修正をします"),
        m(u"削除", u"削除", u"社員マスタの削除をします"),
        m(u"MonthView1", u"カレンダー", u"カレンダーより日付を選択します"),
        f(u"対象年月", u"対象年月", u"対象年月を一覧より選択します"),
        f(u"日別シフト(0)", u"日別シフト", u"日別シフト入力または一覧より選択します"),
        f(u"日別シフト(17)", u"日別シフト", u"日別シフト入力または一覧より選択します"),
        m(u"シフト登録", u"シフト登録", u"シフトの登録・訂正の更新をします"),
    };
}

// A point of the central widget where no control is.
QPoint barePoint(QWidget* central) {
    for (int y = 2; y < central->height(); y += 3) {
        for (int x = 2; x < central->width(); x += 3) {
            if (!central->childAt(QPoint(x, y))) {
                return QPoint(x, y);
            }
        }
    }
    return QPoint(-1, -1);
}

class HelpLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = &site.startShown();
        window->setWidthTwips(TerminalWindow::kWideWidthTwips);
        window->controls().Frame1->setEnabled(true);
        central = window->centralWidget();
        bare = barePoint(central);
        ASSERT_NE(bare, QPoint(-1, -1));
    }

    void pointAt(QWidget* w) {
        QTest::mouseMove(central, bare);
        QTest::mouseMove(w, w->rect().center());
    }

    TerminalSite site;
    TerminalWindow* window = nullptr;
    QWidget* central = nullptr;
    QPoint bare;
};

}  // namespace

TEST_F(HelpLineTest, EveryElementShowsItsTitleAndText) {
    const TerminalControls& k = window->controls();
    ASSERT_EQ(HelpTable().size(), expectedHelp().size() - 1) << "日別シフト shares one row";
    for (const HelpCase& c : expectedHelp()) {
        auto* w = window->findChild<QWidget*>(c.element);
        ASSERT_NE(w, nullptr) << c.element.toStdString();
        const bool wasVisible = w->isVisible();
        w->show();
        w->raise();
        window->setHelpLine(QStringLiteral("?"), QStringLiteral("?"));
        if (c.byFocus) {
            k.確認->setFocus();
            w->setFocus();
        } else {
            pointAt(w);
        }
        EXPECT_EQ(k.項目->text(), c.title) << c.element.toStdString();
        EXPECT_EQ(k.説明->text(), c.text) << c.element.toStdString();
        w->setVisible(wasVisible);
    }
}

TEST_F(HelpLineTest, BareWindowClearsAndTitlesFollowTheirTriggers) {
    TerminalControls& k = window->controls();
    pointAt(k.出勤);
    EXPECT_EQ(k.項目->text(), QStringLiteral("出勤"));
    QTest::mouseMove(central, bare);
    EXPECT_EQ(k.項目->text(), QString()) << "moving onto the window background";
    EXPECT_EQ(k.説明->text(), QString());

    // Pointing at a label without help leaves the line alone.
    pointAt(k.退勤);
    QTest::mouseMove(k.DateTime, k.DateTime->rect().center());
    EXPECT_EQ(k.項目->text(), QStringLiteral("退勤"));

    // The analogue clock is drawn on the bare window: the pointer over it, between the dial
    // marks, clears the line; over a dial mark it leaves the line alone like any label.
    pointAt(k.出勤);
    QTest::mouseMove(k.SS[15], k.SS[15]->rect().center());
    EXPECT_EQ(k.項目->text(), QStringLiteral("出勤")) << "over a dial mark";
    QTest::mouseMove(k.clockFace, k.clockFace->rect().center());
    EXPECT_EQ(k.項目->text(), QString()) << "over the clock face";
    EXPECT_EQ(k.説明->text(), QString()) << "over the clock face";

    // The request button's title is its caption at the time.
    k.申請登録->show();
    k.申請登録->setText(QStringLiteral("更新"));
    pointAt(k.申請登録);
    EXPECT_EQ(k.項目->text(), QStringLiteral("更新"));

    // Tabbing into 区分 shows its help without any pointer movement.
    k.年月日->show();
    k.区分->show();
    k.年月日->setFocus();
    window->setHelpLine(QString(), QString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(k.項目->text(), QStringLiteral("区分"));

    // The staff code box selects its whole text when it receives the focus.
    k.従業員コード->setEditText(QStringLiteral("0012"));
    k.従業員名->setFocus();
    k.従業員コード->setFocus();
    EXPECT_EQ(k.従業員コード->lineEdit()->selectedText(), QStringLiteral("0012"));
}

TEST_F(HelpLineTest, DisabledControlsLeaveTheLineAlone) {
    TerminalControls& k = window->controls();
    k.登録->setEnabled(false);
    k.Frame1->setEnabled(false);  // its day boxes and シフト登録 with it
    for (QWidget* w : std::initializer_list<QWidget*>{k.登録, k.シフト登録}) {
        window->setHelpLine(QStringLiteral("?"), QStringLiteral("?"));
        pointAt(w);
        EXPECT_EQ(k.項目->text(), QString()) << w->objectName().toStdString();
        QTest::mouseMove(w, w->rect().topLeft() + QPoint(2, 2));
        EXPECT_EQ(k.項目->text(), QString()) << w->objectName().toStdString();
        EXPECT_EQ(k.説明->text(), QString()) << w->objectName().toStdString();
    }
    k.登録->setEnabled(true);
    pointAt(k.登録);
    EXPECT_EQ(k.項目->text(), QStringLiteral("登録")) << "enabled again, it explains itself";
}

TEST_F(HelpLineTest, CodeBoxFocusFoldsTheWindowToThePunchScreen) {
    TerminalControls& k = window->controls();
    k.従業員名->setFocus();
    EXPECT_EQ(window->widthTwips(), TerminalWindow::kWideWidthTwips);
    k.PassWord->setFocus();
    EXPECT_EQ(window->widthTwips(), TerminalWindow::kPunchWidthTwips);
}
