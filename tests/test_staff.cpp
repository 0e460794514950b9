#include "test_staff.h"

#include <functional>
#include <vector>

namespace tq::test {

void TestStaff::insert(Database& db) const {
    std::vector<std::pair<QString, std::function<void(Sql&)>>> columns = {
        {QStringLiteral("担当者コード"), [&](Sql& s) { s.text(code_); }},
        {QStringLiteral("担当者名"), [&](Sql& s) { s.text(name_); }},
        {QStringLiteral("[PassWord]"), [&](Sql& s) { s.text(password_.value_or(code_)); }},
        {QStringLiteral("残業計算区分"), [&](Sql& s) { s.text(overtime_); }},
    };
    const auto optionalText = [&](const char16_t* column, const std::optional<QString>& v) {
        if (v) {
            columns.emplace_back(QString::fromUtf16(column), [&v](Sql& s) { s.text(*v); });
        }
    };
    optionalText(u"勤務シフト", shift_);
    optionalText(u"入社年月日", joined_);
    optionalText(u"退社年月日", left_);
    if (kind_) {
        columns.emplace_back(QStringLiteral("社員区分"), [&](Sql& s) { s.integer(*kind_); });
    }
    if (discontinued_) {
        columns.emplace_back(QStringLiteral("廃番区分"), [&](Sql& s) {
            s.raw(*discontinued_ ? QStringLiteral("True") : QStringLiteral("False"));
        });
    }
    if (registered_) {
        columns.emplace_back(QStringLiteral("登録日"), [&](Sql& s) {
            s.raw(registered_->toString(QStringLiteral("#yyyy/MM/dd HH:mm:ss#")));
        });
    }
    QStringList names;
    for (const auto& c : columns) {
        names << c.first;
    }
    Sql s(QStringLiteral("INSERT INTO T_担当者 (") + names.join(u',') +
          QStringLiteral(") VALUES ("));
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) {
            s.raw(QStringLiteral(","));
        }
        columns[i].second(s);
    }
    s.raw(QStringLiteral(")"));
    db.execute(s);
}

}  // namespace tq::test
