// The network time library against a time server on 127.0.0.1. Each test runs the event loop
// for a few seconds: requests go out every 1.6 s, each read 0.8 s later.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <string>

#include "../child_process.h"
#include "horvex/horvex.h"
#include "sntp_fake.h"
#include "stall_resolver.h"

using tq::test::answerAlways;
using tq::test::FakeSntpServer;
using tq::test::neverAnswer;
using tq::test::ntpSeconds;
using tq::test::openDescriptors;
using tq::test::SntpAnswer;
using tq::test::sntpReply;
using tq::test::waitUntil;

namespace {

const QDateTime k2020(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
const QDateTime k2021(QDate(2021, 6, 15), QTime(12, 0), Qt::UTC);
constexpr double kDay2020 = 43831.0;  // 2020-01-01 as days since 1899-12-30
constexpr double kDay2021Noon = 44362.5;
// One send and one receive step, plus slack for a loaded machine.
constexpr int kCycleMs = 1600 + 900;

bool hasTime() {
    return GetNtpTime() != 0.0;
}

/// Stops any exchange a failed assertion left running.
struct CloseAtEnd {
    ~CloseAtEnd() { CloseNtpServer(); }
};

/// Runs the loop for `ms` and tells whether the server saw no request meanwhile.
bool quietFor(const FakeSntpServer& server, int ms) {
    const std::size_t before = server.requests().size();
    QTest::qWait(ms);
    return server.requests().size() == before;
}

}  // namespace

// Declared first: run as one program, nothing has started an exchange yet.
TEST(Horvex, NoTimeBeforeAnyServerIsSet) {
    EXPECT_EQ(GetNtpTime(), 0.0);
}

TEST(Horvex, TransmitTimeBecomesTheDayCount) {
    CloseAtEnd closer;
    FakeSntpServer server([](int i, const QByteArray&) -> std::vector<SntpAnswer> {
        if (i == 0) {
            return {{sntpReply(ntpSeconds(k2020), 0), 0}};
        }
        // Version, mode and stratum 0 are not looked at; only the leap indicator is.
        return {{sntpReply(ntpSeconds(k2020), 0x80000000u, 0x00), 0}};
    });
    ASSERT_TRUE(server.listening());
    ASSERT_EQ(SetNtpServer("127.0.0.1", server.port()), 1);

    ASSERT_TRUE(waitUntil(hasTime, kCycleMs));
    EXPECT_EQ(GetNtpTime(), kDay2020) << "2020-01-01 00:00:00 UTC, fraction 0";
    ASSERT_TRUE(waitUntil([] { return hasTime() && GetNtpTime() != kDay2020; }, kCycleMs));
    EXPECT_DOUBLE_EQ(GetNtpTime(), kDay2020 + 0.5 / 86400.0) << "fraction with its top bit only";

    QByteArray expectedRequest(48, '\0');
    expectedRequest[0] = 0x23;
    ASSERT_GE(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[0], expectedRequest);
    EXPECT_EQ(server.requests()[1], expectedRequest);
    const qint64 apart = server.requestTimes()[1] - server.requestTimes()[0];
    EXPECT_NEAR(static_cast<double>(apart), 1600.0, 300.0) << "requests go out every 1.6 s";
}

// Replies the library must not take at the first reading step; the expected value is the
// first time it hands out, which it may only do at the second reading step.
struct SkippedReply {
    const char* id;
    const char* name;
    std::vector<SntpAnswer> toFirst;
    std::vector<SntpAnswer> toSecond;
    double expected;
};

void PrintTo(const SkippedReply& c, std::ostream* os) {
    *os << c.name;
}

class HorvexSkipped : public ::testing::TestWithParam<SkippedReply> {};

TEST_P(HorvexSkipped, IsNotTakenAtTheFirstReadingStep) {
    CloseAtEnd closer;
    const SkippedReply& c = GetParam();
    FakeSntpServer server([&c](int i, const QByteArray&) {
        return i == 0 ? c.toFirst : i == 1 ? c.toSecond : std::vector<SntpAnswer>{};
    });
    ASSERT_EQ(SetNtpServer("127.0.0.1", server.port()), 1);

    ASSERT_TRUE(waitUntil(hasTime, 2 * kCycleMs)) << c.name;
    EXPECT_EQ(server.requests().size(), 2u) << c.name << ": taken after the second request only";
    EXPECT_DOUBLE_EQ(GetNtpTime(), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HorvexSkipped,
    ::testing::Values(SkippedReply{"LeapIndicator3",
                                   "leap indicator 3 (0xE3)",
                                   {{sntpReply(ntpSeconds(k2020), 0, 0xE3), 0}},
                                   {{sntpReply(ntpSeconds(k2021), 0), 0}},
                                   kDay2021Noon},
                      SkippedReply{"LeapIndicator1",
                                   "leap indicator 1",
                                   {{sntpReply(ntpSeconds(k2020), 0, 0x64), 0}},
                                   {{sntpReply(ntpSeconds(k2021), 0), 0}},
                                   kDay2021Noon},
                      SkippedReply{"Short",
                                   "short reply of 47 bytes",
                                   {{sntpReply(ntpSeconds(k2020), 0).left(47), 0}},
                                   {{sntpReply(ntpSeconds(k2021), 0), 0}},
                                   kDay2021Noon},
                      SkippedReply{"Late",
                                   "late reply, read at the next attempt",
                                   {{sntpReply(ntpSeconds(k2020), 0), 1000}},
                                   {},
                                   kDay2020},
                      SkippedReply{"ZeroTransmit",
                                   "transmit time zero: the server has no time",
                                   {{sntpReply(0, 0), 0}},
                                   {{sntpReply(ntpSeconds(k2021), 0), 0}},
                                   kDay2021Noon}),
    [](const ::testing::TestParamInfo<SkippedReply>& info) { return std::string(info.param.id); });

TEST(Horvex, TimeIsClearedWhenTheNextReadingStepStarts) {
    CloseAtEnd closer;
    FakeSntpServer server([](int i, const QByteArray&) {
        return i == 0 ? std::vector<SntpAnswer>{{sntpReply(ntpSeconds(k2020)), 0}}
                      : std::vector<SntpAnswer>{};
    });
    ASSERT_EQ(SetNtpServer("127.0.0.1", server.port()), 1);
    ASSERT_TRUE(waitUntil(hasTime, kCycleMs));
    EXPECT_EQ(GetNtpTime(), kDay2020);

    ASSERT_TRUE(waitUntil([] { return !hasTime(); }, kCycleMs)) << "an unanswered request";
    const qint64 clearedAt = server.elapsedMs();
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_NEAR(static_cast<double>(clearedAt - server.requestTimes()[1]), 800.0, 250.0)
        << "cleared by the reading step that follows the second request";
    EXPECT_FALSE(waitUntil(hasTime, 600)) << "stays 0.0 until a reply is accepted";
}

TEST(Horvex, FailedSetupReturnsZeroAndLeavesNothingRunning) {
    CloseAtEnd closer;
    FakeSntpServer server(answerAlways(sntpReply(ntpSeconds(k2020))));
    const int baseline = openDescriptors();
    ASSERT_EQ(SetNtpServer("127.0.0.1", server.port()), 1);
    EXPECT_EQ(openDescriptors(), baseline + 1);
    ASSERT_TRUE(waitUntil(hasTime, kCycleMs));

    // A label over 63 characters: the resolver refuses it without asking any name server.
    std::string unresolvable(64, 'a');
    unresolvable += ".example";
    struct Case {
        const char* name;
        const char* host;
        int32_t port;
    };
    const Case cases[] = {
        {"unresolvable name", unresolvable.c_str(), 123},
        {"no host", nullptr, 123},
        {"empty host", "", 123},
        {"port 0", "127.0.0.1", 0},
        {"port above 65535", "127.0.0.1", 65536 + 123},
        {"negative port", "127.0.0.1", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SetNtpServer(c.host, c.port), 0) << c.name;
        EXPECT_EQ(GetNtpTime(), 0.0) << c.name;
        EXPECT_EQ(openDescriptors(), baseline) << c.name << ": no socket left open";
    }
    EXPECT_TRUE(quietFor(server, 1700)) << "the earlier exchange stopped, no timer runs";
    EXPECT_EQ(GetNtpTime(), 0.0);
}

TEST(Horvex, RepeatedCallsKeepOneSocketAndOneTimer) {
    CloseAtEnd closer;
    FakeSntpServer server(answerAlways(sntpReply(ntpSeconds(k2020))));
    const int baseline = openDescriptors();

    // A hundred calls, one every 30 ms: far more often than the terminal's tick.
    QElapsedTimer elapsed;
    elapsed.start();
    bool answered = false;
    for (int call = 0; call < 100; ++call) {
        ASSERT_EQ(SetNtpServer("127.0.0.1", server.port()), 1) << "call " << call;
        ASSERT_EQ(openDescriptors(), baseline + 1) << "call " << call;
        answered = answered || hasTime();
        QTest::qWait(30);
    }
    const qint64 spent = elapsed.elapsed();
    EXPECT_TRUE(answered) << "the running exchange reached its reading step";
    // One timer sends every 1.6 s; a second timer or a restart per call would not.
    const auto expected = static_cast<std::size_t>((spent - 800) / 1600 + 1);
    EXPECT_GE(server.requests().size() + 1, expected);
    EXPECT_LE(server.requests().size(), expected);

    // Another host text for the same server starts afresh, still on one socket (a name is
    // looked up in the background: the call gives 1 once it is known).
    ASSERT_TRUE(waitUntil([&] { return SetNtpServer("localhost", server.port()) == 1; }, 2000));
    EXPECT_EQ(GetNtpTime(), 0.0) << "a restart clears the last answer";
    EXPECT_EQ(openDescriptors(), baseline + 1);
}

TEST(Horvex, CloseStopsTheExchangeAndKeepsTheLastAnswer) {
    CloseAtEnd closer;
    FakeSntpServer server(answerAlways(sntpReply(ntpSeconds(k2021))));
    const int baseline = openDescriptors();
    ASSERT_EQ(SetNtpServer("127.0.0.1", server.port()), 1);
    ASSERT_TRUE(waitUntil(hasTime, kCycleMs));

    EXPECT_EQ(CloseNtpServer(), 1);
    EXPECT_EQ(openDescriptors(), baseline);
    EXPECT_EQ(GetNtpTime(), kDay2021Noon);
    EXPECT_TRUE(quietFor(server, 1700));
    EXPECT_EQ(GetNtpTime(), kDay2021Noon);
    EXPECT_EQ(CloseNtpServer(), 1) << "closing twice is harmless";

    // Closed, the same server is no longer "running": a new call starts a new exchange.
    ASSERT_EQ(SetNtpServer("127.0.0.1", server.port()), 1);
    EXPECT_EQ(GetNtpTime(), 0.0);
    EXPECT_EQ(openDescriptors(), baseline + 1);
}

TEST(Horvex, AServerThatWasDownAtFirstIsStillReached) {
    CloseAtEnd closer;
    const quint16 port = tq::test::unusedPort();
    ASSERT_EQ(SetNtpServer("127.0.0.1", port), 1);
    // The first request meets a closed port; the refusal comes back to the socket.
    QTest::qWait(1700);
    FakeSntpServer server(answerAlways(sntpReply(ntpSeconds(k2020))), port);
    ASSERT_TRUE(server.listening());
    ASSERT_TRUE(waitUntil(hasTime, kCycleMs));
    EXPECT_EQ(GetNtpTime(), kDay2020);
}

TEST(Horvex, TransmitSecondsWithTheTopBitClearBelongToTheNextEra) {
    CloseAtEnd closer;
    struct Answer {
        const char* name;
        quint32 seconds;
        quint32 fraction;
        QDateTime utc;
    };
    const Answer answers[] = {
        {"last second of the first era", 0xFFFFFFFFu, 0,
         QDateTime(QDate(2036, 2, 7), QTime(6, 28, 15), Qt::UTC)},
        {"first era, 1968", 0x80000000u, 0,
         QDateTime(QDate(1968, 1, 20), QTime(3, 14, 8), Qt::UTC)},
        {"start of the next era, half a second in", 0, 0x80000000u,
         QDateTime(QDate(2036, 2, 7), QTime(6, 28, 16, 500), Qt::UTC)},
        {"2040 in the next era", ntpSeconds(QDateTime(QDate(2040, 1, 1), QTime(0, 0), Qt::UTC)), 0,
         QDateTime(QDate(2040, 1, 1), QTime(0, 0), Qt::UTC)},
    };
    FakeSntpServer server([&answers](int i, const QByteArray&) {
        const Answer& a =
            answers[std::min<std::size_t>(static_cast<std::size_t>(i), std::size(answers) - 1)];
        return std::vector<SntpAnswer>{{sntpReply(a.seconds, a.fraction), 0}};
    });
    ASSERT_EQ(SetNtpServer("127.0.0.1", server.port()), 1);
    const QDate epoch(1899, 12, 30);
    for (const Answer& a : answers) {
        const double expected =
            epoch.daysTo(a.utc.date()) + a.utc.time().msecsSinceStartOfDay() / 86'400'000.0;
        EXPECT_TRUE(
            waitUntil([&] { return std::abs(GetNtpTime() - expected) < 1e-7; }, 3 * kCycleMs))
            << a.name << ": got " << GetNtpTime() << ", wanted " << expected;
    }
}

// Requests with no answer: 16 at the 1.6 s cadence, then the gap doubles (3.2 s, 6.4 s, ...
// up to 64 s); an accepted reply brings the 1.6 s cadence back. About 40 s of waiting.
TEST(Horvex, UnansweredRequestsBackOffUntilAReplyIsAccepted) {
    CloseAtEnd closer;
    constexpr int kAnsweredRequest = 17;  // the 18th request, sent 3.2 + 6.4 s after the 16th
    FakeSntpServer server([](int i, const QByteArray&) {
        return i == kAnsweredRequest ? std::vector<SntpAnswer>{{sntpReply(ntpSeconds(k2020)), 0}}
                                     : std::vector<SntpAnswer>{};
    });
    ASSERT_EQ(SetNtpServer("127.0.0.1", server.port()), 1);
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() >= 20; }, 45'000))
        << server.requests().size() << " requests";
    EXPECT_EQ(GetNtpTime(), 0.0) << "the reply to request 18 was read, then cleared again";
    const std::vector<qint64>& at = server.requestTimes();
    std::vector<double> expectedGaps(15, 1600.0);
    for (double gap : {3200.0, 6400.0, 1600.0, 1600.0}) {
        expectedGaps.push_back(gap);
    }
    for (std::size_t i = 0; i < expectedGaps.size(); ++i) {
        EXPECT_NEAR(static_cast<double>(at[i + 1] - at[i]), expectedGaps[i], 400.0)
            << "gap before request " << i + 2;
    }
}

// A lookup in a fresh process: only the first one may hold the caller, 2 s at most.
TEST(HorvexLookup, OnlyTheFirstLookupIsWaitedForAndNeverLongerThanTwoSeconds) {
    if (!tq::test::runsInChild({{QStringLiteral("fresh process"), {}}})) {
        return;
    }
    CloseAtEnd closer;
    // This name server gives up after 6 s, as a real one that never answers does.
    const char* host = "fail-after-6000.resolver.test";
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(SetNtpServer(host, 123), 0);
    EXPECT_GE(elapsed.elapsed(), 1900) << "the first lookup is waited for";
    EXPECT_LE(elapsed.elapsed(), 2600) << "for 2 s at most";
    EXPECT_EQ(tq582StalledLookups(), 1);

    // Meanwhile every call returns at once and the one lookup is left to finish.
    qint64 longest = 0;
    while (elapsed.elapsed() < 5500) {
        QElapsedTimer call;
        call.start();
        EXPECT_EQ(SetNtpServer(host, 123), 0);
        longest = std::max(longest, call.elapsed());
        QTest::qWait(100);
    }
    EXPECT_LT(longest, 50) << "no call waits for the lookup";
    EXPECT_EQ(tq582StalledLookups(), 1) << "no second lookup while one is running";

    // The lookup failed: the next call looks again, still without waiting.
    QTest::qWait(std::max(0, 6500 - static_cast<int>(elapsed.elapsed())));
    QElapsedTimer call;
    call.start();
    EXPECT_EQ(SetNtpServer(host, 123), 0);
    EXPECT_EQ(SetNtpServer(host, 123), 0);
    EXPECT_LT(call.elapsed(), 50);
    EXPECT_TRUE(waitUntil([] { return tq582StalledLookups() == 2; }, 1000))
        << "a second lookup began";
    EXPECT_EQ(GetNtpTime(), 0.0);
}

TEST(HorvexLookup, ANameFoundInTheBackgroundStartsTheExchangeAtTheNextCall) {
    if (!tq::test::runsInChild({{QStringLiteral("fresh process"), {}}})) {
        return;
    }
    CloseAtEnd closer;
    FakeSntpServer server(answerAlways(sntpReply(ntpSeconds(k2021))));
    const int baseline = openDescriptors();

    // The first lookup answers within its 2 s: the exchange starts at once.
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(SetNtpServer("after-300.resolver.test", server.port()), 1);
    EXPECT_GE(elapsed.elapsed(), 250);
    ASSERT_TRUE(waitUntil(hasTime, kCycleMs));
    EXPECT_EQ(GetNtpTime(), kDay2021Noon);

    // A later name is not waited for: 0 until it is known, then the exchange runs.
    elapsed.restart();
    EXPECT_EQ(SetNtpServer("after-1000.resolver.test", server.port()), 0);
    EXPECT_LT(elapsed.elapsed(), 50);
    EXPECT_EQ(GetNtpTime(), 0.0);
    EXPECT_EQ(openDescriptors(), baseline) << "no socket while the name is unknown";
    const std::size_t asked = server.requests().size();
    ASSERT_TRUE(waitUntil(
        [&] { return SetNtpServer("after-1000.resolver.test", server.port()) == 1; }, 3000));
    EXPECT_GE(elapsed.elapsed(), 950);
    EXPECT_EQ(openDescriptors(), baseline + 1);
    ASSERT_TRUE(waitUntil(hasTime, kCycleMs));
    EXPECT_GT(server.requests().size(), asked);
    EXPECT_EQ(tq582StalledLookups(), 2);
}
