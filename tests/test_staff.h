#pragma once
// Staff rows written straight into T_担当者 for a test's site, on either engine. The code the
// employee types at the terminal (PassWord) is the staff code unless the test sets it apart;
// columns not set stay null.

#include <QDateTime>
#include <QString>
#include <optional>

#include "storage/database.h"

namespace tq::test {

class TestStaff {
  public:
    TestStaff(QString code, QString name) : code_(std::move(code)), name_(std::move(name)) {}

    TestStaff& password(const QString& typed) { return set(password_, typed); }
    TestStaff& shift(const std::optional<QString>& code) { return set(shift_, code); }
    TestStaff& joined(const std::optional<QString>& date) { return set(joined_, date); }
    TestStaff& left(const std::optional<QString>& date) { return set(left_, date); }
    /// 残業計算区分, "有" unless set.
    TestStaff& overtime(const QString& flag) { return set(overtime_, flag); }
    /// 社員区分.
    TestStaff& kind(int k) { return set(kind_, k); }
    /// 廃番区分, written as the Jet literal False or True.
    TestStaff& discontinued(bool d) { return set(discontinued_, d); }
    /// 登録日, written as a Jet date literal (#yyyy/mm/dd hh:nn:ss#).
    TestStaff& registered(const QDateTime& at) { return set(registered_, at); }

    /// Inserts the row; a failing statement throws DbError.
    void insert(Database& db) const;

  private:
    template <typename T, typename V>
    TestStaff& set(T& member, const V& value) {
        member = value;
        return *this;
    }

    QString code_;
    QString name_;
    std::optional<QString> password_;
    std::optional<QString> shift_;
    std::optional<QString> joined_;
    std::optional<QString> left_;
    QString overtime_ = QStringLiteral("有");
    std::optional<int> kind_;
    std::optional<bool> discontinued_;
    std::optional<QDateTime> registered_;
};

}  // namespace tq::test
