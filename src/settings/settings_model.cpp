#include "settings/settings.h"
#include "settings/settings_keys.h"

namespace tq {

int Settings::shiftIndex(const QString& code) const {
    const qsizetype i = shiftCodes.indexOf(code);
    // A code that is not among the loaded codes means the common block: it never indexes
    // past the tables.
    if (i < 0 || i > kMaxShiftIndex) {
        return 0;
    }
    return static_cast<int>(i);
}

const ShiftRules& Settings::rules(int shiftIndex) const {
    if (shiftIndex < 0 || shiftIndex > kMaxShiftIndex) {
        return shifts[0];
    }
    return shifts[static_cast<size_t>(shiftIndex)];
}

std::optional<int> Settings::dutyWarningDays() const {
    const QString t = commonValue(k有給取得義務警告日数Key).trimmed();
    if (t.isEmpty() || t.size() > 4) {
        return std::nullopt;
    }
    for (const QChar c : t) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
    }
    return t.toInt();
}

}  // namespace tq
