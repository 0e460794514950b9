#pragma once
// The days the entry's date list `年月日` offers in each mode.

#include <QDate>
#include <QDateTime>
#include <vector>

#include "requests/request_kinds.h"
#include "settings/settings.h"

namespace tq {

/// A request covers today up to one calendar month later less one day (the month step stops
/// at the end of a shorter month: on 31 January the list ends on 27 February, or on
/// 28 February in a leap year). A correction covers the open period from `PeriodStart` up to
/// today. In day order; empty when the period starts after today.
std::vector<QDate> RequestDates(RequestMode mode, const QDateTime& CurrentTime,
                                const Settings& settings);

/// The dates as `年月日` lists them, "yyyy/mm/dd".
QStringList RequestDateTexts(const std::vector<QDate>& dates);

}  // namespace tq
