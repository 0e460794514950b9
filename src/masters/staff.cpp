#include "masters/staff.h"

#include <QRegularExpression>
#include <cmath>

#include "common/datetime.h"
#include "common/text.h"
#include "masters/masters_sql.h"

namespace tq {

namespace {

const QString kItemSeparator = QStringLiteral(" : ");

Message warning(const QString& text) {
    return Message{text, Icon::Exclamation};
}

StaffOutcome refusal(const Message& m, StaffField field) {
    StaffOutcome o;
    o.messages.push_back(m);
    o.field = field;
    return o;
}

StaffRow readRow(const ResultSet& rs) {
    StaffRow r;
    r.code = rs.text(QStringLiteral("担当者コード"));
    r.name = rs.text(QStringLiteral("担当者名"));
    r.password = rs.text(QStringLiteral("PassWord"));
    r.type = rs.integer(QStringLiteral("社員区分"));
    r.joined = rs.text(QStringLiteral("入社年月日"));
    r.left = rs.text(QStringLiteral("退社年月日"));
    r.overtime = rs.text(QStringLiteral("残業計算区分"));
    r.shift = rs.text(QStringLiteral("勤務シフト"));
    r.retired = rs.boolean(QStringLiteral("廃番区分"));
    r.registered = rs.dateTime(QStringLiteral("登録日"));
    return r;
}

// Writes a number into a digit pattern such as "0000/00/00" from the right, padding with
// zeros; digits beyond the pattern stay in front, as a number format would show them.
QString formatDigits(double value, const QString& pattern) {
    const long long rounded = std::llround(value);
    QString digits = QString::number(rounded < 0 ? -rounded : rounded);
    const auto places = static_cast<qsizetype>(pattern.count(u'0'));
    if (digits.size() < places) {
        digits = QString(places - digits.size(), u'0') + digits;
    }
    QString out;
    qsizetype next = digits.size() - 1;
    for (qsizetype i = pattern.size() - 1; i >= 0; --i) {
        if (pattern[i] == u'0') {
            out.prepend(digits[next--]);
        } else {
            out.prepend(pattern[i]);
        }
    }
    out.prepend(digits.left(next + 1));
    return rounded < 0 ? u'-' + out : out;
}

}  // namespace

QString StaffCodeOf(const QString& boxText) {
    const qsizetype at = boxText.indexOf(kItemSeparator);
    return at < 0 ? boxText : boxText.left(at);
}

QString StaffListItem(const StaffRow& row) {
    return row.code + kItemSeparator + row.name;
}

std::vector<StaffRow> ListStaff(Database& db) {
    std::vector<StaffRow> rows;
    auto rs = db.query(StaffListQuery());
    while (rs->next()) {
        rows.push_back(readRow(*rs));
    }
    return rows;
}

QStringList StaffListItems(Database& db) {
    QStringList items;
    for (const StaffRow& r : ListStaff(db)) {
        items << StaffListItem(r);
    }
    return items;
}

std::optional<Message> CheckStaffCode(const QString& code) {
    if (code.size() > kStaffCodeLength) {
        return warning(QStringLiteral("社員コードの桁数制限を越えています。"));
    }
    return std::nullopt;
}

std::optional<Message> CheckStaffName(const QString& name) {
    if (shiftJisLength(name) > kStaffNameBytes) {
        return warning(QStringLiteral("社員名の桁数制限を越えています。"));
    }
    return std::nullopt;
}

std::optional<Message> CheckStaffShift(const QString& shift) {
    if (shift.size() > kShiftCodeLength) {
        return warning(QStringLiteral("勤務シフトの桁数制限を越えています。"));
    }
    return std::nullopt;
}

StaffLookup LookupStaff(Database& db, const QString& boxText) {
    StaffLookup out;
    if (boxText.trimmed().isEmpty()) {
        return out;
    }
    out.code = StaffCodeOf(boxText);
    if (auto m = CheckStaffCode(out.code)) {
        out.result = LookupResult::Refused;
        out.outcome.messages.push_back(*m);
        return out;
    }
    auto rs = db.query(StaffQuery(out.code));
    if (rs->next()) {
        out.result = LookupResult::Found;
        out.row = readRow(*rs);
    } else {
        out.result = LookupResult::NotFound;
    }
    return out;
}

std::optional<Message> CheckDateText(const QString& text, DateBox box) {
    const bool joined = box == DateBox::Joined;
    if (text.isEmpty()) {
        return std::nullopt;
    }
    if (shiftJisLength(text) != 10) {
        return Message{joined ? QStringLiteral("入社年月日の桁数が不正です。")
                              : QStringLiteral("退社年月日の桁数が不正です。"),
                       Icon::None};
    }
    // Only the stored form "yyyy/mm/dd" of a real calendar day counts as a date, so every
    // reader of the column sees one form.
    static const QRegularExpression form(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}$"));
    if (!form.match(text).hasMatch() || !parseDate(text).isValid()) {
        return Message{joined ? QStringLiteral("入社年月日が不正です。")
                              : QStringLiteral("退社年月日が不正です。"),
                       Icon::None};
    }
    return std::nullopt;
}

DateCheck NormaliseDate(const QString& text, const QDate& today, DateBox box) {
    DateCheck out{text, std::nullopt};
    if (text.isEmpty()) {
        return out;
    }
    QString t = narrow(text);
    if (t.trimmed().isEmpty()) {
        t = formatDate(today);
    }
    const QString year = today.toString(QStringLiteral("yyyy"));
    const QString century = year.left(2);
    // The short forms are tried in this order, each on the text the previous one left.
    if (t.size() == 8 && isNumeric(t)) {
        t = formatDigits(numericValue(t), QStringLiteral("0000/00/00"));
    }
    if (t.size() == 6 && isNumeric(t)) {
        t = century + formatDigits(numericValue(t), QStringLiteral("00/00/00"));
    }
    if (t.size() == 4 && isNumeric(t)) {
        t = year + u'/' + formatDigits(numericValue(t), QStringLiteral("00/00"));
    }
    if (t.size() == 2 && isNumeric(t)) {
        t = today.toString(QStringLiteral("yyyy/MM/")) +
            formatDigits(numericValue(t), QStringLiteral("00"));
    }
    if (t.size() == 8 && !isNumeric(t)) {
        t = century + t;
    }
    if (t.size() == 5 && !isNumeric(t)) {
        t = year + u'/' + t;
    }
    out.text = t;
    out.refusal = CheckDateText(t, box);
    return out;
}

StaffOutcome RegisterStaff(Database& db, const LogContext& ctx, const QDateTime& now,
                           const StaffEntry& entry) {
    if (entry.code.trimmed().isEmpty()) {
        return {};
    }
    if (auto m = CheckStaffCode(entry.code)) {
        return refusal(*m, StaffField::Code);
    }
    if (auto m = CheckStaffName(entry.name)) {
        return refusal(*m, StaffField::Name);
    }
    if (entry.type < 0 || entry.type > 4) {
        return refusal(warning(QStringLiteral("社員区分が不正です。")), StaffField::Type);
    }
    const StaffValues v{
        entry.code,           entry.name,       entry.type,           entry.joined.trimmed(),
        entry.left.trimmed(), entry.noOvertime, entry.shift.trimmed()};
    if (auto m = CheckDateText(v.joined, DateBox::Joined)) {
        return refusal(*m, StaffField::Joined);
    }
    if (auto m = CheckDateText(v.left, DateBox::Left)) {
        return refusal(*m, StaffField::Left);
    }
    if (auto m = CheckStaffShift(v.shift)) {
        return refusal(*m, StaffField::Shift);
    }

    WriteTransaction tx(db);
    const bool exists = db.query(StaffQuery(v.code))->next();
    // A code typed with blanks around it is looked up as typed but stored trimmed; when the
    // trimmed code is already taken the insert could only fail, so it is refused here.
    if (!exists && v.code.trimmed() != v.code && db.query(StaffQuery(v.code.trimmed()))->next()) {
        return refusal(warning(QStringLiteral("社員コードが重複しています。")), StaffField::Code);
    }
    const Sql statement = exists ? StaffUpdate(v) : StaffInsert(v, now);
    ExecuteLogged(db, ctx, now, QStringLiteral("登録"), statement);
    tx.commit();

    StaffOutcome o;
    o.accepted = true;
    o.messages.push_back({QStringLiteral("社員登録を受け付けました。"), Icon::Information});
    return o;
}

StaffOutcome DeleteStaff(Database& db, const LogContext& ctx, const QDateTime& now,
                         const QString& code) {
    if (code.trimmed().isEmpty()) {
        return {};
    }
    if (auto m = CheckStaffCode(code)) {
        return refusal(*m, StaffField::Code);
    }
    // The whole site's lock: a punch of this member, which holds the member's own lock while
    // it reads the staff row again, waits for the deletion and then finds nobody.
    WriteTransaction tx(db);
    // Only a registered code is deleted (the panel offers 削除 for no other); a deletion that
    // finds nothing is neither confirmed nor logged.
    if (!db.query(StaffQuery(code))->next()) {
        return refusal(warning(QStringLiteral("社員コードが未登録です。")), StaffField::Code);
    }
    ExecuteLogged(db, ctx, now, QStringLiteral("削除"), StaffDelete(code));
    tx.commit();

    StaffOutcome o;
    o.accepted = true;
    o.messages.push_back({QStringLiteral("社員削除を受け付けました。"), Icon::Information});
    return o;
}

}  // namespace tq
