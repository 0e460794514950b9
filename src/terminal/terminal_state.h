#pragma once
// What lives for the life of the terminal window: the open database, the loaded working
// rules, the terminal's current time and the clock check.

#include <QDateTime>
#include <QString>
#include <memory>

#include "settings/settings.h"
#include "storage/database.h"
#include "storage/sysfile.h"
#include "timesync/ntp.h"

namespace tq {

struct TerminalState {
    /// Where "TQ582.ini" and the system files live.
    QString workingDirectory;
    /// The system file as read at start-up (database path and time server).
    SystemFile systemFile;
    /// The database file in use, as an absolute path.
    QString MdbName;
    QString ComputerName;
    QString UserName;
    /// The one open database connection; empty before start-up opens it and after the end.
    std::unique_ptr<Database> Conn;
    /// The working rules as last loaded from the settings file.
    Settings settings;
    /// The encoding the settings file was read in (written back the same way).
    FileEncoding settingsEncoding = FileEncoding::Cp932;
    /// The terminal's current time, refreshed by the tick and by the clock check.
    QDateTime CurrentTime;
    /// The clock check; it holds `TimerSwitch` and the synchronisation indicator.
    std::unique_ptr<ClockCheck> clockCheck;

    bool TimerSwitch() const { return clockCheck && clockCheck->timerSwitchOn(); }
};

}  // namespace tq
