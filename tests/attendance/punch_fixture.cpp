#include "punch_fixture.h"

namespace tq::test {

namespace {

Sql& optionalText(Sql& s, const std::optional<QString>& v) {
    return v ? s.text(*v) : s.raw(QStringLiteral("Null"));
}

Sql& optionalNumber(Sql& s, std::optional<int> v) {
    return v ? s.integer(*v) : s.raw(QStringLiteral("Null"));
}

}  // namespace

QString PunchRulesText() {
    return QStringLiteral(
        "[給与締日]\n末日\n[過日修正可能日]\n末日\n"
        "[始業時刻]\n09:00\n[終業時刻]\n18:00\n[所定勤務時間]\n480\n[残業対象時間]\n480\n"
        "[所定勤務時間丸め]\n15\n[普通残業時間丸め]\n15\n[深夜残業時間丸め]\n15\n"
        "[早出残業時間丸め]\n15\n"
        "[休日]\n土曜日\n日曜日\n"
        "{ｼﾌﾄ}\nA\n[始業時刻]\n08:30\n[終業時刻]\n17:30\n"
        "{ｼﾌﾄ}\nB\n[始業時刻]\n8:30\n"
        "{ｼﾌﾄ}\nC\n[終業時刻]\n17:00\n");
}

void PunchTest::SetUp() {
    ASSERT_TRUE(dir.isValid());
    QDir().mkpath(dir.filePath(QStringLiteral("DB")));
    site = std::make_unique<TestDatabase>(dir.filePath(QStringLiteral("DB/DB.mdb")));
    if (!site->skipReason().isEmpty()) {
        GTEST_SKIP() << site->skipReason().toStdString();
    }
    path = site->name();
    db = site->open(true);
    ASSERT_EQ(EnsureTables(*db), QString());
    rows = std::make_unique<SiteRows>(*db);
    settings = LoadSettings(PunchRulesText().toUtf8()).settings;
    ASSERT_EQ(settings.shiftCodes, (QStringList{QString(), QStringLiteral("A"), QStringLiteral("B"),
                                                QStringLiteral("C")}));
    SetUpSite();
}

void SiteRows::addStaff(const QString& code, const QString& name,
                        const std::optional<QString>& shift, const std::optional<QString>& joined,
                        const std::optional<QString>& left, const QString& overtime) {
    TestStaff(code, name).shift(shift).joined(joined).left(left).overtime(overtime).insert(db_);
}

void SiteRows::addWork(const QString& code, const QDate& day, const std::optional<QString>& shift,
                       std::optional<int> in, std::optional<int> out) {
    Sql s(QStringLiteral(
        "INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,退勤時刻) VALUES ("));
    s.text(code).raw(QStringLiteral(",")).date(day).raw(QStringLiteral(","));
    optionalText(s, shift).raw(QStringLiteral(","));
    optionalNumber(s, in).raw(QStringLiteral(","));
    optionalNumber(s, out).raw(QStringLiteral(")"));
    db_.execute(s);
}

StoredWork SiteRows::work(const QString& code, const QDate& day) {
    Sql s(QStringLiteral("SELECT * FROM T_勤務 WHERE 担当者コード = "));
    s.text(code).raw(QStringLiteral(" AND 勤務日 = ")).date(day);
    auto rs = db_.query(s);
    StoredWork w;
    if (!rs->next()) {
        return w;
    }
    w.exists = true;
    auto number = [&](const QString& f) -> std::optional<qint64> {
        return rs->isNull(f) ? std::nullopt : std::optional<qint64>(rs->integer(f));
    };
    if (!rs->isNull(QStringLiteral("シフト"))) {
        w.shift = rs->text(QStringLiteral("シフト"));
    }
    w.in = number(QStringLiteral("出勤時刻"));
    w.out = number(QStringLiteral("退勤時刻"));
    w.inStamp = rs->text(QStringLiteral("出勤打刻日"));
    w.outStamp = rs->text(QStringLiteral("退勤打刻日"));
    return w;
}

int SiteRows::count(const QString& table) {
    auto rs = db_.query(Sql(QStringLiteral("SELECT COUNT(*) AS n FROM ") + table));
    return rs->next() ? static_cast<int>(rs->integer(QStringLiteral("n"))) : -1;
}

std::vector<LogRow> SiteRows::logRows() {
    std::vector<LogRow> out;
    auto rs = db_.query(Sql(QStringLiteral("SELECT * FROM T_ログ ORDER BY 連番")));
    while (rs->next()) {
        out.push_back({rs->text(QStringLiteral("処理名")), rs->text(QStringLiteral("内容"))});
    }
    return out;
}

}  // namespace tq::test
