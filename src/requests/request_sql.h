#pragma once
// The statements of registering and cancelling a request. Values go in as typed: the log
// text shows them unchanged between apostrophes, and the engine binds them.

#include <QDate>
#include <QDateTime>
#include <QString>

#include "storage/sql.h"

namespace tq {

/// Registration of `kind` on the day: an INSERT when the day has no row, else an UPDATE of
/// that row; either way the day's shift is written too. `value` is the value after the
/// "00:00" rule: "hh:mm" for the punch kinds (stored as the number hhmm, logged as its four
/// digits), "mm/dd" for the substitute kinds (stored as kind + "(mm/dd)"), the instruction
/// text for "残業指示". Every other kind stores itself as the day state.
Sql RegistrationStatement(bool rowExists, const QString& kind, const QString& code,
                          const QDate& day, const QString& shift, const QString& value,
                          const QDateTime& stamp);

/// Cancellation of `kind` on the day: the kind's value set back to none (0 for a time, an
/// empty text for a state or an instruction), with the stamp where the kind has one. The
/// shift is not touched.
Sql CancellationStatement(bool rowExists, const QString& kind, const QString& code,
                          const QDate& day, const QDateTime& stamp);

}  // namespace tq
