// `出力` on the real window (offscreen, fake clock, recorded message boxes): the workbook
// written beside the working directory and opened, the in-use question, the identity.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include "../attendance/punch_fixture.h"
#include "report/xls_reader.h"
#include "terminal/export_screen.h"
#include "terminal_site.h"

namespace tq::test {
namespace {

/// Records the label of every progress dialog that is shown.
class ProgressWatch : public QObject {
  public:
    QStringList labels;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* d = qobject_cast<QProgressDialog*>(watched)) {
                labels << d->labelText();
            }
        }
        return false;
    }
};

class ExportWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        site.writeWorkFile(QStringLiteral("TQ582.ini"), PunchRulesText());
        w = &site.startShown();
        ASSERT_TRUE(site.started);
        site.clock.current = wallClock(QDate(2024, 5, 25), QTime(10, 0));
        db = OpenSiteDb(site.defaultDb());
        rows = std::make_unique<SiteRows>(*db);
        rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"));
        screen = FindExportScreen(*w);
        ASSERT_NE(screen, nullptr);
        screen->openWorkbook = [this](const QString& path) { opened << path; };
        site.boxes.shown.clear();
    }

    TerminalControls& k() { return w->controls(); }

    void identify(const QString& code) {
        k().PassWord->setFocus();
        k().PassWord->clear();
        QTest::keyClicks(k().PassWord, code);
        QTest::keyClick(k().PassWord, Qt::Key_Return);
    }

    QString target() const {
        return QDir::cleanPath(site.root() + QStringLiteral("/EXCEL/2024年05月度_勤務.xls"));
    }

    TerminalSite site;
    TerminalWindow* w = nullptr;
    std::unique_ptr<Database> db;
    std::unique_ptr<SiteRows> rows;
    ExportScreen* screen = nullptr;
    QStringList opened;
};

TEST_F(ExportWindowTest, WritesOpensAndClearsTheIdentityWithoutAsking) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"), QStringLiteral("A"));
    rows->addWork(QStringLiteral("0002"), QDate(2024, 5, 8), QStringLiteral("A"), 830, 1730);
    identify(QStringLiteral("0001"));
    ASSERT_EQ(k().社員名->text(), QStringLiteral("山田"));

    // A progress dialog from the first sheet on names the staff member being written.
    ProgressWatch watch;
    qApp->installEventFilter(&watch);
    screen->progressDelayMs = 0;
    QTest::mouseClick(k().出力, Qt::LeftButton);
    qApp->removeEventFilter(&watch);

    EXPECT_TRUE(site.boxes.shown.empty());  // no confirmation, no message
    EXPECT_EQ(opened, QStringList{target()});
    QString error;
    const auto book = xls::ReadXlsFile(readFile(target()), &error);
    ASSERT_TRUE(book) << error.toStdString();
    ASSERT_EQ(book->sheets.size(), 2u);
    EXPECT_EQ(book->sheets[1].name, QStringLiteral("鈴木"));
    EXPECT_TRUE(k().PassWord->text().isEmpty());
    EXPECT_TRUE(k().社員名->text().isEmpty());
    EXPECT_TRUE(k().シフトコード->text().isEmpty());
    EXPECT_TRUE(k().PassWord->hasFocus());
    ASSERT_FALSE(watch.labels.isEmpty());
    EXPECT_TRUE(watch.labels.first().contains(QStringLiteral("山田")))
        << watch.labels.first().toStdString();
    EXPECT_TRUE(w->findChildren<QProgressDialog*>().isEmpty());  // gone afterwards

    // A quick export shows no dialog at the usual half-second delay.
    screen->progressDelayMs = 500;
    qApp->installEventFilter(&watch);
    watch.labels.clear();
    QTest::mouseClick(k().出力, Qt::LeftButton);
    qApp->removeEventFilter(&watch);
    EXPECT_TRUE(watch.labels.isEmpty());
    EXPECT_EQ(opened.size(), 2);
}

TEST_F(ExportWindowTest, InUseAsksWithOkAndCancelAndCancelKeepsEverything) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    writeFile(target(), QByteArray("previous"));
    const QString lock = site.root() + QStringLiteral("/EXCEL/.~lock.2024年05月度_勤務.xls#");
    writeFile(lock, QByteArray("x"));
    identify(QStringLiteral("0001"));

    site.boxes.answers = {true, false};  // OK (still open), then Cancel
    QTest::mouseClick(k().出力, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 2u);
    for (const auto& box : site.boxes.shown) {
        EXPECT_EQ(box.text, QStringLiteral("Excelブック(") + target() +
                                QStringLiteral(")を閉じてください。"));
        EXPECT_EQ(box.icon, Icon::Exclamation);
        EXPECT_EQ(box.title, w->caption());
    }
    EXPECT_EQ(readFile(target()), QByteArray("previous"));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(k().社員名->text(), QStringLiteral("山田"));  // the identity is kept

    // Closed in the meantime: OK writes it.
    site.boxes.shown.clear();
    site.boxes.answers = {true};
    QFile::remove(lock);
    QTest::mouseClick(k().出力, Qt::LeftButton);
    EXPECT_TRUE(site.boxes.shown.empty());
    EXPECT_EQ(opened, QStringList{target()});
    EXPECT_NE(readFile(target()), QByteArray("previous"));
}

TEST_F(ExportWindowTest, WorkbookThatCannotBeWrittenSaysSoAndKeepsTheIdentity) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    writeFile(site.root() + QStringLiteral("/EXCEL"), QByteArray("a file where the folder goes"));
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().出力, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_TRUE(site.boxes.shown[0].text.startsWith(QStringLiteral("Excelブック(") + target() +
                                                    QStringLiteral(")を保存できませんでした。")))
        << site.boxes.shown[0].text.toStdString();
    EXPECT_EQ(site.boxes.shown[0].icon, Icon::Exclamation);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(k().社員名->text(), QStringLiteral("山田"));
    EXPECT_FALSE(w->hasEnded());
}

TEST_F(ExportWindowTest, NobodyWithRowsOpensNothingButClearsTheIdentity) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 4, 30), QStringLiteral("A"), 830, 1730);
    identify(QStringLiteral("0001"));
    QTest::mouseClick(k().出力, Qt::LeftButton);
    EXPECT_TRUE(site.boxes.shown.empty());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(site.root() + QStringLiteral("/EXCEL/2024年05月度_勤務.xls")));
    EXPECT_TRUE(k().社員名->text().isEmpty());
}

}  // namespace
}  // namespace tq::test
