#include "labour/overtime.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

#include "attendance/calculation.h"
#include "attendance/calendar.h"
#include "settings/settings_keys.h"

namespace tq {

namespace {

// ---- The settings ----

enum class ValueKind { Weekday, WeekMinutes, MonthNumber, Duration, Clause, Count, Percent };

struct RuleKey {
    QStringView name;
    ValueKind kind;
    int OvertimeRules::*member;  ///< nullptr for the clause
    int low;                     ///< the values the law allows, inclusive
    int high;
    const char16_t* why;  ///< why a value outside them is refused
};

const RuleKey kRuleKeys[] = {
    {u"[法定休日]", ValueKind::Weekday, &OvertimeRules::法定休日, 1, 7, u""},
    {u"[週起算曜日]", ValueKind::Weekday, &OvertimeRules::週起算曜日, 1, 7, u""},
    {u"[週法定労働時間]", ValueKind::WeekMinutes, &OvertimeRules::週法定労働時間, 2400, 2640,
     u"the statutory week is 2400 minutes (40 hours), or 2640 (44 hours) under the "
     u"small-business exception"},
    {u"[36協定起算月]", ValueKind::MonthNumber, &OvertimeRules::起算月, 1, 12,
     u"a month is 1 to 12"},
    {u"[36協定月限度時間]", ValueKind::Duration, &OvertimeRules::月限度時間, 1, 45 * 60,
     u"an agreement's monthly limit is above 0:00 and at most 45:00"},
    {u"[36協定年限度時間]", ValueKind::Duration, &OvertimeRules::年限度時間, 1, 360 * 60,
     u"an agreement's yearly limit is above 0:00 and at most 360:00"},
    {u"[36協定特別条項]", ValueKind::Clause, nullptr, 0, 1, u""},
    {u"[特別条項月時間]", ValueKind::Duration, &OvertimeRules::特別条項月時間, 1, kLawMonthCeiling,
     u"overtime and rest-day work in a month must stay under 100:00"},
    {u"[特別条項年時間]", ValueKind::Duration, &OvertimeRules::特別条項年時間, 1, kLawYearCeiling,
     u"overtime in a year is at most 720:00"},
    {u"[特別条項回数]", ValueKind::Count, &OvertimeRules::特別条項回数, 0, kLawClauseMonths,
     u"the monthly limit may be passed in at most 6 months of a year"},
    {u"[36協定警告割合]", ValueKind::Percent, &OvertimeRules::警告割合, 1, 100,
     u"a share of a limit is 1 to 100 %"},
};

const QString kWeekdayLetters = QStringLiteral("月火水木金土日");  // Qt::Monday .. Qt::Sunday

QString quoted(const QString& s) {
    return u'"' + s + u'"';
}

std::optional<int> wholeNumber(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^[0-9]{1,6}$"));
    if (!re.match(text).hasMatch()) {
        return std::nullopt;
    }
    return text.toInt();
}

// "45:00" or whole hours "45".
std::optional<int> durationMinutes(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^([0-9]{1,4}):([0-5][0-9])$"));
    if (const auto m = re.match(text); m.hasMatch()) {
        return m.captured(1).toInt() * 60 + m.captured(2).toInt();
    }
    if (const auto hours = wholeNumber(text); hours && *hours <= 9999) {
        return *hours * 60;
    }
    return std::nullopt;
}

// "日", "日曜" or "日曜日".
std::optional<int> weekday(const QString& text) {
    if (text.isEmpty() || (text.size() > 1 && text.mid(1) != u"曜" && text.mid(1) != u"曜日")) {
        return std::nullopt;
    }
    const qsizetype i = kWeekdayLetters.indexOf(text.front());
    if (i < 0) {
        return std::nullopt;
    }
    return static_cast<int>(i) + 1;
}

std::optional<int> readValue(ValueKind kind, const QString& text) {
    switch (kind) {
        case ValueKind::Weekday:
            return weekday(text);
        case ValueKind::WeekMinutes:
            return text.contains(u':') ? durationMinutes(text) : wholeNumber(text);
        case ValueKind::MonthNumber:
            return wholeNumber(text.endsWith(u'月') ? text.chopped(1) : text);
        case ValueKind::Duration:
            return durationMinutes(text);
        case ValueKind::Clause:
            if (text == u"有" || text == u"無") {
                return text == u"有" ? 1 : 0;
            }
            return std::nullopt;
        case ValueKind::Count:
            return wholeNumber(text);
        case ValueKind::Percent:
            return wholeNumber(text.endsWith(u'%') ? text.chopped(1).trimmed() : text);
    }
    return std::nullopt;
}

bool allowed(const RuleKey& key, int v) {
    if (key.kind == ValueKind::WeekMinutes) {
        return v == key.low || v == key.high;
    }
    return v >= key.low && v <= key.high;
}

QString valueText(ValueKind kind, int v) {
    switch (kind) {
        case ValueKind::Weekday:
            return kWeekdayLetters.mid(v - 1, 1);
        case ValueKind::Duration:
            return formatDuration(v);
        case ValueKind::Clause:
            return v != 0 ? QStringLiteral("有") : QStringLiteral("無");
        case ValueKind::Percent:
            return QString::number(v) + u'%';
        case ValueKind::WeekMinutes:
        case ValueKind::MonthNumber:
        case ValueKind::Count:
            break;
    }
    return QString::number(v);
}

QString kindName(ValueKind kind) {
    switch (kind) {
        case ValueKind::Weekday:
            return QStringLiteral("a weekday (日 to 土)");
        case ValueKind::WeekMinutes:
            return QStringLiteral("a number of minutes");
        case ValueKind::MonthNumber:
            return QStringLiteral("a month number");
        case ValueKind::Duration:
            return QStringLiteral("a duration h:mm");
        case ValueKind::Clause:
            return QStringLiteral("有 or 無");
        case ValueKind::Count:
            return QStringLiteral("a number of months");
        case ValueKind::Percent:
            return QStringLiteral("a percentage");
    }
    return QString();
}

int& memberOf(OvertimeRules& rules, const RuleKey& key, int& clause) {
    return key.member ? rules.*(key.member) : clause;
}

OvertimeSettingsCheck readRules(const Settings& settings, const SettingsOrigins* origins) {
    OvertimeSettingsCheck check;
    OvertimeRules& rules = check.rules;
    int clause = rules.特別条項 ? 1 : 0;
    for (const RuleKey& key : kRuleKeys) {
        const QString name = key.name.toString();
        int& target = memberOf(rules, key, clause);
        const QString fallback = valueText(key.kind, target);
        const QString text = settings.commonValue(key.name).trimmed();
        bool fromFile = false;
        if (!text.isEmpty()) {
            const int line = origins ? origins->commonValueLines.value(name) : 0;
            const auto v = readValue(key.kind, text);
            if (!v) {
                check.warnings.push_back({line, name,
                                          QStringLiteral("%1 is not %2: the default %3 is used")
                                              .arg(quoted(text), kindName(key.kind), fallback)});
            } else if (!allowed(key, *v)) {
                check.warnings.push_back(
                    {line, name,
                     QStringLiteral("%1 is not allowed (%2): the default %3 is used")
                         .arg(quoted(text), QString::fromUtf16(key.why), fallback)});
            } else {
                target = *v;
                fromFile = true;
            }
        }
        check.inEffect.push_back({name, valueText(key.kind, target), fromFile});
    }
    rules.特別条項 = clause != 0;
    return check;
}

// ---- The computation ----

QDate monthStartOf(int year, int month, int offset, const Settings& settings) {
    const QDate named = QDate(year, month, 1).addMonths(offset);
    return PayrollMonthEnding(named.year(), named.month(), settings).start;
}

OvertimeStatus judge(qint64 value, qint64 limit, qint64 ceiling, int percent) {
    if (ceiling > 0 && value > ceiling) {
        return OvertimeStatus::違反;
    }
    if (value > limit) {
        return OvertimeStatus::超過;
    }
    if (value > 0 && value * 100 >= limit * percent) {
        return OvertimeStatus::注意;
    }
    return OvertimeStatus::None;
}

OvertimeCheck check(OvertimeFigure figure, int value, int limit, int ceiling, int percent) {
    return {figure, judge(value, limit, ceiling, percent), value, limit, 0};
}

/// The month's figures against their limits; `runSum` / `runMonths` the highest average's run.
void judgeMonth(OvertimeMonth& m, qint64 runSum, const OvertimeRules& r) {
    const int p = r.警告割合;
    if (!r.特別条項) {
        m.checks.push_back(check(OvertimeFigure::Month, m.時間外, r.月限度時間, 0, p));
    }
    m.checks.push_back(check(OvertimeFigure::Combined, m.合計(),
                             r.特別条項 ? r.特別条項月時間 : kLawMonthCeiling, kLawMonthCeiling,
                             p));
    m.checks.push_back(check(OvertimeFigure::Year, m.年時間外,
                             r.特別条項 ? r.特別条項年時間 : r.年限度時間, kLawYearCeiling, p));
    if (m.最大平均月数 > 0) {
        // Judged on the run's sum, so that an average a fraction of a minute over 80:00 is
        // over it.
        const qint64 limit = qint64(kLawAverageCeiling) * m.最大平均月数;
        OvertimeCheck a{OvertimeFigure::Average, judge(runSum, limit, limit, p), m.最大平均,
                        kLawAverageCeiling, m.最大平均月数};
        m.checks.push_back(a);
    }
    if (r.特別条項) {
        m.checks.push_back(
            check(OvertimeFigure::Months, m.限度超過月数, r.特別条項回数, kLawClauseMonths, p));
    }
}

}  // namespace

OvertimeRules ReadOvertimeRules(const Settings& settings) {
    return readRules(settings, nullptr).rules;
}

OvertimeSettingsCheck CheckOvertimeSettings(const LoadedSettings& loaded) {
    return readRules(loaded.settings, &loaded.origins);
}

QDate WeekStart(const QDate& day, const OvertimeRules& rules) {
    return day.addDays(-((day.dayOfWeek() - rules.週起算曜日 + 7) % 7));
}

std::vector<OvertimeDay> StatutoryDays(const std::vector<WorkedDay>& worked, const QDate& from,
                                       const QDate& to, const OvertimeRules& rules) {
    std::vector<OvertimeDay> days;
    if (to < from) {
        return days;
    }
    days.reserve(static_cast<size_t>(from.daysTo(to) + 1));
    const QDate first = WeekStart(from, rules);
    auto next = std::lower_bound(worked.begin(), worked.end(), first,
                                 [](const WorkedDay& w, const QDate& d) { return w.day < d; });
    int week = 0;  // the week's minutes up to 8 a day, rest day apart
    for (QDate d = first; d <= to; d = d.addDays(1)) {
        OvertimeDay o{d};
        if (next != worked.end() && next->day == d) {
            o.実働 = std::max(0, next->実働);
            ++next;
        }
        if (d.dayOfWeek() == rules.週起算曜日) {
            week = 0;
        }
        if (d.dayOfWeek() == rules.法定休日) {
            o.休日労働 = o.実働;
        } else {
            constexpr int kDay = 8 * 60;
            o.日時間外 = std::max(0, o.実働 - kDay);
            const int before = week;
            week += std::min(o.実働, kDay);
            o.週時間外 = std::max(0, week - std::max(before, rules.週法定労働時間));
        }
        if (d >= from) {
            days.push_back(o);
        }
    }
    return days;
}

QString StatusText(OvertimeStatus status) {
    switch (status) {
        case OvertimeStatus::注意:
            return QStringLiteral("注意");
        case OvertimeStatus::超過:
            return QStringLiteral("超過");
        case OvertimeStatus::違反:
            return QStringLiteral("違反");
        case OvertimeStatus::None:
            break;
    }
    return QStringLiteral("—");
}

OvertimeCheck OvertimeMonth::worst() const {
    OvertimeCheck w;
    for (const OvertimeCheck& c : checks) {
        // A higher share of its limit: c.value / c.limit > w.value / w.limit.
        const bool higher =
            qint64(c.value) * std::max(w.limit, 1) > qint64(w.value) * std::max(c.limit, 1);
        if (c.status > w.status || (c.status == w.status && higher)) {
            w = c;
        }
    }
    return w;
}

OvertimeSpan OvertimeSpanFor(int year, int month, const OvertimeRules& rules,
                             const Settings& settings) {
    const int back = (month - rules.起算月 + 12) % 12 + 5;
    return {WeekStart(monthStartOf(year, month, -back, settings), rules),
            PayrollMonthEnding(year, month, settings).end};
}

OvertimeYear ComputeOvertime(const std::vector<WorkedDay>& worked, const QDate& joined, int year,
                             int month, const OvertimeRules& rules, const Settings& settings) {
    const int inYear = (month - rules.起算月 + 12) % 12;  // months of the year before this one
    constexpr int kBefore = 5;                            // months an average reaches back
    std::vector<OvertimeMonth> all;
    for (int i = -(inYear + kBefore); i <= 0; ++i) {
        const QDate named = QDate(year, month, 1).addMonths(i);
        const PayrollMonth p = PayrollMonthEnding(named.year(), named.month(), settings);
        OvertimeMonth m;
        m.year = named.year();
        m.month = named.month();
        m.start = p.start;
        m.end = p.end;
        all.push_back(m);
    }
    const std::vector<OvertimeDay> days =
        StatutoryDays(worked, all.front().start, all.back().end, rules);
    size_t d = 0;
    for (OvertimeMonth& m : all) {
        for (; d < days.size() && days[d].day <= m.end; ++d) {
            m.時間外 += days[d].時間外();
            m.休日労働 += days[d].休日労働;
        }
    }

    OvertimeYear result;
    int yearTotal = 0;
    int over = 0;
    for (size_t i = kBefore; i < all.size(); ++i) {
        OvertimeMonth& m = all[i];
        yearTotal += m.時間外;
        over += m.時間外 > rules.月限度時間 ? 1 : 0;
        m.年時間外 = yearTotal;
        m.限度超過月数 = over;
        // Runs of 2 to 6 months ending here, none reaching before the joining month.
        qint64 sum = m.合計();
        qint64 bestSum = 0;
        for (size_t n = 2; n <= 6 && n <= i + 1; ++n) {
            const OvertimeMonth& earliest = all[i + 1 - n];
            if (joined.isValid() && earliest.end < joined) {
                break;
            }
            sum += earliest.合計();
            // sum / n > bestSum / 最大平均月数
            if (m.最大平均月数 == 0 || sum * m.最大平均月数 > bestSum * static_cast<qint64>(n)) {
                bestSum = sum;
                m.最大平均月数 = static_cast<int>(n);
            }
        }
        if (m.最大平均月数 > 0) {
            m.最大平均 = static_cast<int>((bestSum + m.最大平均月数 - 1) / m.最大平均月数);
        }
        judgeMonth(m, bestSum, rules);
        result.months.push_back(m);
    }
    const QDate start = result.months.back().start;
    for (const OvertimeDay& o : days) {
        if (o.day >= start) {
            result.days.push_back(o);
        }
    }
    return result;
}

}  // namespace tq
