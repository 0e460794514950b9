#pragma once
// The settings check: what the calculation will make of values that are missing, malformed or
// read in a special way. The terminal never shows these; the command-line tool does.

#include <vector>

#include "settings/settings.h"

namespace tq {

/// The minutes of a settings time "hh:mm" (hours may pass 24; "8:30" counts as 08:30), or
/// nothing when the text is not such a time.
std::optional<int> SettingsTimeMinutes(const QString& text);

/// Warnings about the loaded values: rounding units that count as 1 minute, payroll days that
/// count as "末日" or as a month's last day, times not written hh:mm, numbers that are not
/// numbers, list entries that can never apply, shift codes no day can select.
std::vector<SettingsWarning> CheckSettingsValues(const LoadedSettings& loaded);

/// The loader's warnings, the value warnings and `more` (the checks of rules beyond the working
/// rules) together, in line order; warnings tied to no line come last.
std::vector<SettingsWarning> SettingsCheckWarnings(const LoadedSettings& loaded,
                                                   const std::vector<SettingsWarning>& more = {});

}  // namespace tq
