// The request value normalisation (`時刻`) on any typed text, for both kinds of value.
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "requests/request_value.h"

namespace {

bool inRange(QStringView two, int low, int high) {
    bool ok = false;
    const int v = two.toInt(&ok);
    return ok && v >= low && v <= high;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte chooses the kind: a time ("hh:mm") or a date ("mm/dd").
    const bool timeKind = (data[0] & 1) != 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                           static_cast<qsizetype>(size - 1));
    const tq::NormalizedValue out = tq::NormalizeRequestValue(text, timeKind);
    switch (out.verdict) {
        case tq::ValueVerdict::Empty:
            // Nothing to check: the text stays exactly as typed.
            if (out.text != text || !tq::IsValueMissing(text)) {
                std::abort();
            }
            break;
        case tq::ValueVerdict::TooShort:
            if (out.text.size() > 2) {
                std::abort();
            }
            break;
        case tq::ValueVerdict::Valid: {
            // A valid value is two digits, the kind's separator and two digits, within bounds;
            // and it is a fixed point: normalising it again changes nothing.
            const QString& s = out.text;
            if (s.size() != 5 || s[2] != (timeKind ? u':' : u'/')) {
                std::abort();
            }
            for (int i : {0, 1, 3, 4}) {
                if (s[i] < u'0' || s[i] > u'9') {
                    std::abort();
                }
            }
            const QStringView v(s);
            const bool bounded = timeKind ? inRange(v.first(2), 0, 36) && inRange(v.last(2), 0, 59)
                                          : inRange(v.first(2), 1, 12) && inRange(v.last(2), 1, 31);
            if (!bounded) {
                std::abort();
            }
            const tq::NormalizedValue again = tq::NormalizeRequestValue(s, timeKind);
            if (again.verdict != tq::ValueVerdict::Valid || again.text != s) {
                std::abort();
            }
            // The same digits are no value of the other kind (its separator differs).
            if (tq::NormalizeRequestValue(s, !timeKind).verdict == tq::ValueVerdict::Valid) {
                std::abort();
            }
            break;
        }
        case tq::ValueVerdict::Invalid:
            if (tq::BadValueText(timeKind).isEmpty()) {
                std::abort();
            }
            break;
    }
    return 0;
}
