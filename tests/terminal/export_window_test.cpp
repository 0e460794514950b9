// `出力` on the real window (offscreen, fake clock, recorded message boxes): the workbook
// written beside the working directory and opened, the in-use question, the identity.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>

#include "../attendance/punch_fixture.h"
#include "report/xls_reader.h"
#include "terminal/export_screen.h"
#include "terminal_site.h"

namespace tq::test {
namespace {

using namespace Qt::StringLiterals;

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
        screen->canOpenWorkbook = [] { return true; };
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

/// What one question of a real box looked like after a wait, and how it was answered.
struct Answered {
    bool progressShown = false;   ///< a progress dialog was on the screen over the question
    bool boxHadTheInput = false;  ///< the question was the modal window taking the input
    bool stuck = false;           ///< the click did not close the box: it was closed by force
};

TEST_F(ExportWindowTest, InUseQuestionStaysAnswerableWhileTheProgressDialogIsDue) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    writeFile(target(), QByteArray("previous"));
    const QString lock = site.root() + QStringLiteral("/EXCEL/.~lock.2024年05月度_勤務.xls#");
    writeFile(lock, QByteArray(",tanaka,OTHER-PC-TQ582,x,y;"));  // open on another computer
    identify(QStringLiteral("0001"));
    ASSERT_EQ(screen->progressDelayMs, 500);

    // Each question is answered by a click on the real box, 1.2 s after it appeared.
    RealMessageBoxes real(w);
    std::deque<QMessageBox::StandardButton> clicks;
    std::vector<Answered> answered;
    site.boxes.onAsk = [&](const QString& text, Icon icon, const QString& title) {
        const QMessageBox::StandardButton button = clicks.front();
        clicks.pop_front();
        QTimer::singleShot(1200, [&, button] {
            Answered a;
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            a.boxHadTheInput = box != nullptr;
            for (QProgressDialog* p : w->findChildren<QProgressDialog*>()) {
                a.progressShown = a.progressShown || p->isVisible();
            }
            if (box == nullptr) {
                box = w->findChild<QMessageBox*>();
            }
            QTest::mouseClick(box->button(button), Qt::LeftButton);
            QCoreApplication::processEvents();
            if (box->isVisible()) {
                a.stuck = true;
                box->done(QMessageBox::Cancel);
            }
            answered.push_back(a);
        });
        return real.askOkCancel(text, icon, title);
    };

    // OK while it stays open asks again; Cancel then ends with nothing written.
    clicks = {QMessageBox::Ok, QMessageBox::Cancel};
    QTest::mouseClick(k().出力, Qt::LeftButton);
    ASSERT_EQ(answered.size(), 2u);
    for (const Answered& a : answered) {
        EXPECT_FALSE(a.progressShown);
        EXPECT_TRUE(a.boxHadTheInput);
        EXPECT_FALSE(a.stuck);
    }
    EXPECT_EQ(readFile(target()), QByteArray("previous"));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(k().社員名->text(), QStringLiteral("山田"));
    EXPECT_TRUE(w->findChildren<QProgressDialog*>().isEmpty());

    // Closed meanwhile: OK writes it and opens it.
    answered.clear();
    clicks = {QMessageBox::Ok};
    QTimer::singleShot(600, [&] { QFile::remove(lock); });
    QTest::mouseClick(k().出力, Qt::LeftButton);
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_FALSE(answered[0].progressShown);
    EXPECT_FALSE(answered[0].stuck);
    EXPECT_EQ(opened, QStringList{target()});
    EXPECT_NE(readFile(target()), QByteArray("previous"));
    EXPECT_TRUE(k().社員名->text().isEmpty());
}

/// Points the desktop's lists of programs at empty folders of a test, and PATH at one
/// holding an `xdg-open`; restores them when left.
class DesktopFolders {
  public:
    DesktopFolders() {
        for (const char* name :
             {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "PATH"}) {
            saved_.emplace_back(name, qgetenv(name));
        }
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("data"))));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dir_.filePath(QStringLiteral("system"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("config"))));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(dir_.filePath(QStringLiteral("xdg"))));
        writeFile(bin() + QStringLiteral("/xdg-open"), QByteArray("#!/bin/sh\nexit 0\n"));
        QFile::setPermissions(bin() + QStringLiteral("/xdg-open"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(bin()));
    }
    ~DesktopFolders() {
        for (const auto& [name, value] : saved_) {
            if (value.isNull()) {
                qunsetenv(name);
            } else {
                qputenv(name, value);
            }
        }
    }
    QString bin() const { return dir_.filePath(QStringLiteral("bin")); }
    QString path(const QString& relative) const { return dir_.filePath(relative); }

  private:
    QTemporaryDir dir_;
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST(DesktopProgramTest, AnInstalledProgramAssociatedWithXlsOpensTheWorkbook) {
    const QString calc = QStringLiteral("[Desktop Entry]\nType=Application\nExec=calc %f\n");
    const struct {
        const char* what;
        QString listFile;  ///< relative to the test's folders
        QString list;
        bool installed;
        bool xdgOpen;
        bool expected;
    } cases[] = {
        {"nothing associated", {}, {}, true, true, false},
        {"system cache", u"system/applications/mimeinfo.cache"_s,
         u"[MIME Cache]\napplication/vnd.ms-excel=calc.desktop;\n"_s, true, true, true},
        {"user default", u"config/mimeapps.list"_s,
         u"[Default Applications]\napplication/vnd.ms-excel=calc.desktop\n"_s, true, true, true},
        {"alias of the type", u"data/applications/mimeapps.list"_s,
         u"[Added Associations]\napplication/msexcel=calc.desktop;\n"_s, true, true, true},
        {"program not installed", u"system/applications/mimeinfo.cache"_s,
         u"[MIME Cache]\napplication/vnd.ms-excel=calc.desktop;\n"_s, false, true, false},
        {"association removed", u"config/mimeapps.list"_s,
         u"[Removed Associations]\napplication/vnd.ms-excel=calc.desktop;\n"_s, true, true, false},
        {"another type only", u"system/applications/mimeinfo.cache"_s,
         u"[MIME Cache]\ntext/plain=calc.desktop;\n"_s, true, true, false},
        {"no opener", u"system/applications/mimeinfo.cache"_s,
         u"[MIME Cache]\napplication/vnd.ms-excel=calc.desktop;\n"_s, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DesktopFolders folders;
        if (!c.listFile.isEmpty()) {
            writeFile(folders.path(c.listFile), c.list.toUtf8());
        }
        if (c.installed) {
            writeFile(folders.path(u"system/applications/calc.desktop"_s), calc.toUtf8());
        }
        if (!c.xdgOpen) {
            QFile::remove(folders.bin() + QStringLiteral("/xdg-open"));
        }
        EXPECT_EQ(DesktopOpensWorkbooks(), c.expected);
    }
}

TEST_F(ExportWindowTest, WithoutAProgramForXlsTheWorkbookIsShownByItsPath) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    identify(QStringLiteral("0001"));
    DesktopFolders nothingInstalled;
    screen->canOpenWorkbook = DesktopOpensWorkbooks;
    QTest::mouseClick(k().出力, Qt::LeftButton);
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_EQ(
        site.boxes.shown[0].text,
        QStringLiteral("Excelブック(") + target() +
            QStringLiteral(")を作成しました。\nこのコンピュータには開くプログラムがありません。"));
    EXPECT_EQ(site.boxes.shown[0].icon, Icon::Information);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(target()));
    EXPECT_TRUE(k().社員名->text().isEmpty());
}

}  // namespace
}  // namespace tq::test
