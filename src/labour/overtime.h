#pragma once
// Statutory overtime and the limits of the 36 agreement (Labour Standards Act art. 32, 35,
// 36): from a staff member's working minutes per day to the figures of each payroll month
// and of the agreement year, and how close each figure is to its limit. Pure functions.

#include <QDate>
#include <QString>
#include <vector>

#include "settings/settings.h"

namespace tq {

/// The rules in force, from the common block of the settings (each key optional).
struct OvertimeRules {
    int 法定休日 = Qt::Sunday;    ///< the statutory rest day (Qt::DayOfWeek)
    int 週起算曜日 = Qt::Sunday;  ///< the first day of a week
    int 週法定労働時間 = 2400;    ///< minutes a week (2640 under the small-business exception)
    int 起算月 = 4;               ///< the first month of the agreement year
    int 月限度時間 = 45 * 60;     ///< minutes of overtime a month
    int 年限度時間 = 360 * 60;    ///< minutes of overtime an agreement year
    bool 特別条項 = false;        ///< the agreement has a special clause
    int 特別条項月時間 = 99 * 60 + 59;  ///< overtime + rest-day work a month, with the clause
    int 特別条項年時間 = 720 * 60;      ///< overtime an agreement year, with the clause
    int 特別条項回数 = 6;  ///< months a year that may pass 月限度時間, with the clause
    int 警告割合 = 80;     ///< percent of a limit from which a figure is 注意

    bool operator==(const OvertimeRules&) const = default;
};

/// The law's own ceilings, whatever the agreement says.
inline constexpr int kLawMonthCeiling = 99 * 60 + 59;  ///< overtime + rest-day work: under 100:00
inline constexpr int kLawAverageCeiling = 80 * 60;     ///< average over 2 to 6 months
inline constexpr int kLawYearCeiling = 720 * 60;       ///< overtime in a year
inline constexpr int kLawClauseMonths = 6;             ///< months a year over the monthly limit

/// One key of the rules as the settings check shows it.
struct OvertimeSettingInEffect {
    QString key;            ///< brackets included
    QString value;          ///< the value in force, as it would be written in the file
    bool fromFile = false;  ///< false when the default is in force (missing or refused)
};

/// The rules and what the settings check reports about their keys.
struct OvertimeSettingsCheck {
    OvertimeRules rules;
    std::vector<OvertimeSettingInEffect> inEffect;  ///< one per key, in key order
    /// A value that cannot be read, or that the law does not allow: the key, its line and the
    /// default used instead.
    std::vector<SettingsWarning> warnings;
};

/// Reads the rules from the common-block values. A missing value means its default; a value
/// that is no value of its kind, or one the law does not allow (a monthly limit over 45:00, a
/// special monthly limit of 100:00 or more, a special yearly limit over 720:00, more than 6
/// months, a week other than 2400 or 2640 minutes), means its default too.
OvertimeRules ReadOvertimeRules(const Settings& settings);
OvertimeSettingsCheck CheckOvertimeSettings(const LoadedSettings& loaded);

/// One working day's minutes (its 実働, from the daily calculation).
struct WorkedDay {
    QDate day;
    int 実働 = 0;
};

/// One day's statutory figures, in minutes. 休日労働 is all the work of a statutory rest day;
/// on other days 日時間外 is the work beyond 8 hours, 週時間外 the part of the first 8 hours
/// that passes the week's statutory hours on this day.
struct OvertimeDay {
    QDate day;
    int 実働 = 0;
    int 日時間外 = 0;
    int 週時間外 = 0;
    int 休日労働 = 0;

    int 時間外() const { return 日時間外 + 週時間外; }
};

/// The first day of the week that holds `day`.
QDate WeekStart(const QDate& day, const OvertimeRules& rules);

/// The figures of every day from `from` to `to`. `worked` is in day order, one entry a day at
/// most, and holds the days from WeekStart(from) on: the days of the week before `from` count
/// toward its 40 hours but are not returned. Days not in `worked` count as no work.
std::vector<OvertimeDay> StatutoryDays(const std::vector<WorkedDay>& worked, const QDate& from,
                                       const QDate& to, const OvertimeRules& rules);

enum class OvertimeStatus { None, 注意, 超過, 違反 };

/// "—", "注意", "超過", "違反".
QString StatusText(OvertimeStatus status);

/// The figures that are held against a limit.
enum class OvertimeFigure {
    Month,  ///< 時間外 of the month against 月限度時間 (without the special clause)
    Combined,  ///< 時間外 + 休日労働 of the month against 特別条項月時間 or the law's ceiling
    Year,     ///< 時間外 of the agreement year so far
    Average,  ///< the highest average of 時間外 + 休日労働 over 2 to 6 months
    Months,   ///< months of the agreement year over 月限度時間 (with the special clause)
};

/// One figure against its limit.
struct OvertimeCheck {
    OvertimeFigure figure = OvertimeFigure::Month;
    OvertimeStatus status = OvertimeStatus::None;
    int value = 0;  ///< minutes, or months for OvertimeFigure::Months
    int limit = 0;
    int runMonths = 0;  ///< the months averaged (OvertimeFigure::Average)
};

/// One payroll month with the agreement year up to it.
struct OvertimeMonth {
    int year = 0;  ///< the month's name: the calendar month its closing day falls in
    int month = 0;
    QDate start;
    QDate end;
    int 時間外 = 0;
    int 休日労働 = 0;
    int 年時間外 = 0;  ///< 時間外 of the agreement year up to this month, this one included
    int 限度超過月数 = 0;  ///< months of the agreement year so far whose 時間外 passed 月限度時間
    int 最大平均 = 0;      ///< minutes, rounded up; 0 when no run of 2 months can be averaged
    int 最大平均月数 = 0;  ///< the months of that run
    std::vector<OvertimeCheck> checks;

    int 合計() const { return 時間外 + 休日労働; }
    /// The figure furthest beyond (or nearest to) its limit: the worst status first, then the
    /// highest share of the limit.
    OvertimeCheck worst() const;
};

/// The agreement year of one payroll month.
struct OvertimeYear {
    /// The months of the agreement year from its first to the month asked for, in order.
    std::vector<OvertimeMonth> months;
    /// The days of the month asked for.
    std::vector<OvertimeDay> days;

    const OvertimeMonth& current() const { return months.back(); }
};

/// The days whose work the figures of payroll month `year`/`month` depend on: from the start
/// of the week holding the first day of the fifth month before the agreement year (the
/// averages reach back across its start) to the month's last day.
struct OvertimeSpan {
    QDate from;
    QDate to;
};
OvertimeSpan OvertimeSpanFor(int year, int month, const OvertimeRules& rules,
                             const Settings& settings);

/// The figures of payroll month `year`/`month` from the days worked over OvertimeSpanFor.
/// Months that end before `joined` (when valid) take part in no average.
OvertimeYear ComputeOvertime(const std::vector<WorkedDay>& worked, const QDate& joined, int year,
                             int month, const OvertimeRules& rules, const Settings& settings);

}  // namespace tq
