#pragma once
// The daily work-time calculation: one stored day (or a day without a record) becomes the
// seventeen texts of a review row and adds its minutes and counts to the monthly totals.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

#include "attendance/calendar.h"
#include "settings/settings.h"

namespace tq {

/// The columns of one `T_勤務` row that the calculation reads, with the employee's joining
/// and leaving dates of the listing query. A null column is std::nullopt.
struct WorkRow {
    QDate 勤務日;
    std::optional<QString> シフト;
    std::optional<QString> 残業指示;
    std::optional<QString> 状態;
    std::optional<int> 出勤時刻;  ///< hhmm
    std::optional<int> 退勤時刻;  ///< hhmm, past 2400 after midnight
    std::optional<QString> 状態申告日;
    std::optional<QString> 出勤打刻日;
    std::optional<QString> 退勤打刻日;
    std::optional<QString> 入社年月日;  ///< "yyyy/mm/dd" from T_担当者
    std::optional<QString> 退社年月日;  ///< "yyyy/mm/dd" from T_担当者
};

/// Number of texts in `DayFigures` (the columns of the review list).
inline constexpr int kDayFigureColumns = 17;

/// The seventeen texts of one calculated day, named after the review columns.
struct DayFigures {
    QString 日付;
    QString 曜日;
    QString シフト;
    QString 残業指示;
    QString 状態;
    QString 出勤;
    QString 退勤;
    QString 勤務;
    QString 休憩;
    QString 所定;
    QString 残業;
    QString 深夜;
    QString 早出;
    QString 実働;
    QString 状態打刻;
    QString 出勤打刻;
    QString 退勤打刻;

    /// The text of column 0..16 in review order ("日付" .. "退勤打刻").
    QString& at(int column);
    const QString& at(int column) const;
    /// The caption of column 0..16.
    static QString columnName(int column);
};

/// One group of monthly minute totals (all days, ordinary days or rest days).
struct TotalsGroup {
    int days = 0;  ///< days with both times known
    int 休憩 = 0;
    int 所定 = 0;
    int 残業 = 0;
    int 深夜 = 0;
    int 早出 = 0;
    int 勤務 = 0;
    int 実働 = 0;

    bool operator==(const TotalsGroup&) const = default;
};

/// The monthly accumulators. The caller zeroes them before a walk; CalculateDay only adds.
struct MonthTotals {
    TotalsGroup all;
    TotalsGroup ordinary;
    TotalsGroup rest;
    int 遅早回数 = 0;
    int 遅早時間 = 0;
    int 欠勤 = 0;
    int 有給休暇 = 0;
    int 私傷休暇 = 0;
    int 公傷休暇 = 0;
    int 特別休暇 = 0;
    int 代替休暇 = 0;
    int 代替出勤 = 0;

    bool operator==(const MonthTotals&) const = default;
};

/// Calculates `CalcDay` from `row`. When the row's `勤務日` differs from `CalcDay` (the
/// caller passes the next stored row of a later day) the day has no record: only the date,
/// day text and state are set and the totals are left alone. `残業計算区分` is the
/// employee's flag ("無" = no overtime bands); `CurrentTime` is the terminal's wall-clock now.
DayFigures CalculateDay(const QDate& CalcDay, const WorkRow& row, const QString& 残業計算区分,
                        const Settings& settings, const QDateTime& CurrentTime,
                        MonthTotals& totals);

/// A duration in minutes as shown: whole hours, ":", two-digit minutes (570 is "9:30"); the
/// sign of a negative value is kept on both parts as the display always did ("0:-30").
QString formatDuration(int minutes);
/// A punch time hhmm as shown: "8:05"; 2400 and later show the next morning ("1:30" for
/// 2530); 0 is the empty text.
QString formatPunch(int hhmm);

}  // namespace tq
