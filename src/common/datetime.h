#pragma once
// Dates and times as the terminal uses them everywhere.
//
// A date-time is a wall-clock value without a time zone: a QDateTime whose timeSpec() is
// Qt::UTC, so that adding days or hours never meets a daylight-saving jump. `wallClock()`
// turns a system time into such a value. Across the network-time library boundary a date is
// a double counting days since 1899-12-30 00:00 with the time of day as the fraction.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

namespace tq {

/// A wall-clock date-time (Qt::UTC, meaning "no zone").
QDateTime wallClock(const QDate& date, const QTime& time = QTime(0, 0));
/// The wall-clock reading of a zoned QDateTime (its local date and time), seconds kept.
QDateTime wallClock(const QDateTime& zoned);

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
