#include "attendance/calculation.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "attendance/text_scan.h"
#include "common/datetime.h"

namespace tq {

namespace {

// ---------------------------------------------------------------------------------------
// Reading settings and time values

/// The whole part of a number read as the settings are read (leading blanks, a sign,
/// digits, a decimal part; text that does not begin with a number is 0). With
/// `ignoreColons` the colons of a time "hh:mm" are skipped, so "08:30" reads as 830.
int readNumber(QStringView text, bool ignoreColons = false) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipColons = [&] {
        while (ignoreColons && i < n && text[i] == u':') {
            ++i;
        }
    };
    skipColons();
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
        skipColons();
    }
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    for (skipColons(); i < n && text[i] >= u'0' && text[i] <= u'9'; skipColons()) {
        if (value < 100'000'000) {  // far beyond any meaningful setting; never overflows
            value = value * 10 + (text[i].unicode() - u'0');
        }
        ++i;
    }
    return static_cast<int>(negative ? -value : value);
}

int readTime(QStringView text) {
    return readNumber(text, true);
}

/// A rounding unit; a missing, non-numeric, zero or negative unit means no rounding.
int readUnit(QStringView text) {
    const int u = readNumber(text);
    return u > 0 ? u : 1;
}

/// Hours and minutes of a time hhmm: the first two and the last two digits of the time
/// written with at least four digits.
struct HoursMinutes {
    int hours;
    int minutes;
};

HoursMinutes split(int t) {
    if (t < 0) {
        return {t / 100, t % 100};
    }
    int hours = t / 100;
    while (hours >= 100) {
        hours /= 10;
    }
    return {hours, t % 100};
}

int minuteOfDay(int t) {
    const HoursMinutes hm = split(t);
    return 60 * hm.hours + hm.minutes;
}

int minutesBetween(int from, int to) {
    return minuteOfDay(to) - minuteOfDay(from);
}

/// A minute of day turned back into hhmm.
int toHhmm(int minute) {
    return minute / 60 * 100 + minute % 60;
}

/// Band rounding: truncation toward zero to a multiple of the unit.
int roundDown(int minutes, int unit) {
    return minutes / unit * unit;
}

QStringView columns(const QString& entry, qsizetype from, qsizetype length = -1) {
    return QStringView(entry).mid(from, length);
}

// ---------------------------------------------------------------------------------------
// Display texts

/// Appends the decimal digits of a non-negative value.
char* putDigits(char* p, int value, int minDigits) {
    char tmp[12];
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n < minDigits) {
        tmp[n++] = '0';
    }
    while (n > 0) {
        *p++ = tmp[--n];
    }
    return p;
}

/// hours formatted "#0", ":", minutes formatted "00", each with its own sign.
QString hoursColonMinutes(int hours, int minutes, int hourDigits = 1) {
    char buf[32];
    char* p = buf;
    if (hours < 0) {
        *p++ = '-';
    }
    p = putDigits(p, std::abs(hours), hourDigits);
    *p++ = ':';
    if (minutes < 0) {
        *p++ = '-';
    }
    p = putDigits(p, std::abs(minutes), 2);
    return QString::fromLatin1(buf, p - buf);
}

/// A length written as two-digit hours, ":" and two-digit minutes ("00:00" for nothing).
bool isZeroLength(int minutes) {
    return minutes / 60 == 0 && minutes % 60 == 0;
}

/// The display texts of the common values are made once and then shared, so that a day's
/// figures cost almost no allocation.
template <int kSize, typename Make>
const QString& sharedText(int index, Make make) {
    static const std::vector<QString> table = [&] {
        std::vector<QString> texts(kSize);
        for (int i = 0; i < kSize; ++i) {
            texts[static_cast<size_t>(i)] = make(i);
        }
        return texts;
    }();
    return table[static_cast<size_t>(index)];
}

QString monthDay(const QDate& d) {
    int year = 0;
    int month = 0;
    int day = 0;
    d.getDate(&year, &month, &day);
    return sharedText<13 * 32>(month * 32 + day, [](int i) {
        return hoursColonMinutes(i / 32, i % 32, 2).replace(2, 1, u'/');
    });
}

// ---------------------------------------------------------------------------------------
// The per-shift rules, read once per day

enum BandIndex { kOrdinary = 0, kLateNight = 1, kEarlyStart = 2, kBandCount = 3 };

struct BandRules {
    int start = 0;  ///< hhmm
    int end = 0;    ///< hhmm
    int unit = 1;
};

/// One line of the break table: the break minutes for working lengths lower..upper.
struct BreakTableEntry {
    int lower;  ///< minutes
    int upper;  ///< minutes
    int minutes;
};

/// One fixed break period, start and end as hhmm.
struct BreakPeriod {
    int start;
    int end;
};

/// Reads a list up to its first empty entry (a list also ends after its last entry).
template <typename Entry, typename Read>
std::vector<Entry> readList(const QStringList& entries, Read read) {
    std::vector<Entry> list;
    list.reserve(static_cast<size_t>(entries.size()));
    for (const QString& entry : entries) {
        if (entry.isEmpty()) {
            break;
        }
        list.push_back(read(entry));
    }
    return list;
}

struct DayRules {
    int 始業 = 0;
    int 終業 = 0;
    int 所定勤務時間 = 0;
    int 残業対象時間 = 0;
    bool hasThreshold = false;
    bool combined = false;  ///< `[遅刻早退処理]` "合算": lateness and early leave are not rounded
    int unit = 1;           ///< `[所定勤務時間丸め]`
    std::array<BandRules, kBandCount> bands;
    /// Bounds are read as times, so "24:00" and "25:00" mean 24 and 25 hours of work.
    std::vector<BreakTableEntry> breakTable;
    std::vector<BreakPeriod> breakPeriods;

    explicit DayRules(const ShiftRules& r)
        : 始業(readTime(r.始業時刻)),
          終業(readTime(r.終業時刻)),
          所定勤務時間(readNumber(r.所定勤務時間)),
          残業対象時間(readNumber(r.残業対象時間)),
          hasThreshold(!r.残業対象時間.isEmpty()),
          combined(r.遅刻早退処理 == QStringView(u"合算")),
          unit(readUnit(r.所定勤務時間丸め)),
          bands{{{readTime(r.普通残業開始時刻), readTime(r.普通残業終了時刻),
                  readUnit(r.普通残業時間丸め)},
                 {readTime(r.深夜残業開始時刻), readTime(r.深夜残業終了時刻),
                  readUnit(r.深夜残業時間丸め)},
                 {readTime(r.早出残業開始時刻), readTime(r.早出残業終了時刻),
                  readUnit(r.早出残業時間丸め)}}},
          breakTable(readList<BreakTableEntry>(r.勤務時間別休憩時間,
                                               [](const QString& e) {
                                                   return BreakTableEntry{
                                                       minuteOfDay(readTime(columns(e, 0, 5))),
                                                       minuteOfDay(readTime(columns(e, 6, 5))),
                                                       readNumber(columns(e, 12))};
                                               })),
          breakPeriods(readList<BreakPeriod>(r.休憩時刻, [](const QString& e) {
              return BreakPeriod{readTime(columns(e, 0, 5)), readTime(columns(e, 6, 5))};
          })) {}

    /// The break minutes of the first break-table entry whose bounds hold the working
    /// length; nothing when the table ends first.
    std::optional<int> breakFor(int length) const {
        for (const BreakTableEntry& e : breakTable) {
            if (e.lower <= length && length <= e.upper) {
                return e.minutes;
            }
        }
        return std::nullopt;
    }
};

/// The shift's rules as numbers. Reading them costs more than the day's arithmetic, so the
/// last few shifts read are kept per thread together with the texts they came from; an
/// entry is reused only while every one of those texts still equals the current one.
const DayRules& readRules(const ShiftRules& source) {
    struct Entry {
        ShiftRules source;
        DayRules rules;
    };
    auto same = [](const ShiftRules& a, const ShiftRules& b) {
        return a.始業時刻 == b.始業時刻 && a.終業時刻 == b.終業時刻 &&
               a.所定勤務時間 == b.所定勤務時間 && a.残業対象時間 == b.残業対象時間 &&
               a.遅刻早退処理 == b.遅刻早退処理 && a.普通残業開始時刻 == b.普通残業開始時刻 &&
               a.普通残業終了時刻 == b.普通残業終了時刻 &&
               a.深夜残業開始時刻 == b.深夜残業開始時刻 &&
               a.深夜残業終了時刻 == b.深夜残業終了時刻 &&
               a.早出残業開始時刻 == b.早出残業開始時刻 &&
               a.早出残業終了時刻 == b.早出残業終了時刻 &&
               a.所定勤務時間丸め == b.所定勤務時間丸め &&
               a.普通残業時間丸め == b.普通残業時間丸め &&
               a.深夜残業時間丸め == b.深夜残業時間丸め &&
               a.早出残業時間丸め == b.早出残業時間丸め &&
               a.勤務時間別休憩時間 == b.勤務時間別休憩時間 && a.休憩時刻 == b.休憩時刻;
    };
    constexpr size_t kSlots = 4;
    thread_local std::array<std::optional<Entry>, kSlots> cache;
    thread_local size_t nextSlot = 0;
    for (const std::optional<Entry>& entry : cache) {
        if (entry && same(entry->source, source)) {
            return entry->rules;
        }
    }
    std::optional<Entry>& slot = cache[nextSlot];
    nextSlot = (nextSlot + 1) % kSlots;
    slot.emplace(Entry{source, DayRules(source)});
    return slot->rules;
}

bool contains(const QString& haystack, const char16_t* needle) {
    return detail::containsText(haystack, QStringView(needle));
}

/// The employee joined after `day` (a joining date that is no date is ignored).
bool joinedAfter(const WorkRow& row, const QDate& day) {
    if (!row.入社年月日 || row.入社年月日->isEmpty()) {
        return false;
    }
    const QDate joined = parseDate(*row.入社年月日);
    return joined.isValid() && joined > day;
}

/// The employee left before `day` (a leaving date that is no date is ignored).
bool leftBefore(const WorkRow& row, const QDate& day) {
    if (!row.退社年月日 || row.退社年月日->isEmpty()) {
        return false;
    }
    const QDate left = parseDate(*row.退社年月日);
    return left.isValid() && left < day;
}

// ---------------------------------------------------------------------------------------
// The calculation of one stored day

class StoredDay {
  public:
    StoredDay(const WorkRow& row, bool noOvertime, const Settings& settings,
              const QDateTime& currentTime, MonthTotals& totals)
        : row_(row),
          noOvertime_(noOvertime),
          settings_(settings),
          currentTime_(currentTime),
          totals_(totals),
          shift_(settings.shiftIndex(row.シフト.value_or(QString()))),
          rules_(readRules(settings.rules(shift_))) {}

    DayFigures run() {
        identityTexts();
        punchTimes();
        capByOvertimeInstruction();
        dayState();
        assumeTimesForOutsideWork();
        if (in_ != 0 && out_ != 0) {
            countDayWorked();
            attendanceSpan();
            effectiveEnd();
            effectiveStart();
            scheduledSpan();
            scheduledBreaks();
            scheduledTime();
            shortfall();
            for (int band = kOrdinary; band < kBandCount; ++band) {
                overtimeBand(static_cast<BandIndex>(band));
            }
            actualWorkAndBreaks();
        }
        stampsAndCounters();
        return std::move(f_);
    }

  private:
    /// Step 3: shift, instruction, date and day text of the row.
    void identityTexts() {
        f_.シフト = row_.シフト.value_or(QString());
        f_.残業指示 = row_.残業指示.value_or(QString());
        f_.日付 = monthDay(row_.勤務日);
        f_.曜日 = DayText(settings_, shift_, row_.勤務日);
        restDay_ = contains(f_.曜日, u"休");
    }

    /// Step 4.
    void punchTimes() {
        in_ = row_.出勤時刻.value_or(0);
        out_ = row_.退勤時刻.value_or(0);
        f_.出勤 = formatPunch(in_);
        f_.退勤 = formatPunch(out_);
    }

    /// Step 5: an overtime instruction ends the working day early; only "勤務" runs on.
    void capByOvertimeInstruction() {
        if (row_.残業指示 && !row_.残業指示->isEmpty()) {
            const int limit = readTime(*row_.残業指示);
            if (limit < out_) {
                out_ = limit;
            }
        }
    }

    /// Step 6: the stored state, or "勤務" / "？？" derived from the punches.
    void dayState() {
        QString& state = f_.状態;
        state = row_.状態.value_or(QString());
        static const QString working = QStringLiteral("勤務");
        static const QString missing = QStringLiteral("？？");
        if (state.isEmpty() && in_ != 0 && out_ != 0) {
            state = out_ < in_ ? missing : working;
        } else if (state.isEmpty()) {
            state = missing;
        }
        if (state == missing) {
            if (row_.勤務日 > currentTime_.date() || (in_ == 0 && out_ == 0) ||
                joinedAfter(row_, row_.勤務日) || leftBefore(row_, row_.勤務日)) {
                state.clear();
            }
        }
        // Rest-day minutes: a declared rest-day work counts with the rest days even on a
        // day the calendar calls a working day.
        declared_ = row_.状態 && !row_.状態->isEmpty();
        restDayMinutes_ =
            restDay_ ||
            (declared_ && (contains(state, u"休日出勤") || contains(state, u"休日勤務")));
    }

    /// Step 7: direct trips and business trips assume the scheduled start or end.
    void assumeTimesForOutsideWork() {
        const QString stored = row_.状態.value_or(QString());
        const bool directStart = stored == QStringView(u"直行") ||
                                 stored == QStringView(u"直行直帰") ||
                                 stored == QStringView(u"出張");
        const bool directEnd = stored == QStringView(u"直帰") ||
                               stored == QStringView(u"直行直帰") || stored == QStringView(u"出張");
        if (directStart && in_ == 0) {
            in_ = rules_.始業;
        }
        if (directEnd && out_ == 0) {
            out_ = rules_.終業;
        }
    }

    void addMinutes(int TotalsGroup::*member, int minutes) {
        TotalsGroup& group = restDayMinutes_ ? totals_.rest : totals_.ordinary;
        totals_.all.*member += minutes;
        group.*member += minutes;
    }

    /// Step 9.
    void countDayWorked() {
        totals_.all.days += 1;
        (restDay_ ? totals_.rest : totals_.ordinary).days += 1;
    }

    /// Step 10: from clock-in to the punched clock-out (the assumed one when none).
    void attendanceSpan() {
        const int end = f_.退勤.isEmpty() ? out_ : row_.退勤時刻.value_or(0);
        const int span = minutesBetween(in_, end);
        if (!isZeroLength(span)) {
            f_.勤務 = formatDuration(span);
            addMinutes(&TotalsGroup::勤務, span);
        }
    }

    /// Step 11, end: early leaving is rounded down to the grid anchored at the scheduled end.
    void effectiveEnd() {
        if (rules_.終業 < out_) {
            E_ = rules_.終業;
        } else if (rules_.combined) {
            E_ = out_;
        } else {
            E_ = out_;
            const int anchor = minuteOfDay(rules_.終業);
            const int target = minuteOfDay(out_);
            for (int i = 0; i <= 480; ++i) {
                const int c = anchor - i * rules_.unit;
                if (c <= target) {
                    E_ = toHhmm(c);
                    break;
                }
            }
        }
    }

    /// Step 11, start: late arrival is rounded up to the grid anchored at the scheduled start.
    void effectiveStart() {
        if (rules_.始業 > in_) {
            S_ = rules_.始業;
        } else if (rules_.combined) {
            S_ = in_;
        } else {
            S_ = in_;
            const int anchor = minuteOfDay(rules_.始業);
            const int target = minuteOfDay(in_);
            for (int i = 0; i <= 480; ++i) {
                const int c = anchor + i * rules_.unit;
                if (c >= target) {
                    S_ = toHhmm(c);
                    break;
                }
            }
        }
    }

    /// Step 12.
    void scheduledSpan() {
        A_ = roundDown(std::max(0, minutesBetween(S_, E_)), rules_.unit);
        scheduledLength_ = A_;
    }

    /// Step 13: the break table for the scheduled length, plus the break periods that lie
    /// within the scheduled hours, cut to the time actually present.
    void scheduledBreaks() {
        B_ = rules_.breakFor(A_).value_or(0);
        for (const BreakPeriod& p : rules_.breakPeriods) {
            if (p.start < rules_.始業 || p.end > rules_.終業) {
                continue;
            }
            const int from = p.start >= in_ ? p.start : std::max(S_, in_);
            const int to = p.end <= out_ ? p.end : out_;
            B_ += roundDown(std::max(0, minutesBetween(from, to)), rules_.unit);
        }
    }

    /// Step 14.
    void scheduledTime() {
        if (A_ != B_) {
            f_.所定 = formatDuration(A_ - B_);
            addMinutes(&TotalsGroup::所定, A_ - B_);
        }
    }

    /// Step 15: the shortfall is measured before any overtime moves below the threshold.
    void shortfall() {
        const int missing = rules_.所定勤務時間 - (A_ - B_);
        if (missing > 0) {
            totals_.遅早回数 += 1;
            totals_.遅早時間 += missing;
        }
    }

    /// Step 16-18, item 1: the band's limits on this day.
    std::pair<int, int> bandLimits(BandIndex band) const {
        const BandRules& b = rules_.bands[band];
        if (band == kEarlyStart) {
            const int from = b.start > in_ ? b.start : in_;
            if (!(b.end < out_)) {
                return {0, 0};
            }
            const int to = b.end;
            return to < from ? std::pair{0, 0} : std::pair{from, to};
        }
        if (!(b.start < out_)) {
            return {0, 0};
        }
        return {b.start, b.end < out_ ? b.end : out_};
    }

    /// Step 16-18, item 3: the extra break the longer day calls for, beyond the breaks
    /// already taken, plus the break periods within the band.
    int extraBreak(BandIndex band) const {
        const BandRules& b = rules_.bands[band];
        int length = scheduledLength_;
        int earlierY = 0;
        for (int j = kOrdinary; j <= band; ++j) {
            length += rawX_[j];
            if (j < band) {
                earlierY += Y_[j];
            }
        }
        int y = 0;
        if (const auto minutes = rules_.breakFor(length)) {
            y = *minutes - B_ - earlierY;
        }
        for (const BreakPeriod& p : rules_.breakPeriods) {
            if (p.start < b.start || p.end > b.end) {
                continue;
            }
            y += roundDown(std::max(0, minutesBetween(p.start, p.end <= out_ ? p.end : out_)),
                           b.unit);
        }
        return y;
    }

    void overtimeBand(BandIndex band) {
        const BandRules& b = rules_.bands[band];
        const auto [from, to] = bandLimits(band);
        int& X = X_[band];
        int& Y = Y_[band];
        X = roundDown(minutesBetween(from, to), b.unit);
        rawX_[band] = X;
        Y = extraBreak(band);
        if (X == Y || noOvertime_) {
            return;
        }
        moveBelowThreshold(X, Y);
        const int N = X - Y;
        QString& shown = band == kOrdinary ? f_.残業 : band == kLateNight ? f_.深夜 : f_.早出;
        if (N >= 1) {
            shown = formatDuration(N);
        }
        addMinutes(band == kOrdinary    ? &TotalsGroup::残業
                   : band == kLateNight ? &TotalsGroup::深夜
                                        : &TotalsGroup::早出,
                   N);
    }

    /// Step 16-18, item 5: overtime below `[残業対象時間]` counts as scheduled time.
    void moveBelowThreshold(int& X, int Y) {
        const int N = X - Y;
        const int P = A_ - B_;
        const int T = rules_.残業対象時間;
        if (!rules_.hasThreshold || N <= 0 || T <= P) {
            return;
        }
        const int room = T - P;
        if (room >= N) {
            addMinutes(&TotalsGroup::所定, N);
            A_ += N;
            X = Y;
        } else {
            X -= room;
            addMinutes(&TotalsGroup::所定, room);
            A_ += room;
        }
        f_.所定 = formatDuration(A_ - B_);
    }

    /// Step 19.
    void actualWorkAndBreaks() {
        const int total = A_ + X_[0] + X_[1] + X_[2];
        const int breaks = B_ + Y_[0] + Y_[1] + Y_[2];
        if (total != breaks) {
            f_.実働 = formatDuration(total - breaks);
            addMinutes(&TotalsGroup::実働, total - breaks);
        }
        if (breaks >= 1) {
            f_.休憩 = formatDuration(breaks);
            addMinutes(&TotalsGroup::休憩, breaks);
        }
    }

    /// Step 20: the stamps as stored, and the day counters by the state text.
    void stampsAndCounters() {
        f_.状態打刻 = row_.状態申告日.value_or(QString());
        f_.出勤打刻 = row_.出勤打刻日.value_or(QString());
        f_.退勤打刻 = row_.退勤打刻日.value_or(QString());
        const QString& state = f_.状態;
        if (!declared_ || state.isEmpty()) {  // "勤務" and "？？" name no counted kind
            return;
        }
        totals_.欠勤 += contains(state, u"欠勤") ? 1 : 0;
        totals_.有給休暇 += contains(state, u"有給休暇") ? 1 : 0;
        totals_.私傷休暇 += contains(state, u"私傷休暇") ? 1 : 0;
        totals_.公傷休暇 += contains(state, u"公傷休暇") ? 1 : 0;
        totals_.特別休暇 += contains(state, u"特別休暇") ? 1 : 0;
        totals_.代替休暇 += contains(state, u"代替休暇") ? 1 : 0;
        // Requests store "代替勤務"; the older wording "代替出勤" counts as well.
        totals_.代替出勤 += contains(state, u"代替出勤") || contains(state, u"代替勤務") ? 1 : 0;
    }

    const WorkRow& row_;
    const bool noOvertime_;
    const Settings& settings_;
    const QDateTime& currentTime_;
    MonthTotals& totals_;
    const int shift_;
    const DayRules& rules_;
    DayFigures f_;
    bool restDay_ = false;
    bool restDayMinutes_ = false;
    bool declared_ = false;  ///< the row carries a stored state
    int in_ = 0;
    int out_ = 0;
    int S_ = 0;
    int E_ = 0;
    int A_ = 0;
    int B_ = 0;
    int scheduledLength_ = 0;
    std::array<int, kBandCount> X_{};
    std::array<int, kBandCount> rawX_{};
    std::array<int, kBandCount> Y_{};
};

/// Step 2: a day without a record shows its date, day text and whether a punch is missing.
DayFigures dayWithoutRecord(const QDate& day, const WorkRow& laterRow, const Settings& settings,
                            const QDateTime& currentTime) {
    DayFigures f;
    f.日付 = monthDay(day);
    f.曜日 = DayText(settings, 0, day);
    const bool missing = !contains(f.曜日, u"休") && !(day > currentTime.date()) &&
                         !joinedAfter(laterRow, day) && !leftBefore(laterRow, day);
    if (missing) {
        static const QString marker = QStringLiteral("？？");
        f.状態 = marker;
    }
    return f;
}

}  // namespace

QString& DayFigures::at(int column) {
    return const_cast<QString&>(std::as_const(*this).at(column));
}

const QString& DayFigures::at(int column) const {
    switch (column) {
        case 0:
            return 日付;
        case 1:
            return 曜日;
        case 2:
            return シフト;
        case 3:
            return 残業指示;
        case 4:
            return 状態;
        case 5:
            return 出勤;
        case 6:
            return 退勤;
        case 7:
            return 勤務;
        case 8:
            return 休憩;
        case 9:
            return 所定;
        case 10:
            return 残業;
        case 11:
            return 深夜;
        case 12:
            return 早出;
        case 13:
            return 実働;
        case 14:
            return 状態打刻;
        case 15:
            return 出勤打刻;
        default:
            return 退勤打刻;
    }
}

QString DayFigures::columnName(int column) {
    static const std::array<QString, kDayFigureColumns> names = {
        QStringLiteral("日付"),     QStringLiteral("曜日"),    QStringLiteral("シフト"),
        QStringLiteral("残業指示"), QStringLiteral("状態"),    QStringLiteral("出勤"),
        QStringLiteral("退勤"),     QStringLiteral("勤務"),    QStringLiteral("休憩"),
        QStringLiteral("所定"),     QStringLiteral("残業"),    QStringLiteral("深夜"),
        QStringLiteral("早出"),     QStringLiteral("実働"),    QStringLiteral("状態打刻"),
        QStringLiteral("出勤打刻"), QStringLiteral("退勤打刻")};
    if (column < 0 || column >= kDayFigureColumns) {
        return {};
    }
    return names[static_cast<size_t>(column)];
}

QString formatDuration(int minutes) {
    constexpr int kShared = 48 * 60;
    if (minutes >= 0 && minutes < kShared) {
        return sharedText<kShared>(minutes,
                                   [](int m) { return hoursColonMinutes(m / 60, m % 60); });
    }
    return hoursColonMinutes(minutes / 60, minutes % 60);
}

QString formatPunch(int hhmm) {
    if (hhmm == 0) {
        return {};
    }
    const int t = hhmm >= 2400 ? hhmm - 2400 : hhmm;
    if (t >= 0 && t < 2400) {
        return sharedText<2400>(t, [](int v) { return hoursColonMinutes(v / 100, v % 100); });
    }
    return hoursColonMinutes(t / 100, t % 100);
}

DayFigures CalculateDay(const QDate& CalcDay, const WorkRow& row, const QString& 残業計算区分,
                        const Settings& settings, const QDateTime& CurrentTime,
                        MonthTotals& totals) {
    if (row.勤務日 != CalcDay) {
        return dayWithoutRecord(CalcDay, row, settings, CurrentTime);
    }
    const bool noOvertime = 残業計算区分 == QStringView(u"無");
    return StoredDay(row, noOvertime, settings, CurrentTime, totals).run();
}

}  // namespace tq
