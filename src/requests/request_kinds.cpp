#include "requests/request_kinds.h"

namespace tq {

QString ModeWord(RequestMode mode) {
    return mode == RequestMode::Request ? QStringLiteral("申請") : QStringLiteral("訂正");
}

QString RegisterCaption(RequestMode mode) {
    return mode == RequestMode::Request ? QStringLiteral("登録") : QStringLiteral("更新");
}

RequestMode ModeOfCaption(const QString& caption) {
    return caption == QStringLiteral("登録") ? RequestMode::Request : RequestMode::Correction;
}

std::optional<RequestMode> ModeOfWord(const QString& word) {
    if (word == QStringLiteral("申請")) {
        return RequestMode::Request;
    }
    if (word == QStringLiteral("訂正")) {
        return RequestMode::Correction;
    }
    return std::nullopt;
}

const QStringList& AllRequestKinds() {
    static const QStringList kinds = {
        QStringLiteral("出勤打刻"), QStringLiteral("退勤打刻"), QStringLiteral("休日勤務"),
        QStringLiteral("無断欠勤"), QStringLiteral("申告欠勤"), QStringLiteral("私傷休暇"),
        QStringLiteral("公傷休暇"), QStringLiteral("有給休暇"), QStringLiteral("特別休暇"),
        QStringLiteral("代替休暇"), QStringLiteral("代替勤務"), QStringLiteral("直行"),
        QStringLiteral("直帰"),     QStringLiteral("直行直帰"), QStringLiteral("出張"),
        QStringLiteral("残業指示"),
    };
    return kinds;
}

QStringList RequestKinds(RequestMode mode) {
    QStringList kinds = AllRequestKinds();
    if (mode == RequestMode::Request) {
        // An absence without notice is recorded afterwards, never requested.
        kinds.removeOne(QStringLiteral("無断欠勤"));
    }
    return kinds;
}

bool IsKindOfMode(const QString& kind, RequestMode mode) {
    return RequestKinds(mode).contains(kind);
}

bool IsTimeKind(const QString& kind) {
    return kind == QStringLiteral("出勤打刻") || kind == QStringLiteral("退勤打刻") ||
           kind == QStringLiteral("残業指示");
}

bool IsSubstituteKind(const QString& kind) {
    return kind == QStringLiteral("代替休暇") || kind == QStringLiteral("代替勤務");
}

ValueKind ValueKindOf(const QString& kind) {
    if (IsTimeKind(kind)) {
        return ValueKind::Time;
    }
    if (IsSubstituteKind(kind)) {
        return ValueKind::MonthDay;
    }
    return ValueKind::None;
}

QString ValuePrompt(ValueKind kind) {
    switch (kind) {
        case ValueKind::Time:
            return QStringLiteral("時/分");
        case ValueKind::MonthDay:
            return QStringLiteral("月/日");
        case ValueKind::None:
            break;
    }
    return QString();
}

bool IsValuePrompt(const QString& text) {
    return text == QStringLiteral("時/分") || text == QStringLiteral("月/日");
}

}  // namespace tq
