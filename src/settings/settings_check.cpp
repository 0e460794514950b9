#include "settings/settings_check.h"

#include <QDate>
#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <cmath>

#include "settings/settings_keys.h"

namespace tq {

namespace {

QString quoted(const QString& s) {
    return u'"' + s + u'"';
}

QString twoDigitTime(int minutes) {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// A time written strictly "hh:mm" (two-digit hours and minutes, minutes below 60).
bool isStrictTime(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^[0-9]{2}:[0-5][0-9]$"));
    return re.match(text).hasMatch();
}

bool isWhole(double v) {
    return std::floor(v) == v;
}

// A setting read as the calculation reads it: the number it begins with, cut to a whole
// number ("15分" reads as 15, "7.5" as 7, "末日" as 0).
int readsAs(const QString& text) {
    const double v = numericValue(text);
    return std::abs(v) < 1e9 ? static_cast<int>(v) : 0;
}

int indexOfSingle(QStringView name) {
    for (int i = 0; i < kSingleKeyCount; ++i) {
        if (kSingleKeys[i].name == name) {
            return i;
        }
    }
    return -1;
}

class Checker {
  public:
    explicit Checker(const LoadedSettings& loaded) : loaded_(loaded) {}

    std::vector<SettingsWarning> run() {
        const Settings& s = loaded_.settings;
        const int shifts =
            static_cast<int>(std::min<qsizetype>(s.shiftCodes.size() - 1, kMaxShiftIndex));
        for (int k = 0; k <= shifts; ++k) {
            k_ = k;
            checkCode();
            for (int i = 0; i < kSingleKeyCount; ++i) {
                checkSingle(i);
            }
            checkOrder(u"[始業時刻]", u"[終業時刻]", true);
            checkOrder(u"[普通残業開始時刻]", u"[普通残業終了時刻]", false);
            checkOrder(u"[深夜残業開始時刻]", u"[深夜残業終了時刻]", false);
            checkOrder(u"[早出残業開始時刻]", u"[早出残業終了時刻]", false);
            for (int i = 0; i < kListKeyCount; ++i) {
                checkList(i);
            }
        }
        checkDay(k給与締日Key.toString(), s.給与締日, loaded_.origins.給与締日Line);
        checkDay(k過日修正可能日Key.toString(), s.過日修正可能日,
                 loaded_.origins.過日修正可能日Line);
        checkDutyWarningDays();
        return std::move(warnings_);
    }

  private:
    const ShiftRules& rules() const { return loaded_.settings.shifts[static_cast<size_t>(k_)]; }
    const ShiftOrigins& origins() const { return loaded_.origins.shifts[static_cast<size_t>(k_)]; }
    QString blockName() const {
        return k_ == 0 ? QStringLiteral("common block")
                       : QStringLiteral("shift ") + quoted(loaded_.settings.shiftCodes[k_]);
    }
    void warn(int line, const QString& key, const QString& message) {
        warnings_.push_back({line, key, blockName() + QStringLiteral(": ") + message});
    }

    void checkCode() {
        if (k_ == 0) {
            return;
        }
        const QString& code = loaded_.settings.shiftCodes[k_];
        const int line = origins().codeLine;
        if (code.isEmpty()) {
            warn(line, QString(),
                 QStringLiteral("the shift code line is empty: an empty shift means the common "
                                "block, so no day can select this block"));
            return;
        }
        if (code.size() > 1) {
            warn(line, QString(),
                 QStringLiteral("the shift code is longer than one character: no day can carry "
                                "it, so this block is never used"));
        }
        const qsizetype first = loaded_.settings.shiftCodes.indexOf(code);
        if (first > 0 && first < k_) {
            warn(line, QString(),
                 QStringLiteral("the shift code is also the code of the block at line %1: days "
                                "with it use that block, so this one is never used")
                     .arg(loaded_.origins.shifts[static_cast<size_t>(first)].blockLine));
        }
    }

    void checkSingle(int i) {
        const SingleKey& key = kSingleKeys[i];
        const QString name = key.name.toString();
        const QString& v = rules().*(key.member);
        const int line = origins().singleLines[static_cast<size_t>(i)];
        switch (key.kind) {
            case SettingValueKind::Time:
                if (v.isEmpty()) {
                    if (key.name == u"[始業時刻]" || key.name == u"[終業時刻]") {
                        warn(origins().blockLine, name,
                             QStringLiteral("missing: the calculation reads it as 0 (no time)"));
                    }
                } else {
                    checkTime(line, name, v);
                }
                break;
            case SettingValueKind::Minutes:
                if (!v.isEmpty()) {
                    checkMinutes(line, name, v);
                }
                break;
            case SettingValueKind::Rounding:
                checkRounding(v.isEmpty() ? origins().blockLine : line, name, v);
                break;
            case SettingValueKind::Text:
                break;
        }
    }

    void checkTime(int line, const QString& name, const QString& v) {
        if (isStrictTime(v)) {
            return;
        }
        if (const auto m = SettingsTimeMinutes(v)) {
            warn(line, name,
                 QStringLiteral("%1 lacks the leading zero: it is compared as the time %2")
                     .arg(quoted(v), twoDigitTime(*m)));
            return;
        }
        const int n = readsAs(QString(v).remove(u':'));
        warn(line, name,
             QStringLiteral("%1 is not a time hh:mm: it reads as %2")
                 .arg(quoted(v), n == 0 ? QStringLiteral("0 (no time)") : QString::number(n)));
    }

    void checkMinutes(int line, const QString& name, const QString& v) {
        const double n = numericValue(v);
        if (!isNumeric(v)) {
            warn(line, name,
                 QStringLiteral("%1 is not a number of minutes: it reads as %2")
                     .arg(quoted(v))
                     .arg(readsAs(v)));
        } else if (!isWhole(n)) {
            warn(line, name,
                 QStringLiteral("%1 is not a whole number of minutes: it reads as %2")
                     .arg(quoted(v))
                     .arg(readsAs(v)));
        } else if (n < 0) {
            warn(line, name, QStringLiteral("%1 is a negative number of minutes").arg(quoted(v)));
        }
    }

    void checkRounding(int line, const QString& name, const QString& v) {
        const QString noRounding = QStringLiteral("counts as 1 minute (no rounding)");
        const int unit = readsAs(v);
        if (v.isEmpty()) {
            warn(line, name, QStringLiteral("missing: ") + noRounding);
        } else if (unit <= 0) {
            const QString what = !isNumeric(v)         ? QStringLiteral("is not a number")
                                 : numericValue(v) < 0 ? QStringLiteral("is negative")
                                                       : QStringLiteral("is zero");
            warn(line, name, QStringLiteral("%1 %2: %3").arg(quoted(v), what, noRounding));
        } else if (!isNumeric(v) || !isWhole(numericValue(v))) {
            warn(line, name,
                 QStringLiteral("%1 is not a whole number of minutes: it reads as %2")
                     .arg(quoted(v))
                     .arg(unit));
        }
    }

    // An end time before its start: "22:00" to "05:00" instead of "22:00" to "29:00".
    void checkOrder(QStringView startKey, QStringView endKey, bool strict) {
        const int si = indexOfSingle(startKey);
        const int ei = indexOfSingle(endKey);
        const QString& start = rules().*(kSingleKeys[si].member);
        const QString& end = rules().*(kSingleKeys[ei].member);
        const auto a = SettingsTimeMinutes(start);
        const auto b = SettingsTimeMinutes(end);
        if (!a || !b || *b > *a || (!strict && *b == *a)) {
            return;
        }
        warn(origins().singleLines[static_cast<size_t>(ei)], endKey.toString(),
             QStringLiteral("%1 is not after %2 %3: times after midnight are written past 24:00 "
                            "(%4 the next morning is %5)")
                 .arg(quoted(end), startKey.toString(), quoted(start), twoDigitTime(*b),
                      twoDigitTime(*b + 24 * 60)));
    }

    void checkList(int i) {
        const ListKey& key = kListKeys[i];
        const QStringList& list = rules().*(key.member);
        const std::vector<int>& lines = origins().listLines[static_cast<size_t>(i)];
        for (qsizetype e = 0; e < list.size(); ++e) {
            const int line =
                e < static_cast<qsizetype>(lines.size()) ? lines[static_cast<size_t>(e)] : 0;
            switch (key.kind) {
                case SettingListKind::DayRules:
                    checkDayRule(line, key, list[e]);
                    break;
                case SettingListKind::BreakTable:
                    checkBreakTableEntry(line, key.name.toString(), list[e]);
                    break;
                case SettingListKind::BreakPeriods:
                    checkBreakPeriod(line, key.name.toString(), list[e]);
                    break;
            }
        }
    }

    void checkDayRule(int line, const ListKey& key, const QString& v) {
        static const QStringList weekdays{QStringLiteral("日曜日"), QStringLiteral("月曜日"),
                                          QStringLiteral("火曜日"), QStringLiteral("水曜日"),
                                          QStringLiteral("木曜日"), QStringLiteral("金曜日"),
                                          QStringLiteral("土曜日")};
        static const QRegularExpression dateForm(QStringLiteral("^([0-9]{2})/([0-9]{2})$"));
        static const QRegularExpression looseDate(QStringLiteral("^[0-9]{1,2}/[0-9]{1,2}$"));
        static const QRegularExpression weekDigit(QStringLiteral("[1-5]"));
        const QString name = key.name.toString();
        if (v == u"祝祭日") {
            if (key.name != u"[休日]") {
                warn(line, name,
                     QStringLiteral("\"祝祭日\" counts only in [休日]: here it matches no day"));
            }
            return;
        }
        if (const auto m = dateForm.match(v); m.hasMatch()) {
            // Checked against a leap year, so "02/29" is a day.
            if (!QDate(2000, m.captured(1).toInt(), m.captured(2).toInt()).isValid()) {
                warn(line, name, QStringLiteral("%1 is no day of the year").arg(quoted(v)));
            }
            return;
        }
        const bool namesWeekday = std::any_of(weekdays.begin(), weekdays.end(),
                                              [&](const QString& w) { return v.contains(w); });
        if (namesWeekday) {
            if (v.size() != 3 && !v.contains(weekDigit)) {
                warn(line, name,
                     QStringLiteral("%1 names a weekday with no week digit 1-5: it matches no "
                                    "day (write the weekday alone for every week)")
                         .arg(quoted(v)));
            }
            return;
        }
        if (looseDate.match(v).hasMatch()) {
            warn(line, name,
                 QStringLiteral("%1 is not written mm/dd: it matches no day").arg(quoted(v)));
            return;
        }
        warn(line, name,
             QStringLiteral("%1 matches no day: write mm/dd, a weekday name%2")
                 .arg(quoted(v), key.name == u"[休日]" ? QStringLiteral(" or 祝祭日") : QString()));
    }

    void checkBreakTableEntry(int line, const QString& name, const QString& v) {
        const QString lower = v.mid(0, 5);
        const QString upper = v.mid(6, 5);
        if (v.size() < 13 || !isStrictTime(lower) || !isStrictTime(upper)) {
            warn(line, name,
                 QStringLiteral("%1 is not in the columns \"hh:mm-hh:mm minutes\" (bounds in "
                                "characters 1-5 and 7-11, the break from character 13): the "
                                "entry selects no break as intended")
                     .arg(quoted(v)));
            return;
        }
        const QString minutes = v.mid(12).trimmed();
        if (!isNumeric(minutes)) {
            warn(line, name,
                 QStringLiteral("the break length %1 is not a number: it reads as %2")
                     .arg(quoted(minutes))
                     .arg(readsAs(minutes)));
        }
        if (*SettingsTimeMinutes(lower) > *SettingsTimeMinutes(upper)) {
            warn(line, name,
                 QStringLiteral("%1: the lower bound is after the upper bound, so the entry "
                                "covers no working length")
                     .arg(quoted(v)));
        }
    }

    void checkBreakPeriod(int line, const QString& name, const QString& v) {
        const QString start = v.mid(0, 5);
        const QString end = v.mid(6, 5);
        if (v.size() < 11 || !isStrictTime(start) || !isStrictTime(end)) {
            warn(line, name,
                 QStringLiteral("%1 is not in the columns \"hh:mm-hh:mm\" (start in characters "
                                "1-5, end in 7-11)")
                     .arg(quoted(v)));
            return;
        }
        if (*SettingsTimeMinutes(end) < *SettingsTimeMinutes(start)) {
            warn(line, name,
                 QStringLiteral("%1 ends before it starts: it adds no break (times after "
                                "midnight are written past 24:00)")
                     .arg(quoted(v)));
        }
    }

    // The payroll closing day and the correction day are site values, checked once.
    void checkDay(const QString& name, const QString& v, int line) {
        const QString asLastDay = QStringLiteral("treated as \"末日\" (the month's last day)");
        auto siteWarn = [&](const QString& message) { warnings_.push_back({line, name, message}); };
        if (v == u"末日") {
            return;
        }
        const int day = readsAs(v);
        if (v.isEmpty()) {
            siteWarn(QStringLiteral("missing: ") + asLastDay);
        } else if (day < 1) {
            siteWarn(QStringLiteral("%1 %2: %3")
                         .arg(quoted(v),
                              isNumeric(v) ? QStringLiteral("is no day of a month")
                                           : QStringLiteral("is neither a day number nor \"末日\""),
                              asLastDay));
        } else if (!isNumeric(v) || !isWhole(numericValue(v))) {
            siteWarn(QStringLiteral("%1 is not a plain day number: it reads as %2")
                         .arg(quoted(v))
                         .arg(day));
        }
        if (day > 31) {
            siteWarn(QStringLiteral("%1 is beyond the end of every month: it means each month's "
                                    "last day")
                         .arg(quoted(v)));
        } else if (day > 28) {
            siteWarn(QStringLiteral("%1 is beyond the end of shorter months: in those it means "
                                    "the month's last day")
                         .arg(quoted(v)));
        }
    }

    // Missing is fine: the default applies (so does a value in a shift block, which the loader
    // ignores with its own warning).
    void checkDutyWarningDays() {
        const QString name = k有給取得義務警告日数Key.toString();
        const QString v = loaded_.settings.commonValue(name);
        const int line = loaded_.origins.commonValueLines.value(name);
        if (line == 0) {
            return;
        }
        if (!loaded_.settings.dutyWarningDays()) {
            warnings_.push_back({line, name,
                                 QStringLiteral("%1 is not a whole number of days: %2 is used")
                                     .arg(quoted(v))
                                     .arg(kDefaultLeaveDutyWarningDays)});
        }
    }

    const LoadedSettings& loaded_;
    int k_ = 0;
    std::vector<SettingsWarning> warnings_;
};

}  // namespace

std::optional<int> SettingsTimeMinutes(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^([0-9]{1,2}):([0-5][0-9])$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    return m.captured(1).toInt() * 60 + m.captured(2).toInt();
}

std::vector<SettingsWarning> CheckSettingsValues(const LoadedSettings& loaded) {
    return Checker(loaded).run();
}

std::vector<SettingsWarning> SettingsCheckWarnings(const LoadedSettings& loaded,
                                                   const std::vector<SettingsWarning>& more) {
    std::vector<SettingsWarning> all = loaded.warnings;
    const auto values = CheckSettingsValues(loaded);
    all.insert(all.end(), values.begin(), values.end());
    all.insert(all.end(), more.begin(), more.end());
    std::stable_sort(all.begin(), all.end(),
                     [](const SettingsWarning& a, const SettingsWarning& b) {
                         const int la = a.line == 0 ? INT_MAX : a.line;
                         const int lb = b.line == 0 ? INT_MAX : b.line;
                         return la < lb;
                     });
    return all;
}

}  // namespace tq
