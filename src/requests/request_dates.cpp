#include "requests/request_dates.h"

#include "attendance/calendar.h"
#include "common/datetime.h"

namespace tq {

std::vector<QDate> RequestDates(RequestMode mode, const QDateTime& CurrentTime,
                                const Settings& settings) {
    const QDate today = CurrentTime.date();
    QDate first = today;
    QDate last = today;
    if (mode == RequestMode::Request) {
        last = today.addMonths(1).addDays(-1);
    } else {
        first = ComputePeriod(CurrentTime, settings).PeriodStart;
    }
    std::vector<QDate> dates;
    if (!first.isValid()) {
        return dates;
    }
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        dates.push_back(d);
    }
    return dates;
}

QStringList RequestDateTexts(const std::vector<QDate>& dates) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(dates.size()));
    for (const QDate& d : dates) {
        texts << formatDate(d);
    }
    return texts;
}

}  // namespace tq
