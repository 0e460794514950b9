#include "terminal/help_line.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "terminal/clock_face.h"
#include "terminal/terminal_window.h"

namespace tq {

namespace {

const QString kStaffKindText =
    QStringLiteral("正社員・契約社員・パート・アルバイト・派遣社員のいづれかを選択します");

}  // namespace

const std::vector<HelpEntry>& HelpTable() {
    static const std::vector<HelpEntry> table = {
        {QStringLiteral("PassWord"), false, QStringLiteral("社員コード"),
         QStringLiteral("社員コードを入力して下さい")},
        {QStringLiteral("社員名"), false, QStringLiteral("社員名"),
         QStringLiteral("社員コードを入力すると社員名が表示されます")},
        {QStringLiteral("出勤"), false, QStringLiteral("出勤"), QStringLiteral("出勤を打刻します")},
        {QStringLiteral("退勤"), false, QStringLiteral("退勤"), QStringLiteral("退勤を打刻します")},
        {QStringLiteral("確認"), false, QStringLiteral("確認"),
         QStringLiteral("勤務情報が表示されます")},
        {QStringLiteral("申請"), false, QStringLiteral("申請"),
         QStringLiteral("出勤・退勤・休暇・直行・直帰・出張・振替の申請ができます")},
        {QStringLiteral("訂正"), false, QStringLiteral("訂正"),
         QStringLiteral("出勤・退勤・休暇・直行・直帰・出張・振替の訂正ができます")},
        {QStringLiteral("申請登録"), false, QString(),
         QStringLiteral("申請の登録・訂正の更新をします")},
        {QStringLiteral("取消"), false, QStringLiteral("取消"),
         QStringLiteral("申請の取消・訂正の取消をします")},
        {QStringLiteral("明細"), false, QStringLiteral("取消"),
         QStringLiteral("申請の取消・訂正の取消をします")},
        {QStringLiteral("年月日"), true, QStringLiteral("年月日"),
         QStringLiteral("申請・訂正の対象年月日を一覧より選択します")},
        {QStringLiteral("区分"), true, QStringLiteral("区分"),
         QStringLiteral("申請・訂正の区分を一覧より選択します")},
        {QStringLiteral("時刻"), false, QStringLiteral("日付・時刻"),
         QStringLiteral("代替出勤・代替休暇は月日を出勤・退勤は時分を入力します")},
        {QStringLiteral("出力"), false, QStringLiteral("Excel"),
         QStringLiteral("全社員の勤務情報をＥｘｃｅｌ出力します")},
        {QStringLiteral("設定"), false, QStringLiteral("設定"),
         QStringLiteral("設定画面が表示されます")},
        {QStringLiteral("社員保守"), false, QStringLiteral("社員保守"),
         QStringLiteral("社員マスタの登録・修正・削除が出来ます")},
        {QStringLiteral("従業員コード"), true, QStringLiteral("社員コード"),
         QStringLiteral("社員コード入力または一覧より選択します")},
        {QStringLiteral("従業員名"), false, QStringLiteral("社員名"),
         QStringLiteral("社員名を入力します")},
        {QStringLiteral("正社員"), false, QStringLiteral("正社員"), kStaffKindText},
        {QStringLiteral("契約社員"), false, QStringLiteral("契約社員"), kStaffKindText},
        {QStringLiteral("パート"), false, QStringLiteral("パート"), kStaffKindText},
        {QStringLiteral("アルバイト"), false, QStringLiteral("アルバイト"), kStaffKindText},
        {QStringLiteral("派遣社員"), false, QStringLiteral("派遣社員"), kStaffKindText},
        {QStringLiteral("残業計算無し"), false, QStringLiteral("残業計算"),
         QStringLiteral("残業手当の無い社員はチェックします")},
        {QStringLiteral("入社年月日"), false, QStringLiteral("入社年月日"),
         QStringLiteral("入社年月日を入力します、不明の場合は空白にする")},
        {QStringLiteral("退社年月日"), false, QStringLiteral("退社年月日"),
         QStringLiteral("退社年月日を入力します、在職の場合は空白にする")},
        {QStringLiteral("勤務シフト"), true, QStringLiteral("勤務シフト"),
         QStringLiteral("勤務シフト入力または一覧より選択します")},
        {QStringLiteral("登録"), false, QStringLiteral("登録"),
         QStringLiteral("社員マスタの登録・修正をします")},
        {QStringLiteral("削除"), false, QStringLiteral("削除"),
         QStringLiteral("社員マスタの削除をします")},
        {QStringLiteral("MonthView1"), false, QStringLiteral("カレンダー"),
         QStringLiteral("カレンダーより日付を選択します")},
        {QStringLiteral("対象年月"), true, QStringLiteral("対象年月"),
         QStringLiteral("対象年月を一覧より選択します")},
        {QStringLiteral("日別シフト"), true, QStringLiteral("日別シフト"),
         QStringLiteral("日別シフト入力または一覧より選択します")},
        {QStringLiteral("シフト登録"), false, QStringLiteral("シフト登録"),
         QStringLiteral("シフトの登録・訂正の更新をします")},
    };
    return table;
}

HelpLine::HelpLine(TerminalWindow& window) : window_(window) {
    QWidget* central = window_.centralWidget();
    for (const HelpEntry& entry : HelpTable()) {
        if (entry.element == QStringLiteral("日別シフト")) {
            for (QComboBox* box : window_.controls().日別シフト) {
                watch(box, &entry);
            }
            continue;
        }
        if (auto* w = central->findChild<QWidget*>(entry.element)) {
            watch(w, &entry);
        }
    }
    // The bare window: pointer movement over no control clears the help line. The analogue
    // clock is painted on the bare window too; only its dial marks are controls.
    central->installEventFilter(this);
    if (QWidget* face = window_.controls().clockFace) {
        face->setMouseTracking(true);
        face->installEventFilter(this);
    }
}

void HelpLine::watch(QWidget* widget, const HelpEntry* entry) {
    entries_[widget] = entry;
    if (!entry->onFocus) {
        widget->setMouseTracking(true);
    }
    widget->installEventFilter(this);
}

bool HelpLine::eventFilter(QObject* watched, QEvent* event) {
    QWidget* central = window_.centralWidget();
    QWidget* face = window_.controls().clockFace;
    if (watched == central || (face != nullptr && watched == face)) {
        if (event->type() == QEvent::MouseMove) {
            const auto* move = static_cast<QMouseEvent*>(event);
            auto* surface = static_cast<QWidget*>(watched);
            if (surface->childAt(move->position().toPoint()) == nullptr) {
                window_.setHelpLine(QString(), QString());
            }
        }
        return false;
    }
    const auto it = entries_.find(watched);
    if (it == entries_.end()) {
        return false;
    }
    const HelpEntry& entry = *it->second;
    const QEvent::Type type = event->type();
    const bool fires = entry.onFocus ? type == QEvent::FocusIn
                                     : (type == QEvent::Enter || type == QEvent::MouseMove);
    // A disabled control cannot be used, so it explains nothing.
    if (!fires || !static_cast<QWidget*>(watched)->isEnabled()) {
        return false;
    }
    QString title = entry.title;
    if (title.isEmpty()) {
        if (const auto* button = qobject_cast<const QAbstractButton*>(watched)) {
            title = button->text();
        }
    }
    window_.setHelpLine(title, entry.text);
    if (entry.element == QStringLiteral("従業員コード")) {
        if (auto* box = qobject_cast<QComboBox*>(watched); box && box->lineEdit()) {
            box->lineEdit()->selectAll();
        }
    }
    return false;
}

}  // namespace tq
