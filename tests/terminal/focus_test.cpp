// Every key lands where the user looks: whatever view the window shows, and whatever the user
// does there (Tab, Shift+Tab, Enter, a click on any control in sight), the focus stays on a
// control the user can see. Then the paths by which keys once reached the folded staff panel
// or a value field nobody saw.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <functional>

#include "../requests/requests_fixture.h"
#include "terminal/export_screen.h"
#include "terminal_site.h"

namespace tq::test {
namespace {

/// What the user sees of `w`: shown, its centre inside the window and not under another
/// control (a view lying over the window, or the window's edge for a folded panel).
bool Seen(const QWidget* w) {
    if (w == nullptr || !w->isVisible()) {
        return false;
    }
    const QWidget* top = w->window();
    const QPoint centre = w->mapTo(top, w->rect().center());
    const QWidget* at = top->childAt(centre);
    return top->rect().contains(centre) && at != nullptr && (at == w || w->isAncestorOf(at));
}

std::string Name(const QWidget* w) {
    return w == nullptr ? std::string("(none)") : w->objectName().toStdString();
}

class FocusTest : public ::testing::Test {
  public:  // the views of the sweep are entered through a reference to the fixture
    void SetUp() override {
        site.writeWorkFile(QStringLiteral("TQ582.ini"), RequestRulesText());
        // `Command1` asks this machine's time server, never one outside.
        site.writeWorkFile(QStringLiteral("Sys.ini"), QStringLiteral("[NTPServer]\n127.0.0.1\n"));
        w = &site.startShown();
        ASSERT_TRUE(site.started);
        db = OpenSiteDb(site.defaultDb());
        rows = std::make_unique<SiteRows>(*db);
        rows->addStaff(QStringLiteral("0003"), QStringLiteral("鈴木 一郎"));
        rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
        FindExportScreen(*w)->openWorkbook = [](const QString&) {};
        backToPunchScreen();
    }

    TerminalControls& k() { return w->controls(); }
    static QWidget* focus() { return QApplication::focusWidget(); }

    /// Keys go where the focus is, as typed on the keyboard.
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(focus() ? focus() : w, key, mods);
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    }
    void type(const QString& text) {
        QCoreApplication::processEvents();  // what a field selects on entering is selected
        QTest::keyClicks(focus() ? focus() : w, text);
    }

    /// A click where the user sees `c`: whatever lies there gets it.
    void click(QWidget* c) {
        const QPoint centre = c->mapTo(w, c->rect().center());
        QWidget* at = w->childAt(centre);
        ASSERT_NE(at, nullptr) << Name(c);
        QTest::mouseClick(at, Qt::LeftButton, {}, at->mapFrom(w, centre));
        QCoreApplication::processEvents();
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    }

    void identify(const QString& code) {
        k().PassWord->setFocus();
        k().PassWord->clear();
        QTest::keyClicks(k().PassWord, code);
        QTest::keyClick(k().PassWord, Qt::Key_Return);
    }

    /// The punch screen with nobody identified, the way a user gets there.
    void backToPunchScreen() {
        for (int i = 0; i < 2 && (k().INI_TEXT->isVisible() || k().明細->isVisible() ||
                                  w->widthTwips() != TerminalWindow::kPunchWidthTwips);
             ++i) {
            w->close();
        }
        for (QLineEdit* field : {k().時刻, k().従業員名, k().入社年月日, k().退社年月日}) {
            field->clear();  // nothing refused keeps the focus on the way out
        }
        if (rows->count(QStringLiteral("T_担当者")) < 2) {  // 削除 in the panel took 0001
            rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
        }
        identify(QString());
        site.boxes.shown.clear();
    }

    /// Every control the user sees and could put the focus on.
    std::vector<QWidget*> seenControls() {
        std::vector<QWidget*> out;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if ((c->focusPolicy() & Qt::ClickFocus) && c->isEnabled() && !c->focusProxy() &&
                Seen(c)) {
                out.push_back(c);
            }
        }
        return out;
    }

    void expectFocusSeen(const std::string& after) {
        EXPECT_TRUE(Seen(focus())) << "after " << after << " the focus is on " << Name(focus());
    }

    TerminalSite site;
    TerminalWindow* w = nullptr;
    std::unique_ptr<Database> db;
    std::unique_ptr<SiteRows> rows;
};

TEST_F(FocusTest, WhateverTheUserDoesTheFocusStaysInSight) {
    struct View {
        const char* name;
        std::function<void(FocusTest&)> enter;
    };
    const auto entry = [](FocusTest& t, QPushButton* TerminalControls::*mode) {
        t.identify(QStringLiteral("0001"));
        QTest::mouseClick(t.k().*mode, Qt::LeftButton);
    };
    const std::vector<View> views = {
        {"the punch screen", [](FocusTest&) {}},
        {"the punch screen, 0001 identified",
         [](FocusTest& t) { t.identify(QStringLiteral("0001")); }},
        {"the request entry opened", [&](FocusTest& t) { entry(t, &TerminalControls::申請); }},
        {"the request entry, a kind with a value",
         [&](FocusTest& t) {
             entry(t, &TerminalControls::申請);
             ChooseItem(t.k().区分, QStringLiteral("出勤打刻"));
         }},
        {"the request entry, a state kind",
         [&](FocusTest& t) {
             entry(t, &TerminalControls::申請);
             ChooseItem(t.k().区分, QStringLiteral("有給休暇"));
         }},
        {"the correction entry, a day and a kind",
         [&](FocusTest& t) {
             entry(t, &TerminalControls::訂正);
             ChooseItem(t.k().年月日, QStringLiteral("2024/05/07"));
             ChooseItem(t.k().区分, QStringLiteral("退勤打刻"));
         }},
        {"the review",
         [](FocusTest& t) {
             t.identify(QStringLiteral("0001"));
             QTest::mouseClick(t.k().確認, Qt::LeftButton);
         }},
        {"the staff panel", [](FocusTest& t) { t.click(t.k().社員保守); }},
        {"the staff panel showing 0001",
         [](FocusTest& t) {
             t.click(t.k().社員保守);
             t.type(QStringLiteral("0001"));
             t.press(Qt::Key_Return);
         }},
        {"the staff panel, its calendar open",
         [](FocusTest& t) {
             t.click(t.k().社員保守);
             QTest::mouseDClick(t.k().入社年月日, Qt::LeftButton);
         }},
        {"the settings view", [](FocusTest& t) { t.click(t.k().設定); }},
    };
    for (const View& view : views) {
        SCOPED_TRACE(view.name);
        const auto enter = [&] {
            backToPunchScreen();
            view.enter(*this);
            expectFocusSeen("entering");
        };
        enter();
        const std::vector<QWidget*> targets = seenControls();
        ASSERT_GE(targets.size(), 1u);
        for (const auto& [key, mods, keyName] :
             {std::tuple{Qt::Key_Tab, Qt::KeyboardModifiers(), "Tab"},
              std::tuple{Qt::Key_Backtab, Qt::KeyboardModifiers(Qt::ShiftModifier), "Shift+Tab"},
              std::tuple{Qt::Key_Return, Qt::KeyboardModifiers(), "Enter"}}) {
            enter();
            for (size_t i = 0; i <= targets.size(); ++i) {
                press(key, mods);
                expectFocusSeen(keyName + (" #" + std::to_string(i + 1)));
            }
        }
        for (QWidget* target : targets) {
            enter();
            ASSERT_TRUE(Seen(target)) << Name(target);
            click(target);
            expectFocusSeen("a click on " + Name(target));
            press(Qt::Key_Return);
            expectFocusSeen("Enter after a click on " + Name(target));
        }
    }
}

// Typing 9 in `時刻`, then clicking the code box and typing a code: the code never reached
// the folded panel's `従業員コード` and never loaded a staff member there.
TEST_F(FocusTest, KeysAfterLeavingTheValueFieldNeverReachTheFoldedPanel) {
    struct Case {
        QPushButton* TerminalControls::*mode;
        const char* day;
    };
    for (const Case& c : {Case{&TerminalControls::申請, "2024/05/10"},
                          Case{&TerminalControls::訂正, "2024/05/07"}}) {
        SCOPED_TRACE(c.day);
        backToPunchScreen();
        identify(QStringLiteral("0001"));
        QTest::mouseClick(k().*c.mode, Qt::LeftButton);
        ChooseItem(k().年月日, QString::fromUtf8(c.day));
        ChooseItem(k().区分, QStringLiteral("出勤打刻"));
        type(QStringLiteral("9"));
        click(k().PassWord);
        type(QStringLiteral("0003"));
        press(Qt::Key_Return);
        expectFocusSeen("typing 0003 and Enter");
        EXPECT_TRUE(k().従業員コード->currentText().isEmpty());
        EXPECT_TRUE(k().従業員名->text().isEmpty()) << k().従業員名->text().toStdString();
        // The value field kept the focus (one character is no value) and got the typing.
        EXPECT_EQ(k().社員名->text(), QStringLiteral("山田"));
        EXPECT_EQ(k().時刻->text(), QStringLiteral("00:03"));
    }
}

// A refused name takes the focus back from the code box clicked: the code box was never
// entered, so it is not left either, and no lookup replaces what was typed.
TEST_F(FocusTest, AFieldTakingTheFocusBackLeavesTheClickedOneAlone) {
    click(k().社員保守);
    type(QStringLiteral("0001"));
    press(Qt::Key_Return);
    ASSERT_EQ(focus(), k().従業員名);
    const QString tooLong = QStringLiteral("山").repeated(16);  // 32 bytes in Shift_JIS
    k().従業員名->setText(tooLong);
    click(k().従業員コード);
    EXPECT_EQ(site.boxes.texts(), QStringList{QStringLiteral("社員名の桁数制限を越えています。")});
    EXPECT_EQ(k().従業員名->text(), tooLong);
    EXPECT_EQ(focus(), k().従業員名);
}

// A kind chosen and left for another, then a day whose preset kind needs a value: the value
// field shows that kind's prompt, and a value the screen no longer shows is never stored.
TEST_F(FocusTest, APresetKindBringsItsOwnValueFieldAndNoHiddenValue) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 10), QStringLiteral("A"), 830, 0);
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().申請, Qt::LeftButton);
    ChooseItem(k().年月日, QStringLiteral("2024/05/10"));
    ChooseItem(k().区分, QStringLiteral("出勤打刻"));
    ASSERT_EQ(k().時刻->text(), QStringLiteral("08:30"));
    ChooseItem(k().区分, QStringLiteral("有給休暇"));
    ASSERT_FALSE(k().時刻->isVisible());
    ChooseItem(k().年月日, QStringLiteral("2024/05/08"));  // today presets 出勤打刻
    EXPECT_EQ(k().区分->currentText(), QStringLiteral("出勤打刻"));
    EXPECT_TRUE(k().時刻->isVisible());
    EXPECT_EQ(k().時刻->text(), QStringLiteral("時/分"));
    click(k().申請登録);
    EXPECT_EQ(site.boxes.texts(), QStringList{QStringLiteral("時刻が入力されていません。")});
    EXPECT_FALSE(ReadFullWork(*db, QStringLiteral("0001"), QDate(2024, 5, 8)).exists);
    EXPECT_EQ(focus(), k().時刻);
}

// Tab from the last control of the entry, or from a kind list left empty, stays in sight.
TEST_F(FocusTest, TabFromTheEntryStaysInSight) {
    struct Case {
        const char* name;
        std::function<void(FocusTest&)> reach;
        int tabs;
    };
    const std::vector<Case> cases = {
        {"取消 after a state kind",
         [](FocusTest& t) { ChooseItem(t.k().区分, QStringLiteral("有給休暇")); }, 2},
        {"an empty 区分", [](FocusTest& t) { t.press(Qt::Key_Return); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        backToPunchScreen();
        identify(QStringLiteral("0001"));
        QTest::mouseClick(k().申請, Qt::LeftButton);
        c.reach(*this);
        for (int i = 0; i < c.tabs; ++i) {
            press(Qt::Key_Tab);
            expectFocusSeen("Tab");
        }
        type(QStringLiteral("0003"));
        press(Qt::Key_Return);
        EXPECT_TRUE(k().従業員コード->currentText().isEmpty());
        EXPECT_TRUE(k().従業員名->text().isEmpty());
    }
}

// A review opened from the entry, then closed: the punch screen is back whole.
TEST_F(FocusTest, TheCloseRequestAfterAReviewBringsBackTheWholePunchScreen) {
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().申請, Qt::LeftButton);
    QTest::mouseClick(k().確認, Qt::LeftButton);
    ASSERT_TRUE(k().明細->isVisible());
    w->close();
    EXPECT_TRUE(k().PassWord->text().isEmpty());
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_TRUE(k().出勤->isVisible());
    EXPECT_TRUE(k().退勤->isVisible());
    for (QWidget* c :
         std::initializer_list<QWidget*>{k().年月日, k().区分, k().時刻, k().申請登録, k().取消}) {
        EXPECT_FALSE(c->isVisible()) << Name(c);
    }
    EXPECT_EQ(focus(), k().PassWord);
}

// Enter on a kind list that holds no kind shows neither the value field nor the buttons.
TEST_F(FocusTest, EnterOnNoKindShowsNoButtons) {
    struct Case {
        const char* typed;
        QStringList messages;
    };
    for (const Case& c : {Case{"", {}}, Case{"abc", {QStringLiteral("区分の値が不正です。")}}}) {
        SCOPED_TRACE(c.typed);
        backToPunchScreen();
        identify(QStringLiteral("0001"));
        QTest::mouseClick(k().申請, Qt::LeftButton);
        press(Qt::Key_Return);  // on to 区分
        ASSERT_EQ(focus(), k().区分);
        type(QString::fromUtf8(c.typed));
        press(Qt::Key_Return);
        EXPECT_FALSE(k().時刻->isVisible());
        EXPECT_FALSE(k().申請登録->isVisible());
        EXPECT_FALSE(k().取消->isVisible());
        EXPECT_EQ(focus(), k().区分);
        EXPECT_EQ(site.boxes.texts(), c.messages);
    }
}

}  // namespace
}  // namespace tq::test
