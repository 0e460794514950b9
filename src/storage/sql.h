#pragma once
// Statements built from fixed pieces and typed values.
//
// Every statement of the system is written as its fixed text pieces (in the Jet dialect the
// operation log shows) with typed values between them. `logText()` renders the statement the
// way the operation log records it: dates as #yyyy/mm/dd#, texts between apostrophes,
// inserted unchanged or with apostrophes doubled as the caller says. The engine never sees
// that text: it gets its own SQL with every value bound as a parameter, so no typed value can
// change what a statement does.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <variant>
#include <vector>

namespace tq {

/// A typed database value.
struct SqlNull {};
struct SqlDecimal {
    qint64 value = 0;  ///< decimals of this system have scale 0
};
struct SqlLongText {
    QString value;
};
using SqlValue =
    std::variant<SqlNull, qint64, SqlDecimal, QDate, QDateTime, bool, QString, SqlLongText>;

/// How a text value appears in the log text: as typed, or with every apostrophe doubled.
enum class Quote { AsIs, Doubled };

class Sql {
  public:
    Sql() = default;
    explicit Sql(QString fixedJetText) { raw(std::move(fixedJetText)); }

    /// A fixed piece of the statement, in the Jet dialect ("DELETE * FROM", "[PassWord]",
    /// "False"/"True", "#" date signs belong to `date()` and are not written here).
    Sql& raw(QString fixedJetText);
    /// A text value: logged between apostrophes, bound as text.
    Sql& text(const QString& value, Quote quote = Quote::AsIs);
    /// A date: logged as #yyyy/mm/dd#, bound as a date.
    Sql& date(const QDate& value);
    /// A date-time: logged as #yyyy/mm/dd hh:nn:ss#, bound as a date-time.
    Sql& dateTime(const QDateTime& value);
    /// A whole number: logged as `logForm` when given (such as "0805"), else in decimal.
    Sql& integer(qint64 value, const QString& logForm = QString());
    /// A yes/no value: logged as False/True.
    Sql& boolean(bool value);

    /// The statement as the operation log records it.
    QString logText() const;

    struct Piece {
        bool isValue = false;
        QString fixed;    ///< fixed Jet text when !isValue
        SqlValue value;   ///< the value when isValue
        QString logForm;  ///< how the value is written in the log text
    };
    const std::vector<Piece>& pieces() const { return pieces_; }

  private:
    std::vector<Piece> pieces_;
};

}  // namespace tq
