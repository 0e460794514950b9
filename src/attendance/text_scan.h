#pragma once
// Substring tests for the short texts of the calculation (day-list entries, states, day
// texts), without the set-up cost of the general search.

#include <QStringView>

namespace tq::detail {

inline bool containsText(QStringView haystack, QStringView needle) {
    const qsizetype n = needle.size();
    if (n == 0) {
        return true;
    }
    const QChar first = needle.front();
    for (qsizetype i = 0; i + n <= haystack.size(); ++i) {
        if (haystack[i] == first && haystack.sliced(i, n) == needle) {
            return true;
        }
    }
    return false;
}

inline bool containsChar(QStringView haystack, QChar c) {
    for (QChar h : haystack) {
        if (h == c) {
            return true;
        }
    }
    return false;
}

}  // namespace tq::detail
