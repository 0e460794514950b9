#include "requests/request_value.h"

#include "common/text.h"
#include "requests/request_kinds.h"

namespace tq {

namespace {

bool isTwoDigits(QStringView s) {
    return s.size() == 2 && s[0] >= u'0' && s[0] <= u'9' && s[1] >= u'0' && s[1] <= u'9';
}

/// "hh?mm" with two digits on each side of `separator`, both parts within their bounds
/// (compared as two-digit texts, which for digits is comparing the numbers).
bool isWellFormed(const QString& s, QChar separator, QStringView firstLow, QStringView firstHigh,
                  QStringView secondLow, QStringView secondHigh) {
    if (s.size() != 5 || s[2] != separator) {
        return false;
    }
    const QStringView first = QStringView(s).first(2);
    const QStringView second = QStringView(s).last(2);
    return isTwoDigits(first) && isTwoDigits(second) && first >= firstLow && first <= firstHigh &&
           second >= secondLow && second <= secondHigh;
}

}  // namespace

bool IsValueMissing(const QString& text) {
    return text.trimmed().isEmpty() || IsValuePrompt(text);
}

NormalizedValue NormalizeRequestValue(const QString& text, bool timeKind) {
    if (IsValueMissing(text)) {
        return {text, ValueVerdict::Empty};
    }
    const QString n = narrow(text);
    if (n.size() <= 2) {
        return {n, ValueVerdict::TooShort};
    }
    const QChar separator = timeKind ? QLatin1Char(':') : QLatin1Char('/');
    QString s = n;
    if (n.size() == 3) {
        s = QStringLiteral("0") + n.at(0) + separator + n.mid(1, 2);
    } else if (n.size() == 4) {
        if (n.at(1) == u':' || n.at(1) == u'/') {
            s = QStringLiteral("0") + n;
        } else {
            s = n.left(2) + separator + n.right(2);
        }
    }
    // Only digits count as numbers: a sign or a point that a looser number test lets through
    // would give negative or fractional times (-1:00 stored as -100).
    const bool ok = timeKind ? isWellFormed(s, separator, u"00", u"36", u"00", u"59")
                             : isWellFormed(s, separator, u"01", u"12", u"01", u"31");
    return {s, ok ? ValueVerdict::Valid : ValueVerdict::Invalid};
}

QString BadValueText(bool timeKind) {
    return timeKind ? QStringLiteral("時刻の値が不正です。")
                    : QStringLiteral("月日の値が不正です。");
}

QString BadKindText() {
    return QStringLiteral("区分の値が不正です。");
}

}  // namespace tq
