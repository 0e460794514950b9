// Paid leave on a real site database (both engines): the statutory grants written once, the
// administrator's patterns and grants, the days taken from the work rows and their archive,
// and the reminder after a clock-in.

#include <gtest/gtest.h>

#include "../attendance/punch_fixture.h"
#include "labour/leave_book.h"
#include "storage/leave_schema.h"

namespace tq::test {
namespace {

const QString kCode = QStringLiteral("0001");

QDateTime at(int y, int m, int d, int h = 9) {
    return wallClock(QDate(y, m, d), QTime(h, 0));
}

class LeaveBookTest : public PunchTest {
  protected:
    void SetUpSite() override {
        rows->addStaff(kCode, QStringLiteral("山田"), QStringLiteral("A"),
                       QStringLiteral("2024/04/01"));
    }

    LeaveStaff staff(const QString& code = kCode) {
        return LeaveStaffOf(Identify(*db, code, at(2024, 4, 1)));
    }

    void storeState(const QString& table, const QString& code, const QDate& day,
                    const QString& state) {
        Sql s(QStringLiteral("INSERT INTO [") + table +
              QStringLiteral("] (担当者コード,勤務日,状態,出勤時刻,退勤時刻) VALUES ("));
        s.text(code).raw(QStringLiteral(",")).date(day).raw(QStringLiteral(","));
        s.text(state).raw(QStringLiteral(",0,0)"));
        db->execute(s);
    }

    /// The stored grants as "yyyy/mm/dd 自動 10.0 (5)": base, kind, days, weekly days.
    QStringList storedGrants() {
        QStringList out;
        for (const LeaveGrant& g : ReadLeaveGrants(*db, kCode)) {
            out << QStringLiteral("%1 %2 %3 (%4)")
                       .arg(formatDate(g.base),
                            g.kind == GrantKind::Manual ? QStringLiteral("手動")
                                                        : QStringLiteral("自動"),
                            FormatLeaveDays(g.halves))
                       .arg(g.pattern.weeklyDays);
        }
        return out;
    }

    int grantLogRows() {
        int n = 0;
        for (const LogRow& r : rows->logRows()) {
            n += r.operation == QStringLiteral("有給付与") ? 1 : 0;
        }
        return n;
    }

    QStringList texts(const Outcome& o) {
        QStringList t;
        for (const Message& m : o.messages) {
            t << m.text;
        }
        return t;
    }
};

TEST_F(LeaveBookTest, StatutoryGrantsAreWrittenOnceWithThePatternOfTheirDay) {
    // A part-timer from the start, set up before any grant was due.
    const Outcome set =
        SetWorkPattern(*db, ctx, at(2024, 5, 1), staff(), WorkPattern{QDate(), 3, 24 * 60});
    EXPECT_TRUE(set.accepted);
    EXPECT_EQ(texts(set), QStringList{QStringLiteral(
                              "勤務形態を登録しました。(2024/04/01から 週3日 24:00 比例付与)")});
    EXPECT_TRUE(SyncStatutoryGrants(*db, ctx, at(2024, 9, 30), staff()).isEmpty());

    EXPECT_EQ(SyncStatutoryGrants(*db, ctx, at(2025, 10, 5), staff()),
              (QStringList{QStringLiteral("2024/10/01 自動付与 5.0日"),
                           QStringLiteral("2025/10/01 自動付与 6.0日")}));
    EXPECT_EQ(grantLogRows(), 2);
    EXPECT_TRUE(SyncStatutoryGrants(*db, ctx, at(2025, 10, 6), staff()).isEmpty());
    EXPECT_EQ(grantLogRows(), 2) << "a grant is written once";

    // Full time from 2026/04/01 on: the grants already written keep their days.
    SetWorkPattern(*db, ctx, at(2026, 3, 1), staff(), WorkPattern{QDate(2026, 4, 1), 5, 40 * 60});
    SyncStatutoryGrants(*db, ctx, at(2026, 10, 1), staff());
    EXPECT_EQ(storedGrants(), (QStringList{QStringLiteral("2024/10/01 自動 5.0 (3)"),
                                           QStringLiteral("2025/10/01 自動 6.0 (3)"),
                                           QStringLiteral("2026/10/01 自動 12.0 (5)")}));

    // Told later that the staff member worked full time from 2025/06/01: the grants from
    // that day on are recalculated, the earlier one stays.
    const Outcome retro = SetWorkPattern(*db, ctx, at(2026, 10, 2), staff(),
                                         WorkPattern{QDate(2025, 6, 1), 5, 40 * 60});
    EXPECT_EQ(texts(retro).mid(1),
              QStringList{QStringLiteral("2025/10/01 自動付与 6.0日 → 11.0日")});
    EXPECT_EQ(storedGrants(), (QStringList{QStringLiteral("2024/10/01 自動 5.0 (3)"),
                                           QStringLiteral("2025/10/01 自動 11.0 (5)"),
                                           QStringLiteral("2026/10/01 自動 12.0 (5)")}));

    // A corrected joining day moves the automatic grants with it.
    db->execute(Sql(QStringLiteral(
        "UPDATE T_担当者 SET 入社年月日 = '2024/05/01' WHERE 担当者コード = '0001'")));
    SyncStatutoryGrants(*db, ctx, at(2026, 10, 2), staff());
    EXPECT_EQ(storedGrants(), (QStringList{QStringLiteral("2024/11/01 自動 5.0 (3)"),
                                           QStringLiteral("2025/11/01 自動 11.0 (5)")}));
    // Without a joining day there are no automatic grants at all.
    db->execute(
        Sql(QStringLiteral("UPDATE T_担当者 SET 入社年月日 = '' WHERE 担当者コード = '0001'")));
    const LeaveLedger none = LoadLeaveLedger(*db, ctx, at(2026, 10, 2), staff());
    EXPECT_TRUE(none.grants.empty());
    EXPECT_EQ(LedgerTextLines(none, staff()).last(),
              QStringLiteral("入社年月日が未登録のため、法定の付与は自動では行われません。"));
}

TEST_F(LeaveBookTest, DaysTakenComeFromTheWorkRowsAndTheirArchive) {
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"));
    storeState(QStringLiteral("T_勤務"), kCode, QDate(2025, 6, 2), QStringLiteral("有給休暇"));
    storeState(QStringLiteral("T_勤務_保存"), kCode, QDate(2024, 11, 5),
               QStringLiteral("有給休暇"));
    storeState(QStringLiteral("T_勤務_保存"), kCode, QDate(2024, 11, 6),
               QStringLiteral("特別休暇"));
    storeState(QStringLiteral("T_勤務"), QStringLiteral("0002"), QDate(2025, 6, 3),
               QStringLiteral("有給休暇"));
    EXPECT_EQ(ReadLeaveDays(*db, kCode),
              (std::vector<QDate>{QDate(2024, 11, 5), QDate(2025, 6, 2)}));
    EXPECT_EQ(ReadLeaveDays(*db, kCode, QDate(2025, 1, 1)),
              (std::vector<QDate>{QDate(2025, 6, 2)}));

    const LeaveLedger ledger = LoadLeaveLedger(*db, ctx, at(2025, 10, 5), staff());
    ASSERT_EQ(ledger.grants.size(), 2u);
    EXPECT_EQ(ledger.grants[0].used, 4);
    EXPECT_EQ(FormatLeaveDays(ledger.balanceOn(QDate(2025, 10, 5))), QStringLiteral("19.0"));
}

TEST_F(LeaveBookTest, ManualGrantsAreLoggedReplaceTheirDaysAndAreChecked) {
    SyncStatutoryGrants(*db, ctx, at(2024, 10, 2), staff());
    const Outcome carried = GrantLeave(*db, ctx, at(2024, 10, 2), staff(), QDate(2024, 10, 1), 13,
                                       QStringLiteral("紙の管理簿から繰越 '残'"));
    EXPECT_TRUE(carried.accepted);
    EXPECT_EQ(texts(carried),
              (QStringList{QStringLiteral("有給休暇の付与を登録しました。(2024/10/01 6.5日)"),
                           QStringLiteral("この基準日の自動付与(10.0日)に代わります。")}));
    const Outcome again =
        GrantLeave(*db, ctx, at(2024, 10, 3), staff(), QDate(2024, 10, 1), 14, {});
    EXPECT_EQ(texts(again).first(),
              QStringLiteral("有給休暇の付与を更新しました。(2024/10/01 7.0日)"));
    EXPECT_EQ(storedGrants(), (QStringList{QStringLiteral("2024/10/01 自動 10.0 (5)"),
                                           QStringLiteral("2024/10/01 手動 7.0 (5)")}));
    EXPECT_EQ(grantLogRows(), 3);
    const std::vector<LogRow> log = rows->logRows();
    EXPECT_TRUE(log[1].content.contains(QStringLiteral("'紙の管理簿から繰越 ''残'''")))
        << log[1].content.toStdString();

    const LeaveLedger ledger = LoadLeaveLedger(*db, ctx, at(2024, 10, 3), staff());
    ASSERT_EQ(ledger.grants.size(), 1u);
    EXPECT_EQ(ledger.grants[0].grant.halves, 14);

    struct Refusal {
        QDate base;
        HalfDays halves;
        QString note;
        QString message;
    };
    const Refusal refusals[] = {
        {QDate(), 2, {}, QStringLiteral("基準日が不正です。")},
        {QDate(2025, 1, 1), -1, {}, QStringLiteral("付与日数が不正です。")},
        {QDate(2025, 1, 1), 2, QString(65, u'x'), QStringLiteral("備考は64文字までです。")},
    };
    for (const Refusal& r : refusals) {
        const Outcome o = GrantLeave(*db, ctx, at(2024, 10, 3), staff(), r.base, r.halves, r.note);
        EXPECT_FALSE(o.accepted);
        EXPECT_EQ(texts(o), QStringList{r.message});
    }
    EXPECT_EQ(grantLogRows(), 3);
}

TEST_F(LeaveBookTest, ClockInRemindsOfAnOpenDutyRightAfterTheConfirmation) {
    for (const QDate& day : {QDate(2025, 1, 6), QDate(2025, 1, 7), QDate(2025, 1, 8)}) {
        storeState(QStringLiteral("T_勤務"), kCode, day, QStringLiteral("有給休暇"));
    }
    // A day of the period clocked in but never out.
    rows->addWork(kCode, QDate(2025, 8, 4), QStringLiteral("A"), 830, 0);
    struct Case {
        QDateTime now;
        const char* warningSetting;
        QStringList messages;
    };
    const QString accepted = QStringLiteral("出勤を受け付けました。");
    // 08/01 (a Friday without a row) and 08/04 (no clock-out).
    const QString missing1 = QStringLiteral("08/01の打刻がありません。");
    const QString missing = QStringLiteral("08/04の打刻がありません。");
    const QString remind =
        QStringLiteral("年次有給休暇をあと2日取得してください。(期限 2025/09/30)");
    // Each clock-in leaves its own day without a clock-out for the next one to find.
    const Case cases[] = {
        {at(2025, 8, 5), "", {accepted, remind, missing1, missing}},
        {at(2025, 8, 6),
         "[有給取得義務警告日数]\n30\n",
         {accepted, missing1, missing, QStringLiteral("08/05の打刻がありません。")}},
        {at(2025, 9, 1), "[有給取得義務警告日数]\n30\n", {accepted, remind}},
    };
    for (const Case& c : cases) {
        const Settings s = LoadSettings(c.warningSetting + PunchRulesText().toUtf8()).settings;
        const Identification who = identify(kCode, c.now);
        const Outcome o = ClockInWithLeaveReminder(*db, ctx, who, s, c.now);
        EXPECT_TRUE(o.accepted);
        EXPECT_EQ(texts(o), c.messages) << c.now.toString(Qt::ISODate).toStdString();
        if (!o.messages.empty()) {
            EXPECT_EQ(o.messages.front().icon, Icon::Information);
        }
    }
    // Two more days registered ahead meet the duty: no reminder any more.
    storeState(QStringLiteral("T_勤務"), kCode, QDate(2025, 9, 10), QStringLiteral("有給休暇"));
    storeState(QStringLiteral("T_勤務"), kCode, QDate(2025, 9, 11), QStringLiteral("有給休暇"));
    const Outcome met = ClockInWithLeaveReminder(*db, ctx, identify(kCode, at(2025, 9, 2)),
                                                 settings, at(2025, 9, 2));
    EXPECT_EQ(texts(met), (QStringList{accepted, QStringLiteral("09/01の打刻がありません。")}));
}

TEST_F(LeaveBookTest, APunchStaysAcceptedWhenItsLeaveCannotBeRead) {
    // The grant due on 2024/10/01 cannot be written: the clock-in is stored all the same.
    FailingDatabase failing(*db, [](const Sql& s) {
        return s.logText().startsWith(QStringLiteral("INSERT INTO T_有給付与"));
    });
    const QDateTime now = at(2025, 9, 1);
    const Outcome o = ClockInWithLeaveReminder(failing, ctx, identify(kCode, now), settings, now);
    EXPECT_TRUE(o.accepted);
    EXPECT_EQ(texts(o), (QStringList{QStringLiteral("出勤を受け付けました。"),
                                     QStringLiteral("有給休暇の状況を読めませんでした。disk I/O "
                                                    "error")}));
    EXPECT_EQ(o.messages[1].icon, Icon::Exclamation);
    EXPECT_EQ(rows->work(kCode, now.date()).in, 900);
    EXPECT_TRUE(ReadLeaveGrants(*db, kCode).empty()) << "nothing half-written";
}

TEST_F(LeaveBookTest, DutyListAndStatusLine) {
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"), QStringLiteral("A"),
                   QStringLiteral("2025/03/10"));
    rows->addStaff(QStringLiteral("0003"), QStringLiteral("佐藤"), QStringLiteral("A"));
    for (const QDate& day : {QDate(2025, 1, 6), QDate(2025, 1, 7), QDate(2025, 1, 8)}) {
        storeState(QStringLiteral("T_勤務"), kCode, day, QStringLiteral("有給休暇"));
    }
    const auto lines = LeaveDutyList(*db, ctx, settings, at(2025, 8, 10));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].staff.code, kCode);
    EXPECT_EQ(lines[0].staff.name, QStringLiteral("山田"));
    EXPECT_EQ(lines[0].deadline, QDate(2025, 9, 30));
    EXPECT_EQ(lines[0].taken, 3);
    EXPECT_EQ(lines[0].left, 2);

    const QDate today(2025, 8, 10);
    EXPECT_EQ(
        LeaveStatusLine(LoadLeaveLedger(*db, ctx, at(2025, 8, 10), staff()), staff(), today),
        QStringLiteral(
            "有給休暇 残7.0日（2026/09/30に7.0日失効）　取得義務 あと2日（期限 2025/09/30）"));
    const LeaveStaff newcomer = staff(QStringLiteral("0002"));
    EXPECT_EQ(
        LeaveStatusLine(LoadLeaveLedger(*db, ctx, at(2025, 8, 10), newcomer), newcomer, today),
        QStringLiteral("有給休暇 付与前（初回付与 2025/09/10）"));
    const LeaveStaff unknown = staff(QStringLiteral("0003"));
    EXPECT_EQ(LeaveStatusLine(LoadLeaveLedger(*db, ctx, at(2025, 8, 10), unknown), unknown, today),
              QStringLiteral("有給休暇 付与なし（入社年月日が未登録）"));
}

}  // namespace
}  // namespace tq::test
