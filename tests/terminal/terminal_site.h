#pragma once
// A terminal on a site of its own: a temporary working directory with its settings and
// system files, a fake clock, a fake network time library, recorded message boxes and fixed
// computer and user names. Other screens' tests can build on it.

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "common/sysinfo.h"
#include "terminal/message_boxes.h"
#include "terminal/terminal_window.h"
#include "timesync/clock.h"
#include "timesync/ntp.h"

class QComboBox;

namespace tq::test {

class FakeClock final : public Clock {
  public:
    QDateTime now() const override { return current; }
    bool setNow(const QDateTime& wall) override {
        setCalls.push_back(wall);
        if (acceptSet) {
            current = wall;
        }
        return acceptSet;
    }

    QDateTime current;
    bool acceptSet = true;
    std::vector<QDateTime> setCalls;
};

class FakeNtp final : public NtpLibrary {
  public:
    bool available() override { return loadable; }
    bool setNtpServer(const QString& host, int port) override {
        ++setCalls;
        lastHost = host;
        lastPort = port;
        return loadable && setResult;
    }
    double getNtpTime() override {
        ++getCalls;
        return loadable ? time : 0.0;
    }
    void closeNtpServer() override { ++closeCalls; }

    bool loadable = true;
    bool setResult = true;
    double time = 0.0;  ///< days since 1899-12-30 (UTC); 0 = no time yet
    int setCalls = 0;
    int getCalls = 0;
    int closeCalls = 0;
    QString lastHost;
    int lastPort = 0;
};

class RecordingBoxes final : public MessageBoxes {
  public:
    struct Shown {
        QString text;
        Icon icon = Icon::None;
        QString title;
    };
    void show(const QString& text, Icon icon, const QString& title) override {
        shown.push_back({text, icon, title});
        if (onShow) {
            onShow();
        }
    }
    bool askOkCancel(const QString& text, Icon icon, const QString& title) override {
        shown.push_back({text, icon, title});
        if (onAsk) {
            return onAsk(text, icon, title);
        }
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QStringList texts() const {
        QStringList out;
        for (const Shown& s : shown) {
            out << s.text;
        }
        return out;
    }

    std::vector<Shown> shown;
    std::deque<bool> answers;      ///< OK (true) or Cancel for each question, in order
    std::function<void()> onShow;  ///< runs while a box is shown, to look at the window then
    /// Answers the questions instead of `answers` (a real box, for instance).
    std::function<bool(const QString& text, Icon icon, const QString& title)> onAsk;
};

class FixedSystemInfo final : public SystemInfo {
  public:
    QString computerName() const override { return computer; }
    QString userName() const override { return user; }
    QString computer = QStringLiteral("TERM01");
    QString user = QStringLiteral("tanaka");
};

/// A small settings file with the shifts "A" and "B".
QString DefaultSettingsText();

class TerminalSite {
  public:
    TerminalSite();
    ~TerminalSite();

    /// The site's root; the working directory is root + "/TQ582".
    QString root() const { return dir_.path(); }
    QString workDir() const { return dir_.path() + QStringLiteral("/TQ582"); }
    /// The default database file (no system file).
    QString defaultDb() const { return dir_.path() + QStringLiteral("/DB/DB.mdb"); }

    /// Writes a file of the working directory as CP932 with CR LF line ends.
    void writeWorkFile(const QString& name, const QString& text);

    /// Builds the window (not yet started).
    TerminalWindow& window();
    /// Builds and starts the window; the start-up result in `started`.
    TerminalWindow& start();
    /// Starts and shows the window (focus events need a shown window).
    TerminalWindow& startShown();
    bool started = false;

    FakeClock clock;
    FakeNtp ntp;
    RecordingBoxes boxes;
    FixedSystemInfo info;

  private:
    QTemporaryDir dir_;
    std::unique_ptr<TerminalWindow> window_;
};

/// Opens the box's list and clicks the item, as a user chooses from it.
void ChooseItem(QComboBox* box, const QString& item);

/// Opens a site database (creating nothing) for checks.
std::unique_ptr<Database> OpenSiteDb(const QString& path);
/// Counts the rows of a table.
int CountRows(Database& db, const QString& table);

}  // namespace tq::test
