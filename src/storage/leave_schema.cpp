#include "storage/leave_schema.h"

#include "storage/schema.h"

namespace tq {

namespace {
const QString kDigitsOnly = QStringLiteral("数字のみの場合はゼロサプレスをしない");
}  // namespace

TableDef DefineWorkPatternTable() {
    TableDef t;
    t.name = kWorkPatternTable;
    AddColumn(t, QStringLiteral("担当者コード"), ColumnType::Text, 4, 0, false, {}, kDigitsOnly);
    AddColumn(t, QStringLiteral("適用開始日"), ColumnType::DateTime, 0, 0, false, {},
              QStringLiteral("この日から適用"));
    AddColumn(t, QStringLiteral("週所定労働日数"), ColumnType::Integer, 0, 0, false,
              QStringLiteral("5"), QStringLiteral("日"));
    AddColumn(t, QStringLiteral("週所定労働時間"), ColumnType::Integer, 0, 0, false,
              QStringLiteral("2400"), QStringLiteral("分"));
    AddColumn(t, QStringLiteral("登録日"), ColumnType::DateTime, 0, 0, false,
              QStringLiteral("Now()"), QStringLiteral("登録及び修正日付(yyyy/mm/dd)"));
    AddKey(t, QStringLiteral("PrimaryKey"), QStringLiteral("担当者コード,適用開始日"));
    return t;
}

TableDef DefineLeaveGrantTable() {
    TableDef t;
    t.name = kLeaveGrantTable;
    AddColumn(t, QStringLiteral("担当者コード"), ColumnType::Text, 4, 0, false, {}, kDigitsOnly);
    AddColumn(t, QStringLiteral("基準日"), ColumnType::DateTime, 0, 0, false, {},
              QStringLiteral("付与日"));
    AddColumn(t, QStringLiteral("付与区分"), ColumnType::Text, 2, 0, false, {},
              QStringLiteral("選択 自動: 手動:"));
    AddColumn(t, QStringLiteral("付与半日数"), ColumnType::Integer, 0, 0, false,
              QStringLiteral("0"), QStringLiteral("付与日数×2 (0.5日単位)"));
    AddColumn(t, QStringLiteral("週所定労働日数"), ColumnType::Integer, 0, 0, false,
              QStringLiteral("5"), QStringLiteral("基準日の週所定労働日数"));
    AddColumn(t, QStringLiteral("週所定労働時間"), ColumnType::Integer, 0, 0, false,
              QStringLiteral("2400"), QStringLiteral("基準日の週所定労働時間(分)"));
    AddColumn(t, QStringLiteral("備考"), ColumnType::Text, 64, 0, false, {}, {});
    AddColumn(t, QStringLiteral("登録日"), ColumnType::DateTime, 0, 0, false,
              QStringLiteral("Now()"), QStringLiteral("登録及び修正日付(yyyy/mm/dd)"));
    AddKey(t, QStringLiteral("PrimaryKey"), QStringLiteral("担当者コード,基準日,付与区分"));
    return t;
}

std::vector<TableDef> LeaveTableDefs() {
    return {DefineWorkPatternTable(), DefineLeaveGrantTable()};
}

}  // namespace tq
