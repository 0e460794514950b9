#include "terminal_site.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QTest>

#include "../testsupport.h"
#include "common/datetime.h"

namespace tq::test {

QString DefaultSettingsText() {
    return QStringLiteral(
        "#site rules\n"
        "[給与締日]\n"
        "20\n"
        "[過日修正可能日]\n"
        "25\n"
        "[始業時刻]\n"
        "09:00\n"
        "{ｼﾌﾄ}\n"
        "A\n"
        "[始業時刻]\n"
        "08:30\n"
        "{ｼﾌﾄ}\n"
        "B\n"
        "[始業時刻]\n"
        "07:00\n");
}

TerminalSite::TerminalSite() {
    EXPECT_TRUE(dir_.isValid());
    QDir().mkpath(workDir());
    clock.current = wallClock(QDate(2024, 5, 8), QTime(10, 15, 30));
    writeWorkFile(QStringLiteral("TQ582.ini"), DefaultSettingsText());
}

TerminalSite::~TerminalSite() {
    if (window_) {
        window_->hide();
    }
    window_.reset();
}

void TerminalSite::writeWorkFile(const QString& name, const QString& text) {
    writeFile(workDir() + QStringLiteral("/") + name, cp932Lines(text));
}

TerminalWindow& TerminalSite::window() {
    if (!window_) {
        window_ =
            std::make_unique<TerminalWindow>(TerminalSeams{clock, boxes, info, ntp, workDir()});
    }
    return *window_;
}

TerminalWindow& TerminalSite::start() {
    TerminalWindow& w = window();
    started = w.start();
    return w;
}

TerminalWindow& TerminalSite::startShown() {
    TerminalWindow& w = start();
    EXPECT_TRUE(started);
    w.show();
    w.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    return w;
}

void ChooseItem(QComboBox* box, const QString& item) {
    const int index = box->findText(item);
    ASSERT_GE(index, 0) << item.toStdString();
    box->setFocus(Qt::MouseFocusReason);  // a click on the box's arrow focuses it first
    box->showPopup();
    QAbstractItemView* view = box->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    view->scrollTo(view->model()->index(index, 0));
    const QRect r = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    QTRY_VERIFY(!view->isVisible());
}

std::unique_ptr<Database> OpenSiteDb(const QString& path) {
    return openEmbeddedDatabase(path, QString::fromLatin1(kDatabasePassword), false);
}

int CountRows(Database& db, const QString& table) {
    auto rs = db.query(Sql(QStringLiteral("SELECT count(*) AS n FROM ") + table));
    return rs->next() ? static_cast<int>(rs->integer(QStringLiteral("n"))) : -1;
}

}  // namespace tq::test
