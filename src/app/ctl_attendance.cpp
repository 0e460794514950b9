// tq582ctl period, daytext and calc: the payroll period, the day text and one day's
// calculation, from the settings file as the terminal loads it.

#include <QDir>
#include <optional>

#include "app/ctl_command.h"
#include "attendance/calculation.h"
#include "common/datetime.h"
#include "settings/settings.h"
#include "timesync/clock.h"

namespace tq::ctl {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

const char kPeriodUsage[] = "period [--ini FILE] [--now T]";
const char kPeriodHelp[] =
    "Prints the payroll period that contains the day of --now (default: today), as the\n"
    "settings' [給与締日] makes it: \"yyyy/mm/dd yyyy/mm/dd\" (first and last day).\n"
    "\n"
    "  --ini FILE   the settings file (default TQ582.ini in the working directory)\n"
    "  --now T      \"yyyy/mm/dd hh:nn:ss\", Japan time\n"
    "\n"
    "Exit status: 0, or 2 for wrong options or an unreadable settings file.";
const char kDayTextUsage[] = "daytext --date yyyy/mm/dd [--shift CODE] [--ini FILE]";
const char kDayTextHelp[] =
    "Prints the day text of a date: the weekday and the rest-day mark the settings give it\n"
    "for the shift (for example \"土休\").\n"
    "\n"
    "  --date yyyy/mm/dd   the day (required)\n"
    "  --shift CODE        the shift code (default: none, the common block)\n"
    "  --ini FILE          the settings file (default TQ582.ini)\n"
    "\n"
    "Exit status: 0, or 2 for wrong options or an unreadable settings file.";
const char kCalcUsage[] = "calc --date yyyy/mm/dd [--in HHMM] [--out HHMM] [options]";
const char kCalcHelp[] =
    "Calculates one day from given punches as the terminal does, without a database: the\n"
    "17 figures of the day on one line, tab-separated, then the totals the day adds to the\n"
    "month, one NAME=VALUE a line (minutes and counts).\n"
    "\n"
    "  --date yyyy/mm/dd      the working day (required)\n"
    "  --in HHMM, --out HHMM  clock-in and clock-out as stored (0 to 9999, 2400 and above\n"
    "                         after midnight)\n"
    "  --shift CODE           the day's shift code\n"
    "  --state TEXT           the day's state (a request kind such as 有給休暇)\n"
    "  --instruction TEXT     the overtime instruction\n"
    "  --joined yyyy/mm/dd, --left yyyy/mm/dd\n"
    "                         the employee's joining and leaving days\n"
    "  --state-stamp T, --in-stamp T, --out-stamp T\n"
    "                         when the state and the punches were recorded\n"
    "  --no-record            the day has no row of its own\n"
    "  --no-overtime          the employee gets no overtime\n"
    "  --ini FILE             the settings file (default TQ582.ini)\n"
    "  --now T                \"yyyy/mm/dd hh:nn:ss\", Japan time (days still to come count\n"
    "                         differently)\n"
    "\n"
    "Exit status: 0, or 2 for wrong options or an unreadable settings file.";

/// Parses the options; on a usage problem prints it and sets `exitCode`.
std::optional<Options> parseOptions(const QStringList& args, const QStringList& valued,
                                    const QStringList& flags, int* exitCode) {
    Options opts(args, valued, flags);
    if (!opts.ok()) {
        *exitCode = usageError(opts.error());
        return std::nullopt;
    }
    if (!opts.positional().isEmpty()) {
        *exitCode = usageError(QStringLiteral("unexpected argument %1").arg(opts.positional()[0]));
        return std::nullopt;
    }
    return opts;
}

/// The settings file named by --ini (default "TQ582.ini"), read as the terminal reads it.
std::optional<Settings> loadSettings(const Options& opts) {
    QString error;
    auto loaded = LoadSettingsFile(QDir::currentPath(), opts.value(QStringLiteral("ini")), &error);
    if (!loaded) {
        err(QStringLiteral("tq582ctl: ") + error);
        return std::nullopt;
    }
    if (const auto warning = NoRulesWarning(*loaded)) {
        err(QStringLiteral("warning: ") + *warning);
    }
    return std::move(loaded->settings);
}

/// --now, or the computer's clock when not given; nothing when the text is no date-time.
std::optional<QDateTime> currentTime(const Options& opts) {
    if (!opts.has(QStringLiteral("now"))) {
        return SystemClock().now();
    }
    const QDateTime t = parseStamp(opts.value(QStringLiteral("now")));
    if (!t.isValid()) {
        return std::nullopt;
    }
    return t;
}

/// A required or optional date option; false when given but not a calendar day.
bool readDate(const Options& opts, const QString& name, QDate* date) {
    if (!opts.has(name)) {
        return true;
    }
    *date = parseDate(opts.value(name));
    return date->isValid();
}

/// A punch time option: a whole number hhmm of at most four digits.
bool readPunch(const Options& opts, const QString& name, std::optional<int>* value) {
    if (!opts.has(name)) {
        return true;
    }
    const QString text = opts.value(name);
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0 || v > 9999 || text.startsWith(u'+')) {
        return false;
    }
    *value = v;
    return true;
}

std::optional<QString> optionalText(const Options& opts, const QString& name) {
    if (!opts.has(name)) {
        return std::nullopt;
    }
    return opts.value(name);
}

int period(const QStringList& args) {
    int code = kExitOk;
    const auto opts = parseOptions(args, {QStringLiteral("ini"), QStringLiteral("now")}, {}, &code);
    if (!opts) {
        return code;
    }
    const auto now = currentTime(*opts);
    if (!now) {
        return usageError(QStringLiteral("--now needs \"yyyy/mm/dd hh:nn:ss\""));
    }
    const auto settings = loadSettings(*opts);
    if (!settings) {
        return kExitUsage;
    }
    const Period p = ComputePeriod(*now, *settings);
    out(formatDate(p.PeriodStart) + u' ' + formatDate(p.PeriodEnd));
    return kExitOk;
}

int dayText(const QStringList& args) {
    int code = kExitOk;
    const auto opts = parseOptions(
        args, {QStringLiteral("ini"), QStringLiteral("shift"), QStringLiteral("date")}, {}, &code);
    if (!opts) {
        return code;
    }
    QDate date;
    if (!opts->has(QStringLiteral("date")) || !readDate(*opts, QStringLiteral("date"), &date)) {
        return usageError(QStringLiteral("--date needs yyyy/mm/dd"));
    }
    const auto settings = loadSettings(*opts);
    if (!settings) {
        return kExitUsage;
    }
    const int shift = settings->shiftIndex(opts->value(QStringLiteral("shift")));
    out(DayText(*settings, shift, date));
    return kExitOk;
}

void printGroup(const QString& name, const TotalsGroup& g) {
    const std::pair<const char16_t*, int> members[] = {
        {u"days", g.days}, {u"休憩", g.休憩}, {u"所定", g.所定}, {u"残業", g.残業},
        {u"深夜", g.深夜}, {u"早出", g.早出}, {u"勤務", g.勤務}, {u"実働", g.実働},
    };
    for (const auto& [member, value] : members) {
        out(name + u'.' + QString::fromUtf16(member) + u'=' + QString::number(value));
    }
}

void printTotals(const MonthTotals& t) {
    printGroup(QStringLiteral("all"), t.all);
    printGroup(QStringLiteral("ordinary"), t.ordinary);
    printGroup(QStringLiteral("rest"), t.rest);
    const std::pair<const char16_t*, int> counters[] = {
        {u"遅早回数", t.遅早回数}, {u"遅早時間", t.遅早時間}, {u"欠勤", t.欠勤},
        {u"有給休暇", t.有給休暇}, {u"私傷休暇", t.私傷休暇}, {u"公傷休暇", t.公傷休暇},
        {u"特別休暇", t.特別休暇}, {u"代替休暇", t.代替休暇}, {u"代替出勤", t.代替出勤},
    };
    for (const auto& [name, value] : counters) {
        out(QString::fromUtf16(name) + u'=' + QString::number(value));
    }
}

int calc(const QStringList& args) {
    int code = kExitOk;
    const auto opts = parseOptions(
        args,
        {QStringLiteral("ini"), QStringLiteral("date"), QStringLiteral("shift"),
         QStringLiteral("in"), QStringLiteral("out"), QStringLiteral("state"),
         QStringLiteral("instruction"), QStringLiteral("joined"), QStringLiteral("left"),
         QStringLiteral("state-stamp"), QStringLiteral("in-stamp"), QStringLiteral("out-stamp"),
         QStringLiteral("now")},
        {QStringLiteral("no-record"), QStringLiteral("no-overtime")}, &code);
    if (!opts) {
        return code;
    }
    QDate day;
    if (!opts->has(QStringLiteral("date")) || !readDate(*opts, QStringLiteral("date"), &day)) {
        return usageError(QStringLiteral("--date needs yyyy/mm/dd"));
    }
    WorkRow row;
    for (const QString& name : {QStringLiteral("joined"), QStringLiteral("left")}) {
        QDate d;
        if (!readDate(*opts, name, &d)) {
            return usageError(QStringLiteral("--%1 needs yyyy/mm/dd").arg(name));
        }
    }
    for (const QString& name : {QStringLiteral("in"), QStringLiteral("out")}) {
        std::optional<int> value;
        if (!readPunch(*opts, name, &value)) {
            return usageError(QStringLiteral("--%1 needs a time HHMM (0 to 9999)").arg(name));
        }
        (name == QStringLiteral("in") ? row.出勤時刻 : row.退勤時刻) = value;
    }
    const auto now = currentTime(*opts);
    if (!now) {
        return usageError(QStringLiteral("--now needs \"yyyy/mm/dd hh:nn:ss\""));
    }
    const auto settings = loadSettings(*opts);
    if (!settings) {
        return kExitUsage;
    }
    // Without a record the calculation sees the next stored row, which still carries the
    // employee's joining and leaving dates.
    row.勤務日 = opts->has(QStringLiteral("no-record")) ? day.addDays(1) : day;
    row.シフト = optionalText(*opts, QStringLiteral("shift"));
    row.残業指示 = optionalText(*opts, QStringLiteral("instruction"));
    row.状態 = optionalText(*opts, QStringLiteral("state"));
    row.状態申告日 = optionalText(*opts, QStringLiteral("state-stamp"));
    row.出勤打刻日 = optionalText(*opts, QStringLiteral("in-stamp"));
    row.退勤打刻日 = optionalText(*opts, QStringLiteral("out-stamp"));
    row.入社年月日 = optionalText(*opts, QStringLiteral("joined"));
    row.退社年月日 = optionalText(*opts, QStringLiteral("left"));
    const QString overtimeFlag =
        opts->has(QStringLiteral("no-overtime")) ? QStringLiteral("無") : QStringLiteral("有");

    MonthTotals totals;
    const DayFigures figures = CalculateDay(day, row, overtimeFlag, *settings, *now, totals);
    QStringList texts;
    for (int column = 0; column < kDayFigureColumns; ++column) {
        texts << figures.at(column);
    }
    out(texts.join(u'\t'));
    printTotals(totals);
    return kExitOk;
}

const CtlCommand periodCommand("period", kPeriodUsage, period, kPeriodHelp);
const CtlCommand dayTextCommand("daytext", kDayTextUsage, dayText, kDayTextHelp);
const CtlCommand calcCommand("calc", kCalcUsage, calc, kCalcHelp);

}  // namespace

}  // namespace tq::ctl
