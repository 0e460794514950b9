// The staff master panel and the shift calendar driven through the real window.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "../testsupport.h"
#include "common/datetime.h"
#include "masters/shift_calendar.h"
#include "masters/staff.h"
#include "terminal/masters_screen.h"
#include "terminal/terminal_window.h"

namespace tq::test {
namespace {

class StillClock final : public Clock {
  public:
    QDateTime now() const override { return current; }
    bool setNow(const QDateTime&) override { return false; }
    QDateTime current = wallClock(QDate(2024, 3, 20), QTime(9, 0, 0));
};

class NoNetworkTime final : public NtpLibrary {
  public:
    bool available() override { return true; }
    bool setNtpServer(const QString&, int) override { return true; }
    double getNtpTime() override { return 0.0; }
    void closeNtpServer() override {}
};

class Boxes final : public MessageBoxes {
  public:
    void show(const QString& text, Icon icon, const QString&) override {
        shown.push_back({text, icon});
    }
    bool askOkCancel(const QString& text, Icon icon, const QString&) override {
        shown.push_back({text, icon});
        return false;
    }
    std::vector<Message> shown;
};

class Names final : public SystemInfo {
  public:
    QString computerName() const override { return QStringLiteral("TERM01"); }
    QString userName() const override { return QStringLiteral("tanaka"); }
};

class MastersWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString work = dir.filePath(QStringLiteral("TQ582"));
        writeFile(work + QStringLiteral("/TQ582.ini"),
                  cp932Lines(QStringLiteral("[始業時刻]\n09:00\n{ｼﾌﾄ}\nA\n[始業時刻]\n08:30\n"
                                            "{ｼﾌﾄ}\nB\n[始業時刻]\n07:00\n")));
        window = std::make_unique<TerminalWindow>(TerminalSeams{clock, boxes, names, ntp, work});
        WireStaffMaster(*window);  // harmless when the window has wired it already
        ASSERT_TRUE(window->start());
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        k = &window->controls();
        db = window->state().Conn.get();
    }

    void TearDown() override {
        if (window) {
            window->hide();
        }
    }

    /// Gives the field the focus, then moves it on, as Tab would.
    void leave(QWidget* field) {
        field->setFocus(Qt::TabFocusReason);
        k->残業計算無し->setFocus(Qt::TabFocusReason);
    }

    void typeCode(const QString& code) {
        k->従業員コード->setEditText(code);
        leave(k->従業員コード);
    }

    void addStaff(const QString& code, const QString& name, const QString& shift) {
        StaffEntry e;
        e.code = code;
        e.name = name;
        e.type = 3;
        e.joined = QStringLiteral("2020/04/01");
        e.noOvertime = false;
        e.shift = shift;
        ASSERT_TRUE(RegisterStaff(*db, window->logContext(), clock.current, e).accepted);
    }

    QStringList shown() const {
        QStringList texts;
        for (const Message& m : boxes.shown) {
            texts << m.text;
        }
        return texts;
    }

    QTemporaryDir dir;
    StillClock clock;
    NoNetworkTime ntp;
    Boxes boxes;
    Names names;
    std::unique_ptr<TerminalWindow> window;
    TerminalControls* k = nullptr;
    Database* db = nullptr;
};

TEST_F(MastersWindowTest, PanelOpensOnlyFromAnIdleTerminalAndCloses) {
    k->社員保守->click();
    EXPECT_EQ(window->widthTwips(), TerminalWindow::kWideWidthTwips);
    EXPECT_FALSE(k->登録->isEnabled());
    EXPECT_FALSE(k->削除->isEnabled());
    EXPECT_TRUE(k->従業員コード->hasFocus());
    k->社員保守->click();
    EXPECT_EQ(window->widthTwips(), TerminalWindow::kPunchWidthTwips);
    EXPECT_TRUE(k->PassWord->hasFocus());

    k->PassWord->setText(QStringLiteral("00"));
    k->社員保守->click();
    EXPECT_EQ(window->widthTwips(), TerminalWindow::kPunchWidthTwips)
        << "somebody is typing a code";
}

TEST_F(MastersWindowTest, ChosenListItemShowsTheStaffMemberAndTheirMonth) {
    const QString longest = QStringLiteral("0002 : 佐藤一郎左衛門太郎右衛門之助");
    addStaff(QStringLiteral("0002"), longest.mid(7), QString());
    addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("B"));
    ShiftRegistration month;
    month.code = QStringLiteral("0001");
    month.staffShown = true;
    month.month = QStringLiteral("2024/03");
    month.days[0] = QStringLiteral("A");
    month.days[30] = QStringLiteral("B");
    ASSERT_TRUE(RegisterMonthShifts(*db, window->logContext(), clock.current, month).accepted);

    k->社員保守->click();
    k->従業員コード->setEditText(QStringLiteral("00"));
    QTest::mouseClick(k->従業員コード, Qt::LeftButton);  // opening the list fills it
    ASSERT_EQ(k->従業員コード->count(), 2);
    EXPECT_EQ(k->従業員コード->itemText(0), QStringLiteral("0001 : 山田"));
    EXPECT_EQ(k->従業員コード->currentText(), QStringLiteral("00")) << "typed text kept";
    EXPECT_EQ(k->従業員コード->maxVisibleItems(), 40);
    const int wanted = k->従業員コード->fontMetrics().horizontalAdvance(longest) + 30;
    ASSERT_GT(wanted, k->従業員コード->width());
    EXPECT_EQ(k->従業員コード->view()->minimumWidth(), wanted);

    k->従業員コード->setCurrentIndex(0);
    Q_EMIT k->従業員コード->activated(0);
    EXPECT_EQ(k->従業員コード->currentText(), QStringLiteral("0001"));
    EXPECT_EQ(k->従業員名->text(), QStringLiteral("山田"));
    EXPECT_TRUE(k->アルバイト->isChecked());
    EXPECT_FALSE(k->残業計算無し->isChecked());
    EXPECT_EQ(k->入社年月日->text(), QStringLiteral("2020/04/01"));
    EXPECT_EQ(k->勤務シフト->currentText(), QStringLiteral("B"));
    EXPECT_TRUE(k->Frame1->isEnabled());
    EXPECT_TRUE(k->削除->isEnabled());
    EXPECT_EQ(k->日別シフト[0]->currentText(), QStringLiteral("A"));
    EXPECT_EQ(k->日別シフト[1]->currentText(), QString());
    EXPECT_EQ(k->日別シフト[30]->currentText(), QStringLiteral("B"));
    EXPECT_TRUE(k->従業員名->hasFocus());

    // A staff member without a stored shift, then a new code: nothing of 0001 stays.
    typeCode(QStringLiteral("0002"));
    EXPECT_EQ(k->勤務シフト->currentText(), QString());
    EXPECT_EQ(k->日別シフト[0]->currentText(), QString());
    typeCode(QStringLiteral("0009"));
    EXPECT_EQ(k->従業員名->text(), QString());
    EXPECT_TRUE(k->正社員->isChecked());
    EXPECT_TRUE(k->残業計算無し->isChecked());
    EXPECT_TRUE(k->登録->isEnabled());
    EXPECT_FALSE(k->削除->isEnabled());
    EXPECT_FALSE(k->Frame1->isEnabled());
    EXPECT_TRUE(boxes.shown.empty());

    typeCode(QStringLiteral("00001"));
    EXPECT_EQ(shown(), QStringList{QStringLiteral("社員コードの桁数制限を越えています。")});
    EXPECT_TRUE(k->従業員コード->hasFocus());
}

TEST_F(MastersWindowTest, FieldChecksNormaliseAndReturnTheFocus) {
    k->社員保守->click();
    typeCode(QStringLiteral("0005"));

    k->入社年月日->setText(QStringLiteral("０３１５"));
    leave(k->入社年月日);
    EXPECT_EQ(k->入社年月日->text(), QStringLiteral("2024/03/15"));
    EXPECT_TRUE(boxes.shown.empty());

    k->退社年月日->setText(QStringLiteral("2024/02/30"));
    leave(k->退社年月日);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("退社年月日が不正です。"));
    EXPECT_EQ(boxes.shown[0].icon, Icon::None);
    EXPECT_TRUE(k->退社年月日->hasFocus());
    k->退社年月日->clear();
    leave(k->退社年月日);

    k->従業員名->setText(QStringLiteral("山").repeated(16));
    leave(k->従業員名);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("社員名の桁数制限を越えています。"));
    EXPECT_EQ(boxes.shown[1].icon, Icon::Exclamation);
    EXPECT_TRUE(k->従業員名->hasFocus());
}

TEST_F(MastersWindowTest, CalendarFillsTheBoxItWasOpenedFor) {
    k->社員保守->click();
    QTest::mouseDClick(k->入社年月日, Qt::LeftButton);
    ASSERT_TRUE(k->MonthView1->isVisible());
    EXPECT_EQ(k->MonthView1->x(), k->入社年月日->x());
    EXPECT_EQ(k->MonthView1->y(), k->入社年月日->y() + k->入社年月日->height());
    EXPECT_EQ(k->MonthView1->selectedDate(), QDate(2024, 3, 20));

    k->MonthView1->setSelectedDate(QDate(2024, 3, 4));
    Q_EMIT k->MonthView1->clicked(QDate(2024, 3, 4));
    EXPECT_EQ(k->入社年月日->text(), QStringLiteral("2024/03/04"));
    EXPECT_FALSE(k->MonthView1->isVisible());
    EXPECT_TRUE(k->入社年月日->hasFocus());
}

TEST_F(MastersWindowTest, RegisterRefusesUnfitShiftThenStoresAndClears) {
    k->社員保守->click();
    typeCode(QStringLiteral("0007"));
    k->従業員名->setText(QStringLiteral("O'Neil"));
    k->勤務シフト->setEditText(QStringLiteral("AB"));
    k->登録->click();
    EXPECT_EQ(shown(), QStringList{QStringLiteral("勤務シフトの桁数制限を越えています。")});
    EXPECT_TRUE(k->勤務シフト->hasFocus());
    EXPECT_TRUE(k->登録->isEnabled()) << "a refusal leaves the panel as it was";
    EXPECT_FALSE(LookupStaff(*db, QStringLiteral("0007")).row.has_value());

    k->勤務シフト->setCurrentIndex(k->勤務シフト->findText(QStringLiteral("A")));
    k->登録->click();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("社員登録を受け付けました。"));
    EXPECT_EQ(boxes.shown[1].icon, Icon::Information);
    const auto row = LookupStaff(*db, QStringLiteral("0007")).row;
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->name, QStringLiteral("O'Neil"));
    EXPECT_EQ(row->shift, QStringLiteral("A"));
    EXPECT_EQ(row->overtime, QStringLiteral("無"));
    EXPECT_EQ(k->従業員コード->currentText(), QString());
    EXPECT_EQ(k->従業員名->text(), QString());
    EXPECT_FALSE(k->登録->isEnabled());
    EXPECT_FALSE(k->Frame1->isEnabled());
    EXPECT_TRUE(k->従業員コード->hasFocus());

    typeCode(QStringLiteral("0007"));
    k->削除->click();
    EXPECT_EQ(boxes.shown.back().text, QStringLiteral("社員削除を受け付けました。"));
    EXPECT_FALSE(LookupStaff(*db, QStringLiteral("0007")).row.has_value());
}

TEST_F(MastersWindowTest, MonthChangeAndShiftRegistration) {
    addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QString());
    k->社員保守->click();

    // No staff member shown: the month change does nothing.
    k->対象年月->setCurrentIndex(0);  // 2024/02
    leave(k->対象年月);
    EXPECT_TRUE(k->日別シフト[30]->isVisibleTo(window.get()));

    typeCode(QStringLiteral("0001"));
    leave(k->対象年月);
    EXPECT_TRUE(k->日別シフト[0]->hasFocus());
    EXPECT_FALSE(k->日別シフト[29]->isVisibleTo(window.get()));
    EXPECT_TRUE(k->日別シフト[28]->isVisibleTo(window.get())) << "2024 is a leap year";

    k->日別シフト[0]->setEditText(QStringLiteral("B"));
    k->日別シフト[5]->setEditText(QStringLiteral("XY"));
    k->シフト登録->click();
    EXPECT_EQ(shown(), QStringList{QStringLiteral("日別シフトの桁数制限を越えています。")});
    EXPECT_TRUE(k->日別シフト[5]->hasFocus());

    k->日別シフト[5]->setEditText(QStringLiteral("A"));
    k->シフト登録->click();
    EXPECT_EQ(boxes.shown.back().text, QStringLiteral("シフト登録を受け付けました。"));
    EXPECT_TRUE(k->対象年月->hasFocus());
    EXPECT_TRUE(k->シフト登録->isEnabled());
    const DayShifts stored = MonthShifts(*db, QStringLiteral("0001"), QDate(2024, 2, 1));
    EXPECT_EQ(stored[0], QStringLiteral("B"));
    EXPECT_EQ(stored[5], QStringLiteral("A"));
    auto rs = db->query(Sql(QStringLiteral("SELECT COUNT(*) AS n FROM T_勤務")));
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->integer(QStringLiteral("n")), 29);

    // Back to March: its boxes come from March's rows, which do not exist.
    k->対象年月->setCurrentIndex(1);
    leave(k->対象年月);
    EXPECT_TRUE(k->日別シフト[30]->isVisibleTo(window.get()));
    EXPECT_EQ(k->日別シフト[0]->currentText(), QString());
}

TEST_F(MastersWindowTest, CloseRequestFoldsThePanelBackToThePunchScreen) {
    int ended = 0;
    QObject::connect(window.get(), &TerminalWindow::programEnded, [&ended](int) { ++ended; });
    k->社員保守->click();
    ASSERT_EQ(window->widthTwips(), TerminalWindow::kWideWidthTwips);
    EXPECT_FALSE(window->close()) << "the panel is a secondary view";
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(window->hasEnded());
    EXPECT_EQ(window->widthTwips(), TerminalWindow::kPunchWidthTwips);
    EXPECT_TRUE(k->PassWord->hasFocus());
    EXPECT_EQ(window->caption(), QStringLiteral("出勤・退勤"));

    EXPECT_TRUE(window->close()) << "on the punch screen the close request ends the program";
    EXPECT_EQ(ended, 1);
}

TEST_F(MastersWindowTest, PanelOpensWholeAfterAReview) {
    const std::vector<QWidget*> panel = {
        k->従業員コード, k->従業員名, k->入社年月日, k->退社年月日, k->勤務シフト,
        k->正社員,       k->契約社員, k->パート,     k->アルバイト, k->派遣社員,
        k->残業計算無し, k->登録,     k->削除,       k->Frame1};
    // A review that lists nothing (nobody identified) hides the panel's controls.
    k->確認->click();
    ASSERT_FALSE(k->従業員コード->isVisibleTo(window.get()));
    k->PassWord->setFocus();
    ASSERT_EQ(window->widthTwips(), TerminalWindow::kPunchWidthTwips);

    k->社員保守->click();
    ASSERT_EQ(window->widthTwips(), TerminalWindow::kWideWidthTwips);
    for (QWidget* c : panel) {
        EXPECT_TRUE(c->isVisible()) << c->objectName().toStdString();
    }
    EXPECT_TRUE(k->従業員コード->hasFocus());
    EXPECT_FALSE(k->明細->isVisible());
}

TEST_F(MastersWindowTest, EnterOnARefusedBoxLeavesTheFocusInIt) {
    k->社員保守->click();
    ASSERT_TRUE(k->従業員コード->hasFocus());
    k->従業員コード->setEditText(QStringLiteral("00001"));
    QTest::keyClick(k->従業員コード, Qt::Key_Return);
    EXPECT_EQ(shown(), QStringList{QStringLiteral("社員コードの桁数制限を越えています。")});
    EXPECT_TRUE(k->従業員コード->hasFocus())
        << "focus in " << QApplication::focusWidget()->objectName().toStdString();

    k->従業員コード->setEditText(QStringLiteral("0001"));
    QTest::keyClick(k->従業員コード, Qt::Key_Return);
    ASSERT_TRUE(k->従業員名->hasFocus()) << "a new code moves on to the name";

    k->従業員名->setText(QStringLiteral("山").repeated(16));  // 32 bytes in Shift_JIS
    QTest::keyClick(k->従業員名, Qt::Key_Return);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("社員名の桁数制限を越えています。"));
    EXPECT_TRUE(k->従業員名->hasFocus())
        << "focus in " << QApplication::focusWidget()->objectName().toStdString();

    k->従業員名->setText(QStringLiteral("山田"));
    QTest::keyClick(k->従業員名, Qt::Key_Return);
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_FALSE(k->従業員名->hasFocus()) << "a fitting name moves on as Tab does";
}

}  // namespace
}  // namespace tq::test
