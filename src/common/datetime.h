#pragma once
// Dates and times as the terminal uses them everywhere.
//
// A date-time is a wall-clock value without a time zone: a QDateTime whose timeSpec() is
// Qt::UTC, so that adding days or hours never meets a daylight-saving jump. The terminal's
// wall clock is Japan time (UTC+9, no daylight saving) on every computer: `japanTime()`
// turns an instant into it; the computer's own time zone is never used. Across the
// network-time library boundary a date is a double counting days since 1899-12-30 00:00 with
// the time of day as the fraction.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

namespace tq {

/// A wall-clock date-time (Qt::UTC, meaning "no zone").
QDateTime wallClock(const QDate& date, const QTime& time = QTime(0, 0));
/// Japan time of an instant (in any zone or offset), as a wall-clock value; milliseconds kept.
QDateTime japanTime(const QDateTime& instant);
/// The instant a Japan wall-clock value stands for, in milliseconds since 1970-01-01 UTC.
qint64 msecsSinceEpochOfJapanTime(const QDateTime& wall);

/// Days since 1899-12-30 00:00 (the fraction is the time of day) to a wall-clock date-time,
/// rounded to the nearest millisecond. 0.0 gives 1899-12-30 00:00.
QDateTime fromDayCount(double days);
double toDayCount(const QDateTime& wall);

/// "yyyy/mm/dd"
QString formatDate(const QDate& d);
/// "yyyy/mm/dd hh:nn:ss"
QString formatStamp(const QDateTime& t);
/// "mm/dd"
QString formatMonthDay(const QDate& d);

/// Parses "yyyy/mm/dd" (also "yyyy/m/d" and "yyyy-mm-dd"); an invalid QDate when the text
/// is no real calendar day.
QDate parseDate(const QString& text);
/// Parses "yyyy/mm/dd hh:nn:ss" (or a date alone, meaning midnight); invalid when malformed.
QDateTime parseStamp(const QString& text);

/// The Japanese weekday name ("日曜日" .. "土曜日") and letter ("日" .. "土"), independent of
/// the system locale.
QString weekdayName(const QDate& d);
QString weekdayLetter(const QDate& d);

}  // namespace tq
