#pragma once
// The value typed into `時刻`: its normal form and its check. Pure functions of the text, so
// that they can be called alone (by the window, the tool and a fuzz target alike).

#include <QString>

namespace tq {

/// What the check of a typed value found.
enum class ValueVerdict {
    Empty,     ///< blank, or one of the prompts: nothing to check, the text is left as it is
    TooShort,  ///< one or two characters: not yet a value, no message either
    Valid,     ///< "hh:mm" (hours up to 36) or "mm/dd"
    Invalid,   ///< anything else: `BadValueText` says so
};

struct NormalizedValue {
    QString text;  ///< the text as normalised; what `時刻` shows afterwards
    ValueVerdict verdict = ValueVerdict::Empty;
};

/// True when the text counts as no value: blank after trimming, or a prompt.
bool IsValueMissing(const QString& text);

/// Normalises and checks a typed value. `timeKind` selects "hh:mm" (the time kinds) over
/// "mm/dd" (every other kind). The text is first turned into its narrow form through the same
/// conversion as the settings file; three characters gain a leading zero and the separator
/// (830 is 08:30, 105 is 01/05), four characters gain the separator in the middle (0830 is
/// 08:30) or, when the second is already one, a leading zero (8:30 is 08:30). Both parts must
/// be two digits 0-9: hours up to 36 so that after-midnight times such as 26:30 can be given,
/// minutes up to 59; months 01-12, days 01-31.
NormalizedValue NormalizeRequestValue(const QString& text, bool timeKind);

/// "時刻の値が不正です。" or "月日の値が不正です。".
QString BadValueText(bool timeKind);
/// "区分の値が不正です。": a text in `区分` that is no kind of the mode.
QString BadKindText();

}  // namespace tq
