#include "storage/sql.h"

namespace tq {

namespace {

Sql::Piece valuePiece(SqlValue value, QString logForm) {
    Sql::Piece p;
    p.isValue = true;
    p.value = std::move(value);
    p.logForm = std::move(logForm);
    return p;
}

}  // namespace

Sql& Sql::raw(QString fixedJetText) {
    if (fixedJetText.isEmpty()) {
        return *this;
    }
    // Consecutive fixed pieces are kept as one, so the engine translates whole phrases.
    if (!pieces_.empty() && !pieces_.back().isValue) {
        pieces_.back().fixed += fixedJetText;
        return *this;
    }
    Piece p;
    p.fixed = std::move(fixedJetText);
    pieces_.push_back(std::move(p));
    return *this;
}

Sql& Sql::text(const QString& value, Quote quote) {
    QString shown = value;
    if (quote == Quote::Doubled) {
        shown.replace(QLatin1Char('\''), QStringLiteral("''"));
    }
    pieces_.push_back(valuePiece(value, QLatin1Char('\'') + shown + QLatin1Char('\'')));
    return *this;
}

Sql& Sql::date(const QDate& value) {
    pieces_.push_back(valuePiece(
        value, QLatin1Char('#') + value.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char('#')));
    return *this;
}

Sql& Sql::dateTime(const QDateTime& value) {
    pieces_.push_back(valuePiece(value, QLatin1Char('#') +
                                            value.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) +
                                            QLatin1Char('#')));
    return *this;
}

Sql& Sql::integer(qint64 value, const QString& logForm) {
    pieces_.push_back(valuePiece(value, logForm.isEmpty() ? QString::number(value) : logForm));
    return *this;
}

Sql& Sql::boolean(bool value) {
    pieces_.push_back(valuePiece(value, value ? QStringLiteral("True") : QStringLiteral("False")));
    return *this;
}

QString Sql::logText() const {
    QString out;
    for (const Piece& p : pieces_) {
        out += p.isValue ? p.logForm : p.fixed;
    }
    return out;
}

}  // namespace tq
