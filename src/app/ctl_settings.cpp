// tq582ctl check-settings: loads the settings file as the terminal does, prints every value
// and one line per warning.

#include <QDir>
#include <QFileInfo>

#include "app/ctl_command.h"
#include "labour/overtime.h"
#include "settings/settings.h"
#include "settings/settings_check.h"
#include "settings/settings_keys.h"

namespace tq::ctl {

namespace {

constexpr int kExitClean = 0;
constexpr int kExitWarnings = 1;
constexpr int kExitUnreadable = 2;

const char kHelp[] =
    "Loads the settings file (default TQ582.ini in the working directory) as the terminal\n"
    "does and reports what the calculation will make of it.\n"
    "\n"
    "  --ini FILE   the settings file to check\n"
    "\n"
    "Output, one item a line (UTF-8):\n"
    "  settings file: PATH (Shift_JIS | UTF-8 | UTF-8 with BOM)\n"
    "  shift codes: \"A\" \"B\" ...                  (or: shift codes: none)\n"
    "  common block:                              then one block per shift:\n"
    "  shift K \"CODE\" (line N):\n"
    "    [KEY] = VALUE                            each single value that is set\n"
    "    [LIST](I) = ENTRY                        each list entry, I from 1\n"
    "  site:\n"
    "    [給与締日] = VALUE\n"
    "    [過日修正可能日] = VALUE\n"
    "    [法定休日] = VALUE                        then each key of the working-time law with\n"
    "    ...                                      the value in force, followed by \" (default)\"\n"
    "                                             when the file does not set it or its value\n"
    "                                             is refused (a warning says why)\n"
    "    [有給取得義務警告日数] = VALUE             \"60 (default)\" when not given\n"
    "  warning: line N: [KEY]: WHAT HAPPENS       one per problem, in line order; \"line N: \"\n"
    "                                             is left out when no line is concerned and\n"
    "                                             \"[KEY]: \" when no key is\n"
    "  no warnings | 1 warning | N warnings\n"
    "\n"
    "Exit status: 0 without warnings, 1 with warnings, 2 when the file cannot be read or the\n"
    "options are wrong (the message goes to standard error).";

QString encodingName(FileEncoding e) {
    switch (e) {
        case FileEncoding::Utf8:
            return QStringLiteral("UTF-8");
        case FileEncoding::Utf8WithBom:
            return QStringLiteral("UTF-8 with BOM");
        case FileEncoding::Cp932:
            break;
    }
    return QStringLiteral("Shift_JIS");
}

void printRules(const ShiftRules& rules) {
    for (const SingleKey& key : kSingleKeys) {
        const QString& v = rules.*(key.member);
        if (!v.isEmpty()) {
            out(QStringLiteral("  ") + key.name.toString() + QStringLiteral(" = ") + v);
        }
    }
    for (const ListKey& key : kListKeys) {
        const QStringList& list = rules.*(key.member);
        for (qsizetype i = 0; i < list.size(); ++i) {
            out(QStringLiteral("  %1(%2) = %3").arg(key.name.toString()).arg(i + 1).arg(list[i]));
        }
    }
}

QString warningLine(const SettingsWarning& w) {
    QString line = QStringLiteral("warning: ");
    if (w.line > 0) {
        line += QStringLiteral("line %1: ").arg(w.line);
    }
    if (!w.key.isEmpty()) {
        line += w.key + QStringLiteral(": ");
    }
    return line + w.message;
}

int checkSettings(const QStringList& args) {
    const Options opts(args, {QStringLiteral("ini")}, {});
    if (!opts.ok() || !opts.positional().isEmpty()) {
        return usageError(
            opts.ok() ? QStringLiteral("unexpected argument %1").arg(opts.positional().first())
                      : opts.error());
    }
    // A file named with --ini is checked itself: a mistyped name must not quietly check the
    // working directory's TQ582.ini instead.
    const QString named = opts.value(QStringLiteral("ini"));
    if (!named.isEmpty() && !QFileInfo::exists(named)) {
        err(QStringLiteral("cannot read the settings file %1: no such file")
                .arg(QDir::toNativeSeparators(named)));
        return kExitUnreadable;
    }
    QString error;
    const auto loaded = LoadSettingsFile(QDir::currentPath(), named, &error);
    if (!loaded) {
        err(error);
        return kExitUnreadable;
    }
    if (const auto warning = NoRulesWarning(*loaded)) {
        err(QStringLiteral("warning: ") + *warning);
    }
    const Settings& s = loaded->settings;
    out(QStringLiteral("settings file: %1 (%2)")
            .arg(QDir::toNativeSeparators(QFileInfo(loaded->filePath).absoluteFilePath()),
                 encodingName(loaded->encoding)));
    QStringList codes;
    for (qsizetype k = 1; k < s.shiftCodes.size(); ++k) {
        codes << u'"' + s.shiftCodes[k] + u'"';
    }
    out(QStringLiteral("shift codes: ") +
        (codes.isEmpty() ? QStringLiteral("none") : codes.join(u' ')));
    out(QStringLiteral("common block:"));
    printRules(s.rules(0));
    for (int k = 1; k < s.shiftCodes.size() && k <= kMaxShiftIndex; ++k) {
        out(QStringLiteral("shift %1 \"%2\" (line %3):")
                .arg(k)
                .arg(s.shiftCodes[k])
                .arg(loaded->origins.shifts[static_cast<size_t>(k)].blockLine));
        printRules(s.rules(k));
    }
    out(QStringLiteral("site:"));
    out(QStringLiteral("  ") + k給与締日Key.toString() + QStringLiteral(" = ") + s.給与締日);
    out(QStringLiteral("  ") + k過日修正可能日Key.toString() + QStringLiteral(" = ") +
        s.過日修正可能日);
    const OvertimeSettingsCheck overtime = CheckOvertimeSettings(*loaded);
    for (const OvertimeSettingInEffect& key : overtime.inEffect) {
        out(QStringLiteral("  ") + key.key + QStringLiteral(" = ") + key.value +
            (key.fromFile ? QString() : QStringLiteral(" (default)")));
    }
    out(QStringLiteral("  ") + k有給取得義務警告日数Key.toString() + QStringLiteral(" = ") +
        (loaded->origins.commonValueLines.contains(k有給取得義務警告日数Key.toString())
             ? s.commonValue(k有給取得義務警告日数Key)
             : QStringLiteral("%1 (default)").arg(kDefaultLeaveDutyWarningDays)));

    const auto warnings = SettingsCheckWarnings(*loaded, overtime.warnings);
    for (const SettingsWarning& w : warnings) {
        out(warningLine(w));
    }
    if (warnings.empty()) {
        out(QStringLiteral("no warnings"));
        return kExitClean;
    }
    out(warnings.size() == 1 ? QStringLiteral("1 warning")
                             : QStringLiteral("%1 warnings").arg(warnings.size()));
    return kExitWarnings;
}

const CtlCommand kCheckSettings("check-settings", "check-settings [--ini FILE]", checkSettings,
                                kHelp);

}  // namespace

}  // namespace tq::ctl
