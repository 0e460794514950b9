// The close request folding the secondary views back, the end of the program, and the
// settings view round trip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "../testsupport.h"
#include "common/text.h"
#include "terminal_site.h"

using namespace tq;
using namespace tq::test;

namespace {

QStringList comboItems(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) {
        out << box->itemText(i);
    }
    return out;
}

QString lastLogOperation(const QString& dbPath) {
    auto db = OpenSiteDb(dbPath);
    auto rs = db->query(Sql(QStringLiteral("SELECT 処理名 FROM T_ログ ORDER BY 連番 DESC")));
    return rs->next() ? rs->text(QStringLiteral("処理名")) : QString();
}

}  // namespace

TEST(CloseRequest, FoldsBackTwiceThenEnds) {
    TerminalSite site;
    TerminalWindow& w = site.startShown();
    TerminalControls& k = w.controls();
    QSignalSpy ended(&w, &TerminalWindow::programEnded);

    // The settings view is left without saving.
    QTest::mouseClick(k.設定, Qt::LeftButton);
    ASSERT_TRUE(k.INI_TEXT->isVisible());
    k.INI_TEXT->appendPlainText(QStringLiteral("not saved"));
    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(k.INI_TEXT->isVisible());
    EXPECT_EQ(w.caption(), QStringLiteral("出勤・退勤"));
    EXPECT_EQ(QApplication::focusWidget(), k.PassWord);
    EXPECT_FALSE(readFile(site.workDir() + QStringLiteral("/TQ582.ini")).contains("not saved"));

    // A list view covering the wide window, with the staff master controls hidden.
    w.setWidthTwips(TerminalWindow::kWideWidthTwips);
    const std::vector<QWidget*> staff = {k.従業員コード, k.従業員名, k.入社年月日,   k.退社年月日,
                                         k.勤務シフト,   k.正社員,   k.契約社員,     k.パート,
                                         k.アルバイト,   k.派遣社員, k.残業計算無し, k.登録,
                                         k.削除,         k.Frame1};
    for (QWidget* c : staff) {
        c->hide();
    }
    k.明細->show();
    w.setCaption(QStringLiteral("出勤・退勤  (山田)"));
    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(k.明細->isVisible());
    EXPECT_EQ(w.widthTwips(), TerminalWindow::kPunchWidthTwips);
    for (QWidget* c : staff) {
        EXPECT_TRUE(c->isVisible()) << c->objectName().toStdString();
    }
    EXPECT_EQ(w.caption(), QStringLiteral("出勤・退勤"));
    EXPECT_EQ(QApplication::focusWidget(), k.PassWord);
    EXPECT_FALSE(w.hasEnded());
    EXPECT_EQ(ended.count(), 0);

    // On the punch screen the close request ends the program.
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.hasEnded());
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 0);
    EXPECT_EQ(site.ntp.closeCalls, 1);
    EXPECT_EQ(w.state().Conn, nullptr);
    EXPECT_FALSE(k.Timer->isActive());
    EXPECT_EQ(lastLogOperation(site.defaultDb()), QStringLiteral("終了"));
}

TEST(SettingsView, EndSavesWithCrLfAndReloads) {
    TerminalSite site;
    TerminalWindow& w = site.startShown();
    TerminalControls& k = w.controls();

    // Somebody identified: the button does nothing.
    k.社員名->setText(QStringLiteral("山田"));
    QTest::mouseClick(k.設定, Qt::LeftButton);
    EXPECT_FALSE(k.INI_TEXT->isVisible());
    k.社員名->clear();

    w.setWidthTwips(TerminalWindow::kWideWidthTwips);
    QTest::mouseClick(k.設定, Qt::LeftButton);
    ASSERT_TRUE(k.INI_TEXT->isVisible());
    EXPECT_EQ(w.widthTwips(), TerminalWindow::kPunchWidthTwips);
    EXPECT_EQ(k.INI_TEXT->geometry(), w.centralWidget()->rect());
    EXPECT_EQ(w.caption(), QStringLiteral("出勤・退勤  (Endキーで書き換えます)"));
    EXPECT_EQ(QApplication::focusWidget(), k.INI_TEXT);
    QString shown = DefaultSettingsText();
    shown.chop(1);  // no line end after the last line
    EXPECT_EQ(k.INI_TEXT->toPlainText(), shown);

    // A character the Shift_JIS file cannot hold: nothing is written, the view stays.
    const QByteArray before = readFile(site.workDir() + QStringLiteral("/TQ582.ini"));
    k.INI_TEXT->insertPlainText(QStringLiteral("\U0001F600"));
    QTest::keyClick(k.INI_TEXT, Qt::Key_End);
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_EQ(site.boxes.shown[0].text,
              QStringLiteral("「\U0001F600」は設定ファイルに書き込めない文字です。"));
    EXPECT_TRUE(k.INI_TEXT->isVisible());
    EXPECT_EQ(readFile(site.workDir() + QStringLiteral("/TQ582.ini")), before);
    k.INI_TEXT->setPlainText(shown);

    // Typing edits the text; End saves it, reloads and returns to the code box.
    QTextCursor cursor = k.INI_TEXT->textCursor();
    cursor.movePosition(QTextCursor::End);
    k.INI_TEXT->setTextCursor(cursor);
    QTest::keyClick(k.INI_TEXT, Qt::Key_Return);
    k.INI_TEXT->insertPlainText(QStringLiteral("{ｼﾌﾄ}\nC\n[始業時刻]\n22:00"));
    QTest::keyClick(k.INI_TEXT, Qt::Key_End);

    EXPECT_FALSE(k.INI_TEXT->isVisible());
    EXPECT_EQ(w.caption(), QStringLiteral("出勤・退勤"));
    EXPECT_EQ(QApplication::focusWidget(), k.PassWord);
    const QString saved = DefaultSettingsText() + QStringLiteral("{ｼﾌﾄ}\nC\n[始業時刻]\n22:00\n");
    EXPECT_EQ(readFile(site.workDir() + QStringLiteral("/TQ582.ini")), cp932Lines(saved));
    const QStringList codes = {QString(), QStringLiteral("A"), QStringLiteral("B"),
                               QStringLiteral("C")};
    EXPECT_EQ(w.state().settings.shiftCodes, codes);
    EXPECT_EQ(comboItems(k.勤務シフト), codes);
    for (QComboBox* box : k.日別シフト) {
        EXPECT_EQ(comboItems(box), codes) << box->objectName().toStdString();
    }
    EXPECT_EQ(w.state().settings.rules(3).始業時刻, QStringLiteral("22:00"));
}

TEST(SettingsView, KeepsTheFileEncodingAndForgetsRemovedKeys) {
    TerminalSite site;
    const QString utf8Text = QStringLiteral("[給与締日]\n末日\n{ｼﾌﾄ}\n夜\n[始業時刻]\n22:00\n");
    writeFile(site.workDir() + QStringLiteral("/TQ582.ini"), utf8Text.toUtf8());
    TerminalWindow& w = site.startShown();
    TerminalControls& k = w.controls();
    ASSERT_EQ(w.state().settings.給与締日, QStringLiteral("末日"));

    QTest::mouseClick(k.設定, Qt::LeftButton);
    ASSERT_TRUE(k.INI_TEXT->isVisible());
    k.INI_TEXT->setPlainText(QStringLiteral("{ｼﾌﾄ}\n夜\n[始業時刻]\n23:00"));
    QTest::keyClick(k.INI_TEXT, Qt::Key_End);
    EXPECT_EQ(readFile(site.workDir() + QStringLiteral("/TQ582.ini")),
              QStringLiteral("{ｼﾌﾄ}\r\n夜\r\n[始業時刻]\r\n23:00\r\n").toUtf8());
    EXPECT_EQ(w.state().settings.給与締日, QString()) << "a removed key no longer applies";
    EXPECT_EQ(w.state().settings.rules(1).始業時刻, QStringLiteral("23:00"));
}
