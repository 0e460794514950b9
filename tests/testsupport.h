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
/// Runs tq582ctl with arguments given as raw bytes (not necessarily UTF-8) in `workingDir`.
ToolRun runToolRaw(const QString& workingDir, const QList<QByteArray>& args);
/// The non-empty lines of a tool's output.
QStringList nonEmptyLines(const QString& text);

/// A small file system of its own (tmpfs of `bytes`) mounted on a fresh folder, for tests of a
/// full or read-only disk; unmounted and removed at the end. Needs root: `mounted()` is false
/// (and the test should skip) when mounting is not allowed.
class ScratchMount {
  public:
    explicit ScratchMount(qint64 bytes);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    /// Makes the whole file system read-only (true on success).
    bool makeReadOnly();
    /// Fills the file system up to its last byte with a file of its own.
    void fill();

  private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

}  // namespace tq::test
