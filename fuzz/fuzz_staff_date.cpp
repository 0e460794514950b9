// The staff panel's date normalisation on any typed text and any current day.
#include <QByteArray>
#include <QDate>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "masters/staff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    // The first three bytes choose today (any day of years 1900..2411) and the box.
    const int dayNumber = (data[0] << 8 | data[1]) * 3 + (data[2] >> 1);
    const QDate today = QDate(1900, 1, 1).addDays(dayNumber);
    const tq::DateBox box = (data[2] & 1) ? tq::DateBox::Left : tq::DateBox::Joined;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 3),
                                           static_cast<qsizetype>(size - 3));
    const tq::DateCheck out = tq::NormaliseDate(text, today, box);
    // An accepted non-empty text is a real date in the form yyyy/mm/dd, and checking it
    // again accepts it again.
    if (!out.refusal && !out.text.isEmpty()) {
        if (!QDate::fromString(out.text, QStringLiteral("yyyy/MM/dd")).isValid() ||
            tq::CheckDateText(out.text, box)) {
            std::abort();
        }
    }
    if (text.isEmpty() && (out.refusal || !out.text.isEmpty())) {
        std::abort();
    }
    return 0;
}
