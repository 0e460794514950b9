// The settings loader and the settings check on any bytes: a site's TQ582.ini is edited by
// hand, in any encoding, and may be cut short or hold anything.
#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <QByteArray>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "common/text.h"

#include "settings/settings.h"
#include "settings/settings_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const tq::LoadedSettings loaded = tq::LoadSettings(bytes);
    // The loader keeps every list within its limits and the item list starts with the empty
    // item, whatever the file says.
    if (loaded.settings.shiftCodes.isEmpty() || !loaded.settings.shiftCodes.first().isEmpty() ||
        loaded.settings.shiftCodes.size() > tq::kMaxShiftIndex + 1) {
        std::abort();
    }
    for (const tq::ShiftRules& r : loaded.settings.shifts) {
        if (r.休日.size() > tq::kMaxDayEntries || r.例外出勤日.size() > tq::kMaxDayEntries ||
            r.特別出勤日.size() > tq::kMaxDayEntries ||
            r.勤務時間別休憩時間.size() > tq::kMaxBreakEntries ||
            r.休憩時刻.size() > tq::kMaxBreakEntries) {
            std::abort();
        }
    }
    for (const QString& code : loaded.settings.shiftCodes) {
        const int index = loaded.settings.shiftIndex(code);
        if (index < 0 || index > tq::kMaxShiftIndex) {
            std::abort();
        }
        (void)loaded.settings.rules(index);
    }
    (void)tq::SettingsCheckWarnings(loaded);
    // The loader's narrow conversion is ICU's Fullwidth-Halfwidth, on any text.
    static const std::unique_ptr<icu::Transliterator> icu = [] {
        UErrorCode status = U_ZERO_ERROR;
        return std::unique_ptr<icu::Transliterator>(
            icu::Transliterator::createInstance("Fullwidth-Halfwidth", UTRANS_FORWARD, status));
    }();
    const QString text = tq::decodeSiteText(bytes);
    icu::UnicodeString u(reinterpret_cast<const UChar*>(text.utf16()),
                         static_cast<int32_t>(text.size()));
    icu->transliterate(u);
    if (tq::narrow(text) != QString(reinterpret_cast<const QChar*>(u.getBuffer()), u.length())) {
        std::abort();
    }
    return 0;
}
