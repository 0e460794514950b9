#pragma once
// Helpers of the settings tests.

#include <gtest/gtest.h>

#include <QString>

#include "../testsupport.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"

namespace tq::test {

/// Loads settings text written with "\n" line ends as a CP932 file with CR LF.
inline LoadedSettings loadText(const QString& text) {
    return LoadSettings(cp932Lines(text));
}

/// Every table of two loads is the same.
inline void expectSameTables(const Settings& a, const Settings& b, const char* what) {
    EXPECT_EQ(a.shiftCodes, b.shiftCodes) << what;
    EXPECT_EQ(a.給与締日, b.給与締日) << what;
    EXPECT_EQ(a.過日修正可能日, b.過日修正可能日) << what;
    for (int k = 0; k <= kMaxShiftIndex; ++k) {
        for (const SingleKey& key : kSingleKeys) {
            EXPECT_EQ(a.rules(k).*(key.member), b.rules(k).*(key.member))
                << what << ": shift " << k << " " << key.name.toString().toStdString();
        }
        for (const ListKey& key : kListKeys) {
            EXPECT_EQ(a.rules(k).*(key.member), b.rules(k).*(key.member))
                << what << ": shift " << k << " " << key.name.toString().toStdString();
        }
    }
}

/// The warnings whose line and key match and whose message contains `part`.
inline int countWarnings(const std::vector<SettingsWarning>& warnings, int line, const QString& key,
                         const QString& part) {
    int n = 0;
    for (const auto& w : warnings) {
        if (w.line == line && w.key == key && w.message.contains(part)) {
            ++n;
        }
    }
    return n;
}

inline std::string describe(const std::vector<SettingsWarning>& warnings) {
    std::string s;
    for (const auto& w : warnings) {
        s += std::to_string(w.line) + " " + w.key.toStdString() + " " + w.message.toStdString() +
             "\n";
    }
    return s;
}

}  // namespace tq::test
