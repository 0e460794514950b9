#pragma once
// Helpers shared by the tests.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <ostream>

#include <QDate>
#include <QDateTime>

// Readable QString / date values in GoogleTest failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QDate& d, std::ostream* os) {
    *os << d.toString(Qt::ISODate).toStdString();
}
inline void PrintTo(const QDateTime& t, std::ostream* os) {
    *os << t.toString(Qt::ISODate).toStdString();
}

namespace tq::test {

/// Writes bytes to a file (creating folders); fails the test when it cannot.
void writeFile(const QString& path, const QByteArray& bytes);
/// Reads a whole file; empty when it cannot.
QByteArray readFile(const QString& path);
/// Encodes text as CP932 bytes with CR LF line ends (text uses "\n").
QByteArray cp932Lines(const QString& text);

/// One run of the command-line tool built beside the test executables.
struct ToolRun {
    int exitCode = -1;  ///< -1 when the tool crashed or did not finish
    QString out;
    QString err;
};
/// Runs tq582ctl with `args` in `workingDir` and waits for it (30 s at most).
ToolRun runTool(const QString& workingDir, const QStringList& args);
/// The non-empty lines of a tool's output.
QStringList nonEmptyLines(const QString& text);

}  // namespace tq::test
