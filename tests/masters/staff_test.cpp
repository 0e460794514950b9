#include <gtest/gtest.h>

#include "masters/shift_calendar.h"
#include "masters/staff.h"
#include "masters_fixture.h"

namespace tq::test {
namespace {

QString repeat(const QString& s, int n) {
    return s.repeated(n);
}

TEST(StaffDateTest, NormalisesShortFormsAndChecksEachBox) {
    const QDate today(2024, 3, 20);
    struct Case {
        const char* what;
        QString input;
        DateBox box;
        QString text;
        QString message;  // empty: accepted
    };
    const QString joinedLength = QStringLiteral("入社年月日の桁数が不正です。");
    const QString joinedInvalid = QStringLiteral("入社年月日が不正です。");
    const Case cases[] = {
        {"empty stays empty", QString(), DateBox::Joined, QString(), QString()},
        {"blanks mean today", QStringLiteral("   "), DateBox::Joined, QStringLiteral("2024/03/20"),
         QString()},
        {"full-width blank means today", QStringLiteral("　"), DateBox::Joined,
         QStringLiteral("2024/03/20"), QString()},
        {"yyyymmdd", QStringLiteral("20240315"), DateBox::Joined, QStringLiteral("2024/03/15"),
         QString()},
        {"eight full-width digits", QStringLiteral("２０２４０３１５"), DateBox::Joined,
         QStringLiteral("2024/03/15"), QString()},
        {"full-width digits and slashes", QStringLiteral("２０２４／０３／１５"), DateBox::Joined,
         QStringLiteral("2024/03/15"), QString()},
        {"yymmdd", QStringLiteral("240315"), DateBox::Joined, QStringLiteral("2024/03/15"),
         QString()},
        {"mmdd", QStringLiteral("0315"), DateBox::Joined, QStringLiteral("2024/03/15"), QString()},
        {"dd", QStringLiteral("15"), DateBox::Joined, QStringLiteral("2024/03/15"), QString()},
        {"one digit and a blank", QStringLiteral("5 "), DateBox::Joined,
         QStringLiteral("2024/03/05"), QString()},
        {"yy/mm/dd", QStringLiteral("24/03/15"), DateBox::Joined, QStringLiteral("2024/03/15"),
         QString()},
        {"mm/dd", QStringLiteral("03/15"), DateBox::Joined, QStringLiteral("2024/03/15"),
         QString()},
        {"full form", QStringLiteral("2023/12/31"), DateBox::Joined, QStringLiteral("2023/12/31"),
         QString()},
        {"leap day", QStringLiteral("2024/02/29"), DateBox::Joined, QStringLiteral("2024/02/29"),
         QString()},
        {"8-character slash form taken for yy/mm/dd", QStringLiteral("2024/3/1"), DateBox::Joined,
         QStringLiteral("202024/3/1"), joinedInvalid},
        {"9 characters", QStringLiteral("2024/03/1"), DateBox::Joined, QStringLiteral("2024/03/1"),
         joinedLength},
        {"no such day", QStringLiteral("2024/02/30"), DateBox::Joined, QStringLiteral("2024/02/30"),
         joinedInvalid},
        {"month 13 from digits", QStringLiteral("20241315"), DateBox::Joined,
         QStringLiteral("2024/13/15"), joinedInvalid},
        {"ten letters", QStringLiteral("abcdefghij"), DateBox::Joined, QStringLiteral("abcdefghij"),
         joinedInvalid},
        {"dashes are not the stored form", QStringLiteral("2024-03-15"), DateBox::Joined,
         QStringLiteral("2024-03-15"), joinedInvalid},
        {"leading blank counts as a byte", QStringLiteral(" 2024/03/15"), DateBox::Joined,
         QStringLiteral(" 2024/03/15"), joinedLength},
        {"leaving box, no such day", QStringLiteral("2024/02/30"), DateBox::Left,
         QStringLiteral("2024/02/30"), QStringLiteral("退社年月日が不正です。")},
        {"leaving box, 9 characters", QStringLiteral("2024/03/1"), DateBox::Left,
         QStringLiteral("2024/03/1"), QStringLiteral("退社年月日の桁数が不正です。")},
        {"leaving box, short form", QStringLiteral("0401"), DateBox::Left,
         QStringLiteral("2024/04/01"), QString()},
    };
    for (const Case& c : cases) {
        const DateCheck r = NormaliseDate(c.input, today, c.box);
        EXPECT_EQ(r.text, c.text) << c.what;
        if (c.message.isEmpty()) {
            EXPECT_FALSE(r.refusal.has_value()) << c.what << ": " << r.refusal->text.toStdString();
        } else {
            ASSERT_TRUE(r.refusal.has_value()) << c.what;
            EXPECT_EQ(r.refusal->text, c.message) << c.what;
            EXPECT_EQ(r.refusal->icon, Icon::None) << c.what;
        }
    }
}

TEST(StaffDateTest, CenturyAndYearComeFromToday) {
    const DateCheck r = NormaliseDate(QStringLiteral("990101"), QDate(2101, 6, 1), DateBox::Left);
    EXPECT_EQ(r.text, QStringLiteral("2199/01/01"));
    EXPECT_EQ(NormaliseDate(QStringLiteral("07"), QDate(2023, 11, 2), DateBox::Joined).text,
              QStringLiteral("2023/11/07"));
}

TEST(StaffFieldTest, NameLimitCountsShiftJisBytes) {
    struct Case {
        const char* what;
        QString name;
        bool refused;
    };
    const Case cases[] = {
        {"15 full-width", repeat(QStringLiteral("山"), 15), false},
        {"16 full-width", repeat(QStringLiteral("山"), 16), true},
        {"30 half-width", repeat(QStringLiteral("a"), 30), false},
        {"31 half-width", repeat(QStringLiteral("a"), 31), true},
        {"30 half-width katakana", repeat(QStringLiteral("ｱ"), 30), false},
        {"14 full-width and 3 half-width", repeat(QStringLiteral("あ"), 14) + QStringLiteral("abc"),
         true},
    };
    for (const Case& c : cases) {
        const auto m = CheckStaffName(c.name);
        EXPECT_EQ(m.has_value(), c.refused) << c.what;
        if (m) {
            EXPECT_EQ(m->text, QStringLiteral("社員名の桁数制限を越えています。")) << c.what;
            EXPECT_EQ(m->icon, Icon::Exclamation) << c.what;
        }
    }
}

class StaffTest : public MastersTest {
  protected:
    StaffEntry entry(const QString& code, const QString& name) {
        StaffEntry e;
        e.code = code;
        e.name = name;
        return e;
    }

    std::optional<StaffRow> row(const QString& code) {
        const StaffLookup l = LookupStaff(*db, code);
        return l.row;
    }
};

TEST_F(StaffTest, ListItemLeavesTheCodeAndShowsTheRow) {
    StaffEntry e = entry(QStringLiteral("0002"), QStringLiteral("山田太郎"));
    e.type = 3;
    e.joined = QStringLiteral("2020/04/01");
    e.noOvertime = false;
    e.shift = QStringLiteral("B");
    ASSERT_TRUE(RegisterStaff(*db, ctx, now, e).accepted);
    ASSERT_TRUE(RegisterStaff(*db, ctx, now, entry(QStringLiteral("0001"), QStringLiteral("佐藤")))
                    .accepted);

    const QStringList items = StaffListItems(*db);
    ASSERT_EQ(items,
              (QStringList{QStringLiteral("0001 : 佐藤"), QStringLiteral("0002 : 山田太郎")}));

    const StaffLookup l = LookupStaff(*db, items[1]);
    EXPECT_EQ(l.result, LookupResult::Found);
    EXPECT_EQ(l.code, QStringLiteral("0002"));
    ASSERT_TRUE(l.row.has_value());
    EXPECT_EQ(l.row->name, QStringLiteral("山田太郎"));
    EXPECT_EQ(l.row->type, 3);
    EXPECT_EQ(l.row->joined, QStringLiteral("2020/04/01"));
    EXPECT_EQ(l.row->left, QString());
    EXPECT_EQ(l.row->overtime, QStringLiteral("有"));
    EXPECT_EQ(l.row->shift, QStringLiteral("B"));
}

TEST_F(StaffTest, LookupRefusesLongCodesIgnoresBlankOnesAndReportsNewOnes) {
    const StaffLookup longCode = LookupStaff(*db, QStringLiteral("12345"));
    EXPECT_EQ(longCode.result, LookupResult::Refused);
    ASSERT_EQ(longCode.outcome.messages.size(), 1u);
    EXPECT_EQ(longCode.outcome.messages[0].text,
              QStringLiteral("社員コードの桁数制限を越えています。"));
    EXPECT_EQ(longCode.outcome.messages[0].icon, Icon::Exclamation);

    const StaffLookup blank = LookupStaff(*db, QStringLiteral("    "));
    EXPECT_EQ(blank.result, LookupResult::Ignored);
    EXPECT_TRUE(blank.outcome.messages.empty());

    EXPECT_EQ(LookupStaff(*db, QStringLiteral("0009")).result, LookupResult::NotFound);
    // The cut leaves a code that must still fit.
    EXPECT_EQ(LookupStaff(*db, QStringLiteral("00001 : 佐藤")).result, LookupResult::Refused);
}

TEST_F(StaffTest, InsertThenUpdateKeepsRetiredFlagAndRegistrationDate) {
    StaffEntry e = entry(QStringLiteral("0001"), QStringLiteral("山田太郎"));
    e.type = 2;
    e.joined = QStringLiteral("2020/04/01");
    e.shift = QStringLiteral("A");
    const StaffOutcome inserted = RegisterStaff(*db, ctx, now, e);
    ASSERT_TRUE(inserted.accepted);
    ASSERT_EQ(inserted.messages.size(), 1u);
    EXPECT_EQ(inserted.messages[0].text, QStringLiteral("社員登録を受け付けました。"));
    EXPECT_EQ(inserted.messages[0].icon, Icon::Information);

    auto r = row(QStringLiteral("0001"));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->password, QStringLiteral("0001"));
    EXPECT_EQ(r->overtime, QStringLiteral("無"));
    EXPECT_FALSE(r->retired);
    EXPECT_EQ(r->registered, now);

    // Retire the row behind the panel's back: the update must not touch the flag.
    db->execute(Sql(QStringLiteral("UPDATE T_担当者 SET 廃番区分 = True")));
    e.name = QStringLiteral(" 山田花子 ");
    e.type = 0;
    e.joined.clear();
    e.left = QStringLiteral("2024/03/31");
    e.noOvertime = false;
    e.shift.clear();
    ASSERT_TRUE(RegisterStaff(*db, ctx, now.addDays(3), e).accepted);

    r = row(QStringLiteral("0001"));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->name, QStringLiteral("山田花子"));
    EXPECT_EQ(r->type, 0);
    EXPECT_EQ(r->joined, QString());
    EXPECT_FALSE(
        StaffTest::db->query(Sql(QStringLiteral("SELECT * FROM T_担当者 WHERE 入社年月日 IS NULL")))
            ->next())
        << "an empty date box is stored as an empty text";
    EXPECT_EQ(r->left, QStringLiteral("2024/03/31"));
    EXPECT_EQ(r->overtime, QStringLiteral("有"));
    EXPECT_TRUE(r->retired);
    EXPECT_EQ(r->registered, now);
    EXPECT_EQ(count(QStringLiteral("T_担当者")), 1);

    const auto log = logRows();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].operation, QStringLiteral("登録"));
    EXPECT_EQ(log[0].program, QStringLiteral("出勤・退勤"));
    EXPECT_EQ(
        log[0].content,
        QStringLiteral("(SQL)INSERT INTO T_担当者 (担当者コード,担当者名,[PassWord],社員区分,"
                       "入社年月日,退社年月日,残業計算区分,勤務シフト,廃番区分,登録日) VALUES "
                       "('0001','山田太郎','0001',2,'2020/04/01','','無','A',False,"
                       "#2024/03/20 09:15:30#)"));
    EXPECT_EQ(log[1].content,
              QStringLiteral("(SQL)UPDATE T_担当者 SET 担当者名 = '山田花子',[PassWord] = '0001',"
                             "社員区分 = 0,入社年月日 = '',退社年月日 = '2024/03/31',"
                             "残業計算区分 = '有',勤務シフト = '' WHERE 担当者コード = '0001'"));
}

TEST_F(StaffTest, ApostrophesAreStoredIntactAndDoubledInTheLog) {
    ASSERT_TRUE(
        RegisterStaff(*db, ctx, now, entry(QStringLiteral("a'b"), QStringLiteral("O'Brien")))
            .accepted);
    EXPECT_EQ(row(QStringLiteral("a'b"))->name, QStringLiteral("O'Brien"));
    ASSERT_TRUE(
        RegisterStaff(*db, ctx, now, entry(QStringLiteral("a'b"), QStringLiteral("D'Arcy'")))
            .accepted);
    EXPECT_EQ(row(QStringLiteral("a'b"))->name, QStringLiteral("D'Arcy'"));
    EXPECT_EQ(count(QStringLiteral("T_担当者")), 1);

    const auto log = logRows();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[0].content.contains(QStringLiteral("VALUES ('a''b','O''Brien','a''b',0,")))
        << log[0].content.toStdString();
    EXPECT_TRUE(log[1].content.startsWith(
        QStringLiteral("(SQL)UPDATE T_担当者 SET 担当者名 = 'D''Arcy'''")))
        << log[1].content.toStdString();
    EXPECT_TRUE(log[1].content.endsWith(QStringLiteral(" WHERE 担当者コード = 'a''b'")));
}

TEST_F(StaffTest, UnfitValuesAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* what;
        StaffEntry entry;
        StaffField field;
        QString message;
    };
    auto with = [&](auto change) {
        StaffEntry e = entry(QStringLiteral("0001"), QStringLiteral("山田"));
        change(e);
        return e;
    };
    const Case cases[] = {
        {"five-character code", with([](StaffEntry& e) { e.code = QStringLiteral("00001"); }),
         StaffField::Code, QStringLiteral("社員コードの桁数制限を越えています。")},
        {"16 full-width name",
         with([](StaffEntry& e) { e.name = QStringLiteral("山").repeated(16); }), StaffField::Name,
         QStringLiteral("社員名の桁数制限を越えています。")},
        {"type 5", with([](StaffEntry& e) { e.type = 5; }), StaffField::Type,
         QStringLiteral("社員区分が不正です。")},
        {"type -1", with([](StaffEntry& e) { e.type = -1; }), StaffField::Type,
         QStringLiteral("社員区分が不正です。")},
        {"joining day that does not exist",
         with([](StaffEntry& e) { e.joined = QStringLiteral("2024/02/30"); }), StaffField::Joined,
         QStringLiteral("入社年月日が不正です。")},
        {"short joining date", with([](StaffEntry& e) { e.joined = QStringLiteral("2024/3/15"); }),
         StaffField::Joined, QStringLiteral("入社年月日の桁数が不正です。")},
        {"leaving month 13", with([](StaffEntry& e) { e.left = QStringLiteral("2024/13/01"); }),
         StaffField::Left, QStringLiteral("退社年月日が不正です。")},
        {"two-character shift", with([](StaffEntry& e) { e.shift = QStringLiteral("AB"); }),
         StaffField::Shift, QStringLiteral("勤務シフトの桁数制限を越えています。")},
    };
    for (const Case& c : cases) {
        const StaffOutcome o = RegisterStaff(*db, ctx, now, c.entry);
        EXPECT_FALSE(o.accepted) << c.what;
        EXPECT_EQ(o.field, c.field) << c.what;
        ASSERT_EQ(o.messages.size(), 1u) << c.what;
        EXPECT_EQ(o.messages[0].text, c.message) << c.what;
    }
    EXPECT_EQ(count(QStringLiteral("T_担当者")), 0);
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 0);

    const StaffOutcome blank = RegisterStaff(*db, ctx, now, entry(QStringLiteral("  "), QString()));
    EXPECT_FALSE(blank.accepted);
    EXPECT_TRUE(blank.messages.empty());
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 0);
}

TEST_F(StaffTest, PaddedCodeIsStoredTrimmedAndNeverCollides) {
    StaffEntry e = entry(QStringLiteral(" 12 "), QStringLiteral("山田"));
    e.shift = QStringLiteral(" A ");
    ASSERT_TRUE(RegisterStaff(*db, ctx, now, e).accepted);
    const auto r = row(QStringLiteral("12"));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->password, QStringLiteral(" 12 "));
    EXPECT_EQ(r->shift, QStringLiteral("A"));

    const StaffOutcome again = RegisterStaff(*db, ctx, now, e);
    EXPECT_FALSE(again.accepted);
    EXPECT_EQ(again.field, StaffField::Code);
    EXPECT_EQ(count(QStringLiteral("T_担当者")), 1);
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 1);
}

TEST_F(StaffTest, DeleteRemovesTheRowButNotItsWorkRows) {
    ASSERT_TRUE(RegisterStaff(*db, ctx, now, entry(QStringLiteral("0001"), QStringLiteral("山田")))
                    .accepted);
    ShiftRegistration shifts;
    shifts.code = QStringLiteral("0001");
    shifts.staffShown = true;
    shifts.month = QStringLiteral("2024/04");
    ASSERT_TRUE(RegisterMonthShifts(*db, ctx, now, shifts).accepted);

    const StaffOutcome o = DeleteStaff(*db, ctx, now, QStringLiteral("0001"));
    ASSERT_TRUE(o.accepted);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0].text, QStringLiteral("社員削除を受け付けました。"));
    EXPECT_EQ(o.messages[0].icon, Icon::Information);
    EXPECT_EQ(count(QStringLiteral("T_担当者")), 0);
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 30);
    const auto log = logRows();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[2].operation, QStringLiteral("削除"));
    EXPECT_EQ(log[2].content,
              QStringLiteral("(SQL)DELETE FROM T_担当者 WHERE 担当者コード = '0001'"));

    // A code no longer (or never) registered: refused, nothing logged.
    const StaffOutcome again = DeleteStaff(*db, ctx, now, QStringLiteral("0001"));
    EXPECT_FALSE(again.accepted);
    ASSERT_EQ(again.messages.size(), 1u);
    EXPECT_EQ(again.messages[0].text, QStringLiteral("社員コードが未登録です。"));
    EXPECT_EQ(again.messages[0].icon, Icon::Exclamation);
    EXPECT_FALSE(DeleteStaff(*db, ctx, now, QStringLiteral("00001")).accepted);
    EXPECT_EQ(logRows().size(), 3u);
}

TEST_F(StaffTest, ListIncludesRetiredRowsInCodeOrder) {
    for (const char* code : {"B2", "0003", "A1"}) {
        ASSERT_TRUE(
            RegisterStaff(*db, ctx, now, entry(QString::fromLatin1(code), QStringLiteral("名")))
                .accepted);
    }
    db->execute(Sql(QStringLiteral("UPDATE T_担当者 SET 廃番区分 = True WHERE 担当者コード = "))
                    .text(QStringLiteral("A1")));
    const std::vector<StaffRow> rows = ListStaff(*db);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].code, QStringLiteral("0003"));
    EXPECT_EQ(rows[1].code, QStringLiteral("A1"));
    EXPECT_TRUE(rows[1].retired);
    EXPECT_EQ(rows[2].code, QStringLiteral("B2"));
}

}  // namespace
}  // namespace tq::test
