#include "common/datetime.h"

#include <QRegularExpression>
#include <cmath>

namespace tq {

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86'400'000;
constexpr qint64 kJapanOffsetMs = 9 * 3'600'000;
}  // namespace

QDateTime wallClock(const QDate& date, const QTime& time) {
    return QDateTime(date, time, Qt::UTC);
}

QDateTime japanTime(const QDateTime& instant) {
    return QDateTime::fromMSecsSinceEpoch(instant.toMSecsSinceEpoch() + kJapanOffsetMs, Qt::UTC);
}

qint64 msecsSinceEpochOfJapanTime(const QDateTime& wall) {
    return QDateTime(wall.date(), wall.time(), Qt::UTC).toMSecsSinceEpoch() - kJapanOffsetMs;
}

QDateTime fromDayCount(double days) {
    const auto ms = static_cast<qint64>(std::llround(days * static_cast<double>(kMsPerDay)));
    qint64 whole = ms / kMsPerDay;
    qint64 rest = ms % kMsPerDay;
    if (rest < 0) {  // negative values count time forwards from the day before
        rest += kMsPerDay;
        whole -= 1;
    }
    return QDateTime(kEpoch.addDays(whole), QTime::fromMSecsSinceStartOfDay(static_cast<int>(rest)),
                     Qt::UTC);
}

double toDayCount(const QDateTime& wall) {
    const qint64 days = kEpoch.daysTo(wall.date());
    return static_cast<double>(days) +
           static_cast<double>(wall.time().msecsSinceStartOfDay()) / static_cast<double>(kMsPerDay);
}

QString formatDate(const QDate& d) {
    return d.toString(QStringLiteral("yyyy/MM/dd"));
}

QString formatStamp(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString formatMonthDay(const QDate& d) {
    return d.toString(QStringLiteral("MM/dd"));
}

QDate parseDate(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{4})[/-](\\d{1,2})[/-](\\d{1,2})\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) {
        return {};
    }
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

QDateTime parseStamp(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{4})[/-](\\d{1,2})[/-](\\d{1,2})(?:[ "
                       "T](\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?)?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) {
        return {};
    }
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime t(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!d.isValid() || !t.isValid()) {
        return {};
    }
    return QDateTime(d, t, Qt::UTC);
}

QString weekdayName(const QDate& d) {
    return weekdayLetter(d) + QStringLiteral("曜日");
}

QString weekdayLetter(const QDate& d) {
    static const QString letters[] = {
        QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"), QStringLiteral("木"),
        QStringLiteral("金"), QStringLiteral("土"), QStringLiteral("日")};
    return letters[d.dayOfWeek() - 1];
}

}  // namespace tq
