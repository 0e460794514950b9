#include "requests/requests.h"

#include <algorithm>

#include "attendance/punch.h"
#include "attendance/punch_sql.h"
#include "common/datetime.h"
#include "labour/leave_book.h"
#include "requests/request_dates.h"
#include "requests/request_sql.h"
#include "requests/request_value.h"

namespace tq {

namespace {

Message warning(const QString& text) {
    return Message{text, Icon::Exclamation};
}

RequestResult refused(const QString& text, EntryAfter after) {
    RequestResult r;
    r.outcome.messages.push_back(warning(text));
    r.after = after;
    return r;
}

/// A date column of the staff master; an empty or unreadable text is no date at all.
QDate employmentDate(const std::optional<QString>& text) {
    if (!text || text->trimmed().isEmpty()) {
        return {};
    }
    return parseDate(text->trimmed());
}

bool containsSubstituteState(const QString& state) {
    return state.contains(QStringLiteral("代替勤務")) || state.contains(QStringLiteral("代替休暇"));
}

/// The checked entry: the day as a date and the value to store.
struct Checked {
    QDate day;
    QString value;
};

/// The checks both buttons make before anything is read or written; the refusal, if any.
std::optional<RequestResult> check(const Identification& who, const Settings& settings,
                                   const RequestEntry& entry, const QDateTime& CurrentTime,
                                   Checked& checked) {
    // Only the kinds listed in the mode have a statement; other typed text is refused.
    if (!IsKindOfMode(entry.kind, entry.mode)) {
        return refused(BadKindText(), EntryAfter::FocusKind);
    }
    const ValueKind valueKind = ValueKindOf(entry.kind);
    if (IsValueMissing(entry.value)) {
        if (valueKind == ValueKind::Time && entry.kind != QStringLiteral("残業指示")) {
            return refused(QStringLiteral("時刻が入力されていません。"), EntryAfter::FocusValue);
        }
        if (valueKind == ValueKind::MonthDay) {
            return refused(QStringLiteral("月日が入力されていません。"), EntryAfter::FocusValue);
        }
        // "残業指示" without a value (or with its prompt) stores an empty instruction.
    } else if (valueKind != ValueKind::None) {
        const bool timeKind = valueKind == ValueKind::Time;
        const NormalizedValue v = NormalizeRequestValue(entry.value, timeKind);
        if (v.verdict != ValueVerdict::Valid) {
            return refused(BadValueText(timeKind), EntryAfter::FocusValue);
        }
        // Midnight is the end of the day: 00:00 is stored as 2400 (24:00 as an instruction).
        checked.value = v.text == QStringLiteral("00:00") ? QStringLiteral("24:00") : v.text;
    }

    // Only the days the mode's list offers: no request for the past, no correction of a
    // period already closed.
    checked.day = parseDate(entry.day);
    if (!checked.day.isValid()) {
        return refused(QStringLiteral("年月日が不正です。"), EntryAfter::FocusDate);
    }
    const std::vector<QDate> offered = RequestDates(entry.mode, CurrentTime, settings);
    if (std::find(offered.begin(), offered.end(), checked.day) == offered.end()) {
        return refused(ModeWord(entry.mode) + QStringLiteral("できない年月日です。"),
                       EntryAfter::FocusDate);
    }

    if (who.code.size() > kWorkCodeLength) {
        return refused(QStringLiteral("社員コードの桁数制限を越えています。"), EntryAfter::Ends);
    }
    const QDate joined = employmentDate(who.StaffRecord->入社年月日);
    if (joined.isValid() && checked.day < joined) {
        return refused(QStringLiteral("入社前です。"), EntryAfter::Ends);
    }
    const QDate left = employmentDate(who.StaffRecord->退社年月日);
    if (left.isValid() && checked.day > left) {
        return refused(QStringLiteral("退社後です。"), EntryAfter::Ends);
    }
    return std::nullopt;
}

RequestResult run(Database& db, const LogContext& ctx, const Identification& who,
                  const Settings& settings, const RequestEntry& entry, const QDateTime& CurrentTime,
                  bool registering) {
    if (!who.identified()) {
        return {};
    }
    Checked c;
    if (auto refusal = check(who, settings, entry, CurrentTime, c)) {
        return *refusal;
    }
    const QString caption = RegisterCaption(entry.mode);
    const QString name = ModeWord(entry.mode) + caption;
    {
        // The look at the day's row, the write and its log row share the employee's lock:
        // another terminal cannot insert the row in between.
        WriteTransaction tx(db, WriteScope::staffMember(who.code));
        const bool rowExists = db.query(WorkDayQuery(who.code, c.day))->next();
        if (registering) {
            const Sql s = RegistrationStatement(rowExists, entry.kind, who.code, c.day, entry.shift,
                                                c.value, CurrentTime);
            CommitLogged(tx, ctx, CurrentTime, name, s);
        } else {
            tx.commitWith(
                {CancellationStatement(rowExists, entry.kind, who.code, c.day, CurrentTime)});
        }
    }
    RequestResult r;
    r.after = EntryAfter::Ends;
    r.outcome.accepted = true;
    r.outcome.messages.push_back(
        registering ? Message{name + QStringLiteral("を受け付けました。"), Icon::Information}
                    : warning(name + QStringLiteral("を取消しました。")));
    // Leave beyond the balance is still the employee's to take; the shortfall is told.
    if (registering && entry.kind == QStringLiteral("有給休暇")) {
        if (auto m = LeaveShortfallWarning(db, ctx, who, CurrentTime, c.day)) {
            r.outcome.messages.push_back(*m);
        }
    }
    return r;
}

}  // namespace

std::optional<WorkDay> LookUpWorkDay(Database& db, const QString& code, const QDate& day) {
    auto rs = db.query(WorkDayQuery(code, day));
    if (!rs->next()) {
        return std::nullopt;
    }
    WorkDay w;
    auto nullable = [&rs](const QString& field) -> std::optional<QString> {
        if (rs->isNull(field)) {
            return std::nullopt;
        }
        return rs->text(field);
    };
    w.状態 = nullable(QStringLiteral("状態"));
    w.シフト = nullable(QStringLiteral("シフト"));
    w.出勤時刻 = rs->integer(QStringLiteral("出勤時刻"));
    w.退勤時刻 = rs->integer(QStringLiteral("退勤時刻"));
    return w;
}

DayPrefill PrefillForDay(const std::optional<WorkDay>& row, const StaffRecord& staff) {
    DayPrefill p;
    const QString standard = staff.勤務シフト.value_or(QString());
    if (!row) {
        p.shift = standard;
        return p;
    }
    const QString state = row->状態.value_or(QString());
    if (!state.isEmpty()) {
        if (containsSubstituteState(state)) {
            // A substitute state is the kind, "(", the linked mm/dd and ")".
            p.kind = state.left(4);
            p.value = state.mid(5, 5);
        } else {
            p.kind = state;
        }
    }
    const QString shift = row->シフト.value_or(QString());
    p.shift = shift.isEmpty() ? standard : shift;
    return p;
}

std::optional<QString> PrefillForKind(const QString& kind, const std::optional<WorkDay>& row) {
    if (!row) {
        return std::nullopt;
    }
    if (kind == QStringLiteral("出勤打刻") && row->出勤時刻 != 0) {
        return FormatStoredTime(row->出勤時刻);
    }
    if (kind == QStringLiteral("退勤打刻") && row->退勤時刻 != 0) {
        return FormatStoredTime(row->退勤時刻);
    }
    if (IsSubstituteKind(kind) && row->状態 && containsSubstituteState(*row->状態)) {
        return row->状態->mid(5, 5);
    }
    return std::nullopt;
}

QString FormatStoredTime(qint64 hhmm) {
    return QStringLiteral("%1:%2")
        .arg(hhmm / 100, 2, 10, QLatin1Char('0'))
        .arg(hhmm % 100, 2, 10, QLatin1Char('0'));
}

RequestResult RegisterRequest(Database& db, const LogContext& ctx, const Identification& who,
                              const Settings& settings, const RequestEntry& entry,
                              const QDateTime& CurrentTime) {
    return run(db, ctx, who, settings, entry, CurrentTime, true);
}

RequestResult CancelRequest(Database& db, const LogContext& ctx, const Identification& who,
                            const Settings& settings, const RequestEntry& entry,
                            const QDateTime& CurrentTime) {
    return run(db, ctx, who, settings, entry, CurrentTime, false);
}

}  // namespace tq
