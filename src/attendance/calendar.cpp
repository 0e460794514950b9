#include "attendance/calendar.h"

#include <algorithm>
#include <array>
#include <utility>

#include "attendance/text_scan.h"
#include "common/datetime.h"
#include "common/text.h"

namespace tq {

namespace {

/// A period setting as a day number; 0 stands for "末日" (also for a missing value, one
/// that is not a number, and 0 itself).
int periodDay(const QString& text) {
    const double v = numericValue(text);
    if (!(v >= 1.0)) {
        return 0;
    }
    return v > 99.0 ? 99 : static_cast<int>(v);
}

/// Day n of the month `monthOffset` months from `base`, a day beyond the month's end meaning
/// its last day.
QDate dayOfMonth(const QDate& base, int monthOffset, int n) {
    const QDate first = QDate(base.year(), base.month(), 1).addMonths(monthOffset);
    return first.addDays(std::min(n, first.daysInMonth()) - 1);
}

QDate endOfMonth(const QDate& base, int monthOffset) {
    const QDate first = QDate(base.year(), base.month(), 1).addMonths(monthOffset);
    return first.addDays(first.daysInMonth() - 1);
}

const QString& holidayEntry() {
    static const QString text = QStringLiteral("祝祭日");
    return text;
}

/// The parts of a date the rules look at, taken once per date.
struct DateParts {
    int year = 0;
    int month = 0;
    int day = 0;
    int weekday = 0;  ///< 1 = Monday .. 7 = Sunday
    /// "mm/dd", for comparisons without allocation.
    std::array<char16_t, 5> monthDay{};

    explicit DateParts(const QDate& d) : weekday(d.dayOfWeek()) {
        d.getDate(&year, &month, &day);
        monthDay = {char16_t(u'0' + month / 10), char16_t(u'0' + month % 10), u'/',
                    char16_t(u'0' + day / 10), char16_t(u'0' + day % 10)};
    }
    QStringView monthDayText() const { return QStringView(monthDay.data(), 5); }
};

bool entryMatches(const QString& entry, const DateParts& date) {
    if (entry == date.monthDayText()) {
        return true;
    }
    static const std::array<QString, 7> names = {QStringLiteral("月曜日"), QStringLiteral("火曜日"),
                                                 QStringLiteral("水曜日"), QStringLiteral("木曜日"),
                                                 QStringLiteral("金曜日"), QStringLiteral("土曜日"),
                                                 QStringLiteral("日曜日")};
    if (!detail::containsText(entry, names[static_cast<size_t>(date.weekday - 1)])) {
        return false;
    }
    if (entry.size() == 3) {
        return true;
    }
    // The week of the month: 1 = days 1-7, ... 5 = days 29-31.
    return detail::containsChar(entry, QChar(u'0' + (date.day - 1) / 7 + 1));
}

bool holiday(const DateParts& date, const QDate& q);

/// Walks a day list to its first empty entry (or its end); true when an entry names the date.
bool listNames(const QStringList& entries, const DateParts& date) {
    for (const QString& entry : entries) {
        if (entry.isEmpty()) {
            return false;
        }
        if (entryMatches(entry, date)) {
            return true;
        }
    }
    return false;
}

}  // namespace

Period ComputePeriod(const QDateTime& currentTime, const Settings& settings) {
    const QDate today = currentTime.date();
    const int d = today.day();
    const int c = periodDay(settings.給与締日);
    const int k = periodDay(settings.過日修正可能日);
    auto dayAfter = [&](int monthOffset) { return dayOfMonth(today, monthOffset, c).addDays(1); };

    if (c == 0) {  // calendar-month payroll
        if (d <= k) {
            return {dayOfMonth(today, -1, 1), dayOfMonth(today, 0, k)};
        }
        return {dayOfMonth(today, 0, 1), endOfMonth(today, 0)};
    }
    if (k == 0) {  // the previous period stays open to the end of the month
        return {dayAfter(-1), d <= c ? dayOfMonth(today, 0, c) : endOfMonth(today, 0)};
    }
    if (k < c) {  // corrections run into the next month
        if (d <= k) {
            return {dayAfter(-2), dayOfMonth(today, 0, k)};
        }
        if (d <= c) {
            return {dayAfter(-1), dayOfMonth(today, 0, c)};
        }
        return {dayAfter(-1), dayOfMonth(today, 1, k)};
    }
    if (d <= c) {
        return {dayAfter(-1), dayOfMonth(today, 0, c)};
    }
    if (d <= k) {
        return {dayAfter(-1), dayOfMonth(today, 0, k)};
    }
    return {dayAfter(0), dayOfMonth(today, 1, c)};
}

QDate ArchiveCutoff(const QDateTime& currentTime, const Settings& settings) {
    const QDate today = currentTime.date();
    return std::min({QDate(today.year(), today.month(), 1).addMonths(-1),
                     ComputePeriod(currentTime, settings).PeriodStart,
                     PayrollMonthOf(today, settings).start});
}

PayrollMonth PayrollMonthEnding(int year, int month, const Settings& settings) {
    const int c = periodDay(settings.給与締日);
    const QDate first(year, month, 1);
    const int closing = c == 0 ? 99 : c;
    return {dayOfMonth(first, -1, closing).addDays(1), dayOfMonth(first, 0, closing)};
}

PayrollMonth PayrollMonthOf(const QDate& day, const Settings& settings) {
    const PayrollMonth same = PayrollMonthEnding(day.year(), day.month(), settings);
    if (day <= same.end) {
        return same;
    }
    const QDate next = QDate(day.year(), day.month(), 1).addMonths(1);
    return PayrollMonthEnding(next.year(), next.month(), settings);
}

bool isNationalHoliday(const QDate& date) {
    return holiday(DateParts(date), date);
}

namespace {

bool holiday(const DateParts& date, const QDate& q) {
    const int m = date.month;
    const int d = date.day;
    static constexpr std::array<std::pair<int, int>, 9> fixed = {
        {{1, 1}, {2, 11}, {4, 29}, {5, 3}, {5, 4}, {5, 5}, {11, 3}, {11, 23}, {12, 23}}};
    for (const auto& [fm, fd] : fixed) {
        if (m == fm && d == fd) {
            return true;
        }
    }
    const bool monday = date.weekday == 1;
    if (monday && (m == 1 || m == 10) && d >= 8 && d <= 14) {
        return true;
    }
    if (monday && (m == 7 || m == 9) && d >= 15 && d <= 21) {
        return true;
    }
    if (m != 3 && m != 9) {
        return false;
    }
    // The year bounds are compared as four-character texts.
    const QString y = QStringLiteral("%1").arg(q.year(), 4, 10, QLatin1Char('0'));
    auto before = [&](const char16_t* bound) { return y < QStringView(bound); };
    auto after = [&](const char16_t* bound) { return y > QStringView(bound); };
    const int r = ((date.year % 4) + 4) % 4;
    if (m == 3) {
        switch (r) {
            case 0:
                return (d == 20 && before(u"2089")) || (d == 19 && after(u"2088"));
            case 1:
                return d == 20 && before(u"2098");
            case 2:
                return (d == 21 && before(u"2023")) || (d == 20 && after(u"2022"));
            default:
                return (d == 21 && before(u"2056")) || (d == 20 && after(u"2055"));
        }
    }
    switch (r) {
        case 0:
            return (d == 23 && before(u"2009")) || (d == 22 && after(u"2008"));
        case 1:
            return (d == 23 && before(u"2042")) || (d == 22 && after(u"2041"));
        case 2:
            return (d == 23 && before(u"2075")) || (d == 22 && after(u"2074"));
        default:
            return d == 23 && before(u"2100");
    }
}

}  // namespace

bool dayEntryMatches(const QString& entry, const QDate& date) {
    return entryMatches(entry, DateParts(date));
}

QString DayText(const Settings& settings, int shiftIndex, const QDate& date) {
    // Shared texts: the day text of a calculated row costs no allocation.
    static const std::array<QString, 7> letters = {
        QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"), QStringLiteral("木"),
        QStringLiteral("金"), QStringLiteral("土"), QStringLiteral("日")};
    static const std::array<QString, 7> restLetters = {
        QStringLiteral("月休"), QStringLiteral("火休"), QStringLiteral("水休"),
        QStringLiteral("木休"), QStringLiteral("金休"), QStringLiteral("土休"),
        QStringLiteral("日休")};
    const DateParts parts(date);
    const auto wd = static_cast<size_t>(parts.weekday - 1);
    const ShiftRules& rules = settings.rules(shiftIndex);

    if (listNames(rules.例外出勤日, parts) || listNames(rules.特別出勤日, parts)) {
        return letters[wd];
    }
    for (const QString& entry : rules.休日) {
        if (entry.isEmpty()) {
            break;
        }
        if (entryMatches(entry, parts)) {
            return restLetters[wd];
        }
        if (entry == holidayEntry() && holiday(parts, date)) {
            return restLetters[wd];
        }
    }
    return letters[wd];
}

}  // namespace tq
