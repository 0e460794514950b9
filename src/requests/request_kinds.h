#pragma once
// The request kinds: the items of `区分` and the day states they store, the two modes of the
// entry, and which value each kind takes in `時刻`.

#include <QString>
#include <QStringList>
#include <optional>

namespace tq {

/// 申請 offers days from today on, 訂正 the days of the open period up to today. The mode
/// shows on the window only as the caption of `申請登録`.
enum class RequestMode { Request, Correction };

/// "申請" or "訂正": the first half of the log's operation name and of the result messages.
QString ModeWord(RequestMode mode);
/// The caption of `申請登録`: "登録" (request) or "更新" (correction).
QString RegisterCaption(RequestMode mode);
/// The mode a caption of `申請登録` records: "登録" is a request, anything else a correction.
RequestMode ModeOfCaption(const QString& caption);
/// The mode named on a command line: "申請" or "訂正" (nothing for other words).
std::optional<RequestMode> ModeOfWord(const QString& word);

/// What `時刻` holds for a kind.
enum class ValueKind {
    None,      ///< the kind takes no value
    Time,      ///< hours and minutes, "hh:mm" (出勤打刻, 退勤打刻, 残業指示)
    MonthDay,  ///< month and day of the linked day, "mm/dd" (代替休暇, 代替勤務)
};

/// Every kind in table order: 16 in all, "無断欠勤" the fourth.
const QStringList& AllRequestKinds();
/// The kinds `区分` lists in a mode, in table order: 15 for a request (no "無断欠勤"), all 16
/// for a correction.
QStringList RequestKinds(RequestMode mode);
/// True when `kind` is one of the kinds listed in `mode`.
bool IsKindOfMode(const QString& kind, RequestMode mode);

/// The value a kind takes. A text that is no kind takes none.
ValueKind ValueKindOf(const QString& kind);
/// How `時刻` is normalised and checked while `区分` shows `kind`: the time kinds as times,
/// every other text as a month and day.
bool IsTimeKind(const QString& kind);
/// True for the substitute kinds, whose stored state carries the linked month and day.
bool IsSubstituteKind(const QString& kind);

/// The prompt `時刻` shows until something is typed: "時/分" or "月/日" (empty for None).
QString ValuePrompt(ValueKind kind);
/// True when the text is one of the two prompts; a prompt is never a value.
bool IsValuePrompt(const QString& text);

}  // namespace tq
