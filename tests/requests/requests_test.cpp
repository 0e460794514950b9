// Registering and cancelling requests against a real site database, and what the entry
// prefills from a stored day.

#include <gtest/gtest.h>

#include "requests/request_kinds.h"
#include "requests_fixture.h"

namespace tq::test {
namespace {

const QDateTime kNow = wallClock(QDate(2024, 5, 8), QTime(10, 15, 30));
const QString kStamp = QStringLiteral("2024/05/08 10:15:30");
const QString kCode = QStringLiteral("0001");

QStringList texts(const Outcome& o) {
    QStringList out;
    for (const Message& m : o.messages) {
        out << m.text;
    }
    return out;
}

class RequestsTest : public PunchTest {
  protected:
    void SetUpSite() override {
        settings = LoadSettings(RequestRulesText().toUtf8()).settings;
        rows->addStaff(kCode, QStringLiteral("山田"), QStringLiteral("A"));
    }

    RequestResult submit(bool registering, RequestMode mode, const QString& day,
                         const QString& kind, const QString& value = QString(),
                         const QString& shift = QStringLiteral("A"), const QString& code = kCode) {
        const Identification who = Identify(*db, code, kNow);
        EXPECT_TRUE(who.identified());
        const RequestEntry e{mode, day, kind, value, shift};
        return registering ? RegisterRequest(*db, ctx, who, settings, e, kNow)
                           : CancelRequest(*db, ctx, who, settings, e, kNow);
    }
    RequestResult reg(RequestMode mode, const QString& day, const QString& kind,
                      const QString& value = QString(),
                      const QString& shift = QStringLiteral("A")) {
        return submit(true, mode, day, kind, value, shift);
    }
    RequestResult cancel(RequestMode mode, const QString& day, const QString& kind,
                         const QString& value = QString()) {
        return submit(false, mode, day, kind, value);
    }
    FullWork stored(const QDate& day, const QString& code = kCode) {
        return ReadFullWork(*db, code, day);
    }
};

constexpr RequestMode kRequest = RequestMode::Request;
constexpr RequestMode kCorrection = RequestMode::Correction;

TEST_F(RequestsTest, PrefillFromAStoredSubstituteStateAPlainStateAndAStoredClockIn) {
    StoreState(*db, kCode, QDate(2024, 5, 10), QStringLiteral("代替休暇(12/05)"));
    rows->addWork(kCode, QDate(2024, 5, 11), QStringLiteral("B"), 905, 0);
    StoreState(*db, kCode, QDate(2024, 5, 12), QStringLiteral("有給休暇"));
    const StaffRecord staff = *Identify(*db, kCode, kNow).StaffRecord;

    const auto substitute = LookUpWorkDay(*db, kCode, QDate(2024, 5, 10));
    ASSERT_TRUE(substitute.has_value());
    const DayPrefill p = PrefillForDay(substitute, staff);
    EXPECT_EQ(p.kind, QStringLiteral("代替休暇"));
    EXPECT_EQ(p.value, QStringLiteral("12/05"));
    EXPECT_EQ(p.shift, QStringLiteral("A"));  // no shift on the row: the standard one
    EXPECT_EQ(PrefillForKind(QStringLiteral("代替勤務"), substitute), QStringLiteral("12/05"));
    EXPECT_FALSE(PrefillForKind(QStringLiteral("出勤打刻"), substitute).has_value());

    const auto punched = LookUpWorkDay(*db, kCode, QDate(2024, 5, 11));
    const DayPrefill q = PrefillForDay(punched, staff);
    EXPECT_FALSE(q.kind.has_value());
    EXPECT_FALSE(q.value.has_value());
    EXPECT_EQ(q.shift, QStringLiteral("B"));
    EXPECT_EQ(PrefillForKind(QStringLiteral("出勤打刻"), punched), QStringLiteral("09:05"));
    EXPECT_FALSE(PrefillForKind(QStringLiteral("退勤打刻"), punched).has_value());  // 0
    EXPECT_FALSE(PrefillForKind(QStringLiteral("残業指示"), punched).has_value());
    EXPECT_FALSE(PrefillForKind(QStringLiteral("代替休暇"), punched).has_value());

    const DayPrefill plain = PrefillForDay(LookUpWorkDay(*db, kCode, QDate(2024, 5, 12)), staff);
    EXPECT_EQ(plain.kind, QStringLiteral("有給休暇"));
    EXPECT_FALSE(plain.value.has_value());

    const auto none = LookUpWorkDay(*db, kCode, QDate(2024, 5, 13));
    EXPECT_FALSE(none.has_value());
    EXPECT_EQ(PrefillForDay(none, staff).shift, QStringLiteral("A"));
    EXPECT_FALSE(PrefillForKind(QStringLiteral("出勤打刻"), none).has_value());
    StaffRecord noShift = staff;
    noShift.勤務シフト.reset();
    EXPECT_EQ(PrefillForDay(none, noShift).shift, QString());

    EXPECT_EQ(FormatStoredTime(830), QStringLiteral("08:30"));
    EXPECT_EQ(FormatStoredTime(2530), QStringLiteral("25:30"));
    EXPECT_EQ(FormatStoredTime(5), QStringLiteral("00:05"));
}

TEST_F(RequestsTest, EveryKindRegistersOnADayWithoutARowAndIsLogged) {
    struct Case {
        QString kind;
        QString value;
    };
    std::vector<Case> cases;
    for (const QString& kind : RequestKinds(kCorrection)) {
        QString value;
        if (kind == QStringLiteral("出勤打刻")) {
            value = QStringLiteral("830");
        } else if (kind == QStringLiteral("退勤打刻")) {
            value = QStringLiteral("2630");
        } else if (kind == QStringLiteral("代替休暇")) {
            value = QStringLiteral("1205");
        } else if (kind == QStringLiteral("代替勤務")) {
            value = QStringLiteral("1/05");
        } else if (kind == QStringLiteral("残業指示")) {
            value = QStringLiteral("1830");
        }
        cases.push_back({kind, value});
    }
    ASSERT_EQ(cases.size(), 16u);
    QDate day(2024, 4, 21);
    for (const Case& c : cases) {
        const QString dayText = formatDate(day);
        const RequestResult r = reg(kCorrection, dayText, c.kind, c.value, QStringLiteral("B"));
        ASSERT_TRUE(r.outcome.accepted) << c.kind.toStdString();
        EXPECT_EQ(r.after, EntryAfter::Ends);
        // Paid leave without any grant is stored and followed by the shortfall warning.
        const bool leave = c.kind == QStringLiteral("有給休暇");
        ASSERT_EQ(r.outcome.messages.size(), leave ? 2u : 1u);
        EXPECT_EQ(r.outcome.messages[0].text, QStringLiteral("訂正更新を受け付けました。"));
        EXPECT_EQ(r.outcome.messages[0].icon, Icon::Information);

        const FullWork w = stored(day);
        ASSERT_TRUE(w.exists) << c.kind.toStdString();
        EXPECT_EQ(w.shift, QStringLiteral("B"));
        if (c.kind == QStringLiteral("出勤打刻")) {
            EXPECT_EQ(w.in, 830);
            EXPECT_EQ(w.inStamp, kStamp);
            EXPECT_FALSE(w.state.has_value());
        } else if (c.kind == QStringLiteral("退勤打刻")) {
            EXPECT_EQ(w.out, 2630);
            EXPECT_EQ(w.outStamp, kStamp);
            EXPECT_EQ(w.in, 0);
        } else if (c.kind == QStringLiteral("残業指示")) {
            EXPECT_EQ(w.instruction, QStringLiteral("18:30"));
            EXPECT_FALSE(w.stateStamp.has_value());  // an instruction has no stamp
        } else {
            const QString state =
                c.kind == QStringLiteral("代替休暇")   ? QStringLiteral("代替休暇(12/05)")
                : c.kind == QStringLiteral("代替勤務") ? QStringLiteral("代替勤務(01/05)")
                                                       : c.kind;
            EXPECT_EQ(w.state, state);
            EXPECT_EQ(w.stateStamp, kStamp);
            EXPECT_EQ(w.in, 0);
        }
        day = day.addDays(1);
    }
    const auto log = rows->logRows();
    ASSERT_EQ(log.size(), 16u);
    for (const LogRow& row : log) {
        EXPECT_EQ(row.operation, QStringLiteral("訂正更新"));
    }
    EXPECT_EQ(
        log[0].content,
        QStringLiteral("(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) "
                       "VALUES ('0001',#2024/04/21#,'B',0830,'2024/05/08 10:15:30')"));
    EXPECT_EQ(
        log[1].content,
        QStringLiteral("(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,退勤時刻,退勤打刻日) "
                       "VALUES ('0001',#2024/04/22#,'B',2630,'2024/05/08 10:15:30')"));
    EXPECT_EQ(log[9].content,
              QStringLiteral("(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,状態,状態申告日) "
                             "VALUES ('0001',#2024/04/30#,'B','代替休暇(12/05)','2024/05/08 "
                             "10:15:30')"));
    EXPECT_EQ(log[15].content,
              QStringLiteral("(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,残業指示) "
                             "VALUES ('0001',#2024/05/06#,'B','18:30')"));
}

TEST_F(RequestsTest, PaidLeaveBeyondTheBalanceIsStoredWithAWarning) {
    // Joined 2023/11/15: the first statutory grant (10 days) comes on 2024/05/15.
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"), QStringLiteral("A"),
                   QStringLiteral("2023/11/15"));
    Sql g(
        QStringLiteral("INSERT INTO T_有給付与 (担当者コード,基準日,付与区分,付与半日数) VALUES "
                       "('0002',#2024/04/01#,'手動',3)"));
    db->execute(g);
    const QString leave = QStringLiteral("有給休暇");
    const QString none = QStringLiteral("有給休暇の残日数がありません。");
    struct Case {
        RequestMode mode;
        QString day;
        QStringList messages;
    };
    const Case cases[] = {
        {kCorrection, QStringLiteral("2024/05/02"), {QStringLiteral("訂正更新を受け付けました。")}},
        // Half a day was left for a whole day.
        {kRequest,
         QStringLiteral("2024/05/09"),
         {QStringLiteral("申請登録を受け付けました。"), none}},
        {kRequest,
         QStringLiteral("2024/05/10"),
         {QStringLiteral("申請登録を受け付けました。"), none}},
        // After the coming 基準日 the statutory grant covers it, written or not.
        {kRequest, QStringLiteral("2024/05/20"), {QStringLiteral("申請登録を受け付けました。")}},
    };
    for (const Case& c : cases) {
        const RequestResult r =
            submit(true, c.mode, c.day, leave, {}, QStringLiteral("A"), QStringLiteral("0002"));
        EXPECT_TRUE(r.outcome.accepted) << c.day.toStdString();
        EXPECT_EQ(texts(r.outcome), c.messages) << c.day.toStdString();
        EXPECT_EQ(stored(parseDate(c.day), QStringLiteral("0002")).state, leave);
        if (r.outcome.messages.size() == 2) {
            EXPECT_EQ(r.outcome.messages[1].icon, Icon::Exclamation);
        }
    }
}

TEST_F(RequestsTest, ARegistrationOnADayWithARowReplacesOnlyWhatItWrites) {
    const QDate day(2024, 5, 9);
    rows->addWork(kCode, day, QStringLiteral("A"), 800, 1700);
    RequestResult r = reg(kRequest, QStringLiteral("2024/05/09"), QStringLiteral("有給休暇"),
                          QStringLiteral("時/分"), QStringLiteral("C"));
    ASSERT_TRUE(r.outcome.accepted);
    EXPECT_EQ(texts(r.outcome).first(), QStringLiteral("申請登録を受け付けました。"));
    FullWork w = stored(day);
    EXPECT_EQ(w.in, 800);
    EXPECT_EQ(w.out, 1700);
    EXPECT_EQ(w.shift, QStringLiteral("C"));
    EXPECT_EQ(w.state, QStringLiteral("有給休暇"));
    EXPECT_EQ(w.stateStamp, kStamp);

    // A time kind replaces the time of its side and keeps the state.
    ASSERT_TRUE(reg(kRequest, QStringLiteral("2024/05/09"), QStringLiteral("出勤打刻"),
                    QStringLiteral("0830"))
                    .outcome.accepted);
    ASSERT_TRUE(reg(kRequest, QStringLiteral("2024/05/09"), QStringLiteral("出勤打刻"),
                    QStringLiteral("９：００"))
                    .outcome.accepted);
    w = stored(day);
    EXPECT_EQ(w.in, 900);
    EXPECT_EQ(w.out, 1700);
    EXPECT_EQ(w.state, QStringLiteral("有給休暇"));
    EXPECT_EQ(w.shift, QStringLiteral("A"));
    // A second state kind replaces the first.
    ASSERT_TRUE(
        reg(kRequest, QStringLiteral("2024/05/09"), QStringLiteral("直行直帰")).outcome.accepted);
    EXPECT_EQ(stored(day).state, QStringLiteral("直行直帰"));
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 1);

    const auto log = rows->logRows();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].operation, QStringLiteral("申請登録"));
    EXPECT_EQ(log[0].content,
              QStringLiteral("(SQL)UPDATE T_勤務 SET シフト = 'C',状態 = '有給休暇',状態申告日 = "
                             "'2024/05/08 10:15:30' WHERE 担当者コード = '0001' AND 勤務日 = "
                             "#2024/05/09#"));
    EXPECT_EQ(log[2].content,
              QStringLiteral("(SQL)UPDATE T_勤務 SET シフト = 'A',出勤時刻 = 0900,出勤打刻日 = "
                             "'2024/05/08 10:15:30' WHERE 担当者コード = '0001' AND 勤務日 = "
                             "#2024/05/09#"));
}

TEST_F(RequestsTest, MidnightIsStoredAsTheEndOfTheDay) {
    ASSERT_TRUE(reg(kRequest, QStringLiteral("2024/05/08"), QStringLiteral("出勤打刻"),
                    QStringLiteral("0000"))
                    .outcome.accepted);
    EXPECT_EQ(stored(QDate(2024, 5, 8)).in, 2400);
    ASSERT_TRUE(reg(kRequest, QStringLiteral("2024/05/08"), QStringLiteral("残業指示"),
                    QStringLiteral("00:00"))
                    .outcome.accepted);
    EXPECT_EQ(stored(QDate(2024, 5, 8)).instruction, QStringLiteral("24:00"));
    EXPECT_TRUE(rows->logRows().at(0).content.contains(QStringLiteral(",2400,")));
}

TEST_F(RequestsTest, AnInstructionWithoutAValueOrWithItsPromptStoresAnEmptyOne) {
    const QDate day(2024, 5, 9);
    ASSERT_TRUE(reg(kRequest, QStringLiteral("2024/05/09"), QStringLiteral("残業指示"),
                    QStringLiteral("1900"))
                    .outcome.accepted);
    EXPECT_EQ(stored(day).instruction, QStringLiteral("19:00"));
    ASSERT_TRUE(reg(kRequest, QStringLiteral("2024/05/09"), QStringLiteral("残業指示"),
                    QStringLiteral("時/分"))
                    .outcome.accepted);
    EXPECT_EQ(stored(day).instruction, QString());
}

TEST_F(RequestsTest, CancellingClearsTheChosenKindWithoutComparingAndLogsNothing) {
    const QDate day(2024, 5, 6);
    rows->addWork(kCode, day, QStringLiteral("B"), 830, 1730);
    ASSERT_TRUE(reg(kCorrection, QStringLiteral("2024/05/06"), QStringLiteral("申告欠勤"))
                    .outcome.accepted);
    const size_t logged = rows->logRows().size();

    // Cancelling 有給休暇 clears the 申告欠勤 that is stored.
    RequestResult r = cancel(kCorrection, QStringLiteral("2024/05/06"), QStringLiteral("有給休暇"));
    EXPECT_TRUE(r.outcome.accepted);
    EXPECT_EQ(r.after, EntryAfter::Ends);
    ASSERT_EQ(r.outcome.messages.size(), 1u);
    EXPECT_EQ(r.outcome.messages[0].text, QStringLiteral("訂正更新を取消しました。"));
    EXPECT_EQ(r.outcome.messages[0].icon, Icon::Exclamation);
    FullWork w = stored(day);
    EXPECT_EQ(w.state, QString());
    EXPECT_EQ(w.stateStamp, kStamp);
    EXPECT_EQ(w.in, 830);
    EXPECT_EQ(w.shift, QStringLiteral("A"));  // as the registration wrote it; never touched

    // A time kind needs its value typed, but the value is not stored.
    r = cancel(kCorrection, QStringLiteral("2024/05/06"), QStringLiteral("出勤打刻"),
               QStringLiteral("1234"));
    EXPECT_TRUE(r.outcome.accepted);
    w = stored(day);
    EXPECT_EQ(w.in, 0);
    EXPECT_EQ(w.inStamp, kStamp);
    EXPECT_EQ(w.out, 1730);

    r = cancel(kRequest, QStringLiteral("2024/05/20"), QStringLiteral("代替休暇"),
               QStringLiteral("12/05"));
    EXPECT_EQ(texts(r.outcome), QStringList{QStringLiteral("申請登録を取消しました。")});
    EXPECT_EQ(rows->logRows().size(), logged);
}

TEST_F(RequestsTest, CancellingOnADayWithoutARowCreatesOneWithTheClearedValueOnly) {
    const struct {
        const char16_t* kind;
        const char16_t* value;
        QDate day;
    } cases[] = {
        {u"退勤打刻", u"1800", QDate(2024, 5, 10)},
        {u"代替勤務", u"0105", QDate(2024, 5, 11)},
        {u"残業指示", u"", QDate(2024, 5, 12)},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(cancel(kRequest, formatDate(c.day), QString::fromUtf16(c.kind),
                           QString::fromUtf16(c.value))
                        .outcome.accepted);
        const FullWork w = stored(c.day);
        ASSERT_TRUE(w.exists);
        EXPECT_FALSE(w.shift.has_value());
        EXPECT_EQ(w.in, 0);
        EXPECT_EQ(w.out, 0);
    }
    EXPECT_EQ(stored(QDate(2024, 5, 10)).outStamp, kStamp);
    EXPECT_FALSE(stored(QDate(2024, 5, 10)).state.has_value());
    EXPECT_EQ(stored(QDate(2024, 5, 11)).state, QString());
    EXPECT_EQ(stored(QDate(2024, 5, 11)).stateStamp, kStamp);
    EXPECT_EQ(stored(QDate(2024, 5, 12)).instruction, QString());
    EXPECT_FALSE(stored(QDate(2024, 5, 12)).stateStamp.has_value());
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 0);
}

TEST_F(RequestsTest, MissingOrBadValuesAreRefusedBeforeAnythingIsWritten) {
    const struct {
        const char16_t* kind;
        const char16_t* value;
        const char16_t* message;
    } cases[] = {
        {u"出勤打刻", u"", u"時刻が入力されていません。"},
        {u"退勤打刻", u"時/分", u"時刻が入力されていません。"},
        {u"出勤打刻", u"  ", u"時刻が入力されていません。"},
        {u"代替休暇", u"月/日", u"月日が入力されていません。"},
        {u"代替勤務", u"", u"月日が入力されていません。"},
        {u"出勤打刻", u"3700", u"時刻の値が不正です。"},
        {u"退勤打刻", u"12", u"時刻の値が不正です。"},  // too short for a value
        {u"残業指示", u"0860", u"時刻の値が不正です。"},
        {u"代替休暇", u"1305", u"月日の値が不正です。"},
        {u"代替勤務", u"12/5", u"月日の値が不正です。"},
    };
    for (const auto& c : cases) {
        for (bool registering : {true, false}) {
            const RequestResult r = submit(registering, kRequest, QStringLiteral("2024/05/09"),
                                           QString::fromUtf16(c.kind), QString::fromUtf16(c.value));
            EXPECT_FALSE(r.outcome.accepted);
            EXPECT_EQ(r.after, EntryAfter::FocusValue);
            ASSERT_EQ(r.outcome.messages.size(), 1u);
            EXPECT_EQ(r.outcome.messages[0].text, QString::fromUtf16(c.message));
            EXPECT_EQ(r.outcome.messages[0].icon, Icon::Exclamation);
        }
    }
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 0);
}

TEST_F(RequestsTest, KindsTheModeDoesNotListAndDaysItDoesNotOfferAreRefused) {
    const struct {
        RequestMode mode;
        const char16_t* day;
        const char16_t* kind;
        const char16_t* message;
        EntryAfter after;
    } cases[] = {
        {kRequest, u"2024/05/09", u"無断欠勤", u"区分の値が不正です。", EntryAfter::FocusKind},
        {kCorrection, u"2024/05/08", u"勤務", u"区分の値が不正です。", EntryAfter::FocusKind},
        {kRequest, u"2024/05/09", u"", u"区分の値が不正です。", EntryAfter::FocusKind},
        {kRequest, u"2024/05/07", u"直行", u"申請できない年月日です。", EntryAfter::FocusDate},
        {kRequest, u"2024/06/08", u"直行", u"申請できない年月日です。", EntryAfter::FocusDate},
        {kCorrection, u"2024/04/20", u"直行", u"訂正できない年月日です。", EntryAfter::FocusDate},
        {kCorrection, u"2024/05/09", u"直行", u"訂正できない年月日です。", EntryAfter::FocusDate},
        {kRequest, u"2024/02/30", u"直行", u"年月日が不正です。", EntryAfter::FocusDate},
        {kRequest, u"5/9", u"直行", u"年月日が不正です。", EntryAfter::FocusDate},
    };
    for (const auto& c : cases) {
        for (bool registering : {true, false}) {
            const RequestResult r =
                submit(registering, c.mode, QString::fromUtf16(c.day), QString::fromUtf16(c.kind));
            EXPECT_FALSE(r.outcome.accepted);
            EXPECT_EQ(r.after, c.after) << QString::fromUtf16(c.day).toStdString();
            EXPECT_EQ(texts(r.outcome), QStringList{QString::fromUtf16(c.message)});
        }
    }
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 0);
    // The ends of both lists are offered.
    EXPECT_TRUE(
        reg(kRequest, QStringLiteral("2024/06/07"), QStringLiteral("直行")).outcome.accepted);
    EXPECT_TRUE(reg(kCorrection, QStringLiteral("2024/04/21"), QStringLiteral("無断欠勤"))
                    .outcome.accepted);
}

TEST_F(RequestsTest, TheJoiningAndLeavingDaysAreAcceptedAndTheDaysBeyondRefused) {
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("佐藤"), QStringLiteral("A"),
                   QStringLiteral("2024/05/10"), QStringLiteral("2024/05/20"));
    const struct {
        QDate day;
        const char16_t* message;
    } cases[] = {
        {QDate(2024, 5, 9), u"入社前です。"},
        {QDate(2024, 5, 10), u"申請登録を受け付けました。"},
        {QDate(2024, 5, 20), u"申請登録を受け付けました。"},
        {QDate(2024, 5, 21), u"退社後です。"},
    };
    for (const auto& c : cases) {
        const RequestResult r = submit(true, kRequest, formatDate(c.day), QStringLiteral("出張"),
                                       QString(), QStringLiteral("A"), QStringLiteral("0002"));
        EXPECT_EQ(texts(r.outcome), QStringList{QString::fromUtf16(c.message)});
        EXPECT_EQ(r.after, EntryAfter::Ends);  // a refused day ends the entry too
        EXPECT_EQ(stored(c.day, QStringLiteral("0002")).exists, r.outcome.accepted);
        // Cancelling is held to the same days.
        const RequestResult x = submit(false, kRequest, formatDate(c.day), QStringLiteral("出張"),
                                       QString(), QStringLiteral("A"), QStringLiteral("0002"));
        EXPECT_EQ(x.outcome.accepted, r.outcome.accepted);
    }
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 2);
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 2);
}

TEST_F(RequestsTest, ACodeWithAnApostropheIsStoredAndLoggedAsTyped) {
    const QString code = QStringLiteral("O'N");
    rows->addStaff(code, QStringLiteral("オニール"), QStringLiteral("B"));
    const RequestResult r = submit(true, kRequest, QStringLiteral("2024/05/08"),
                                   QStringLiteral("直行"), QString(), QStringLiteral("B"), code);
    ASSERT_TRUE(r.outcome.accepted);
    EXPECT_EQ(stored(QDate(2024, 5, 8), code).state, QStringLiteral("直行"));
    EXPECT_FALSE(stored(QDate(2024, 5, 8)).exists);
    EXPECT_EQ(rows->logRows().at(0).content,
              QStringLiteral("(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,状態,状態申告日) "
                             "VALUES ('O'N',#2024/05/08#,'B','直行','2024/05/08 10:15:30')"));
    ASSERT_TRUE(submit(false, kRequest, QStringLiteral("2024/05/08"), QStringLiteral("直行"),
                       QString(), QStringLiteral("B"), code)
                    .outcome.accepted);
    EXPECT_EQ(stored(QDate(2024, 5, 8), code).state, QString());
}

TEST_F(RequestsTest, NobodyIdentifiedChangesNothing) {
    const Identification nobody = Identify(*db, QStringLiteral("9999"), kNow);
    const RequestEntry e{kRequest, QStringLiteral("2024/05/08"), QStringLiteral("直行"), {}, {}};
    for (const RequestResult& r : {RegisterRequest(*db, ctx, nobody, settings, e, kNow),
                                   CancelRequest(*db, ctx, nobody, settings, e, kNow)}) {
        EXPECT_EQ(r.after, EntryAfter::Unchanged);
        EXPECT_TRUE(r.outcome.messages.empty());
        EXPECT_FALSE(r.outcome.accepted);
    }
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
}

TEST_F(RequestsTest, TheWriteAndItsLogRowCommitTogetherOrNotAtAll) {
    FailingDatabase failing(*db, [](const Sql& s) {
        return s.logText().startsWith(QStringLiteral("INSERT INTO T_ログ"));
    });
    const Identification who = Identify(failing, kCode, kNow);
    const RequestEntry e{kRequest, QStringLiteral("2024/05/08"), QStringLiteral("出勤打刻"),
                         QStringLiteral("0830"), QStringLiteral("A")};
    EXPECT_THROW(RegisterRequest(failing, ctx, who, settings, e, kNow), DbError);
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 0);
    EXPECT_TRUE(RegisterRequest(*db, ctx, who, settings, e, kNow).outcome.accepted);
    EXPECT_EQ(stored(QDate(2024, 5, 8)).in, 830);
}

}  // namespace
}  // namespace tq::test
