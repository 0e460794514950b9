#pragma once
// Helpers shared by the tests.

#include <QByteArray>
#include <QString>
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

}  // namespace tq::test
