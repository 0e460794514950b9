// The terminal's clock check: the real Horvex library (loaded like the terminal loads it)
// against a time server on 127.0.0.1, with a fake computer clock.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <vector>

#include "../horvex/sntp_fake.h"
#include "../testsupport.h"
#include "common/datetime.h"
#include "timesync/clock.h"
#include "timesync/manual_time_query.h"
#include "timesync/ntp.h"

using tq::test::answerAlways;
using tq::test::FakeSntpServer;
using tq::test::neverAnswer;
using tq::test::ntpSeconds;
using tq::test::SntpAnswer;
using tq::test::sntpReply;
using tq::test::waitUntil;

inline void PrintTo(const QColor& c, std::ostream* os) {
    *os << c.name().toStdString();
}

namespace {

QDateTime wall(int y, int mo, int d, int h, int mi, int s) {
    return tq::wallClock(QDate(y, mo, d), QTime(h, mi, s));
}

/// The computer's clock as the tests see it: moves only when told; may refuse to be set.
class FakeClock final : public tq::Clock {
  public:
    explicit FakeClock(QDateTime start, bool refuses = false) : now_(start), refuses_(refuses) {}
    QDateTime now() const override { return now_; }
    bool setNow(const QDateTime& wall) override {
        setCalls.push_back(wall);
        if (refuses_) {
            return false;
        }
        now_ = wall;
        return true;
    }
    void advance(int seconds) { now_ = now_.addSecs(seconds); }

    std::vector<QDateTime> setCalls;

  private:
    QDateTime now_;
    bool refuses_;
};

/// Passes every call on to a real library and counts them.
class CountingLibrary final : public tq::NtpLibrary {
  public:
    explicit CountingLibrary(tq::NtpLibrary& inner) : inner_(inner) {}
    bool available() override { return inner_.available(); }
    bool setNtpServer(const QString& host, int port) override {
        ++setCalls;
        return inner_.setNtpServer(host, port);
    }
    double getNtpTime() override {
        ++getCalls;
        return inner_.getNtpTime();
    }
    void closeNtpServer() override {
        ++closeCalls;
        inner_.closeNtpServer();
    }
    int calls() const { return setCalls + getCalls; }

    int setCalls = 0;
    int getCalls = 0;
    int closeCalls = 0;

  private:
    tq::NtpLibrary& inner_;
};

/// A library that always answers the same day count.
class FixedLibrary final : public tq::NtpLibrary {
  public:
    explicit FixedLibrary(double value) : value_(value) {}
    bool available() override { return true; }
    bool setNtpServer(const QString&, int) override { return true; }
    double getNtpTime() override { return value_; }
    void closeNtpServer() override { ++closeCalls; }

    int closeCalls = 0;

  private:
    double value_;
};

/// True when the server receives no request for `ms` while the event loop runs.
bool serverQuietFor(const FakeSntpServer& server, int ms) {
    const std::size_t before = server.requests().size();
    QTest::qWait(ms);
    return server.requests().size() == before;
}

const QString kLocal = QStringLiteral("127.0.0.1");
const QDateTime kAnswerUtc(QDate(2024, 3, 31), QTime(15, 30), Qt::UTC);

/// Ticks the check as the terminal's timer would (faster), until TimerSwitch turns off.
bool tickUntilSynchronised(tq::ClockCheck& check, FakeClock& clock, int timeoutMs) {
    return waitUntil(
        [&] {
            check.currentTime();
            if (check.timerSwitchOn()) {
                clock.advance(1);
                return false;
            }
            return true;
        },
        timeoutMs);
}

}  // namespace

TEST(ClockCheck, NetworkTimeSetsTheClockOnceInJapanTime) {
    FakeSntpServer server(answerAlways(sntpReply(ntpSeconds(kAnswerUtc))));
    tq::HorvexLibrary horvex;  // from the program's folder, as the terminal loads it
    ASSERT_TRUE(horvex.available());
    CountingLibrary ntp(horvex);
    FakeClock clock(wall(2030, 1, 1, 10, 0, 0));
    tq::ClockCheck check(ntp, clock, kLocal, server.port());
    ASSERT_TRUE(ntp.setNtpServer(kLocal, server.port()));  // start-up's call
    check.setTimerSwitch(true);

    EXPECT_EQ(check.currentTime(), wall(2030, 1, 1, 10, 0, 0)) << "no answer yet: the clock";
    EXPECT_EQ(check.indicator(), tq::kUnsyncedColour);
    ASSERT_TRUE(tickUntilSynchronised(check, clock, 2500));

    const QDateTime expected = wall(2024, 4, 1, 0, 30, 0);
    ASSERT_EQ(clock.setCalls.size(), 1u);
    EXPECT_EQ(clock.setCalls[0], expected) << "UTC 15:30 is already the next day in Japan";
    EXPECT_EQ(check.indicator(), tq::kSyncedColour);
    EXPECT_GT(ntp.setCalls, 1) << "started again on each tick without an answer";

    const int callsBefore = ntp.calls();
    for (int tick = 1; tick <= 3; ++tick) {
        clock.advance(1);
        EXPECT_EQ(check.currentTime(), expected.addSecs(tick)) << "tick " << tick;
        QTest::qWait(300);
    }
    EXPECT_EQ(ntp.calls(), callsBefore) << "no further calls into the library";
    EXPECT_EQ(check.check(), expected.addSecs(3)) << "a direct check no longer synchronises";
    EXPECT_EQ(clock.setCalls.size(), 1u);
    EXPECT_EQ(ntp.closeCalls, 1) << "the exchange is closed once the time is taken";
    EXPECT_TRUE(serverQuietFor(server, 2000)) << "no request goes out after that";
    horvex.closeNtpServer();
}

TEST(ClockCheck, WithoutAnswerTheTimeFollowsTheClock) {
    FakeSntpServer server(neverAnswer());
    tq::HorvexLibrary horvex;
    CountingLibrary ntp(horvex);
    FakeClock clock(wall(2024, 12, 31, 23, 59, 58));
    tq::ClockCheck check(ntp, clock, kLocal, server.port());
    ASSERT_TRUE(horvex.setNtpServer(kLocal, server.port()));  // start-up's call
    check.setTimerSwitch(true);

    for (int tick = 0; tick < 8; ++tick) {
        EXPECT_EQ(check.currentTime(), clock.now()) << "tick " << tick;
        EXPECT_EQ(check.indicator(), tq::kUnsyncedColour) << "tick " << tick;
        EXPECT_TRUE(check.timerSwitchOn()) << "tick " << tick;
        EXPECT_EQ(ntp.setCalls, tick + 1) << "one retry per tick";
        clock.advance(1);
        QTest::qWait(250);
    }
    EXPECT_TRUE(clock.setCalls.empty());
    EXPECT_GE(server.requests().size(), 1u) << "the library kept asking";
    horvex.closeNtpServer();
}

TEST(ClockCheck, RefusedClockChangeKeepsNetworkTimeAsAnOffset) {
    FakeSntpServer server(answerAlways(sntpReply(ntpSeconds(kAnswerUtc))));
    tq::HorvexLibrary horvex;
    FakeClock clock(wall(2030, 1, 1, 10, 0, 0), /*refuses=*/true);
    CountingLibrary ntp(horvex);
    tq::ClockCheck check(ntp, clock, kLocal, server.port());
    ASSERT_TRUE(horvex.setNtpServer(kLocal, server.port()));
    check.setTimerSwitch(true);

    testing::internal::CaptureStderr();
    ASSERT_TRUE(tickUntilSynchronised(check, clock, 2500));
    const QDateTime clockAtSync = clock.now();
    for (int tick = 1; tick <= 5; ++tick) {
        clock.advance(1);
        EXPECT_EQ(check.currentTime(), wall(2024, 4, 1, 0, 30, tick)) << "tick " << tick;
    }
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(clock.setCalls.size(), 1u);
    EXPECT_EQ(clock.now(), clockAtSync.addSecs(5)) << "the clock itself was never changed";
    EXPECT_EQ(check.indicator(), tq::kSyncedColour);
    EXPECT_FALSE(check.timerSwitchOn());
    const std::string needle = "could not be set";
    const auto first = err.find(needle);
    EXPECT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find(needle, first + 1), std::string::npos) << "reported once: " << err;
    EXPECT_EQ(ntp.closeCalls, 1) << "the offset is kept: the exchange is closed";
    EXPECT_TRUE(serverQuietFor(server, 2000));
    horvex.closeNtpServer();
}

TEST(ClockCheck, NeverLetsQueuedEventsRun) {
    for (const double networkTime : {0.0, 43831.0}) {
        FixedLibrary ntp(networkTime);
        FakeClock clock(wall(2024, 5, 1, 8, 0, 0));
        tq::ClockCheck check(ntp, clock, kLocal);
        check.setTimerSwitch(true);
        bool ran = false;
        QMetaObject::invokeMethod(
            qApp, [&ran] { ran = true; }, Qt::QueuedConnection);
        check.currentTime();
        EXPECT_FALSE(ran) << "network time " << networkTime
                          << ": a queued click must wait for the handler that checks the clock";
        QCoreApplication::processEvents();
        EXPECT_TRUE(ran);
        EXPECT_EQ(ntp.closeCalls, networkTime != 0.0 ? 1 : 0);
    }
}

TEST(ClockCheck, NetworkTimeIsRoundedToTheSecondAndShiftedByNineHours) {
    struct Case {
        const char* name;
        QDateTime utc;
        int extraMs;
        QDateTime expected;
    };
    const Case cases[] = {
        {"2020-01-01 00:00 UTC", wall(2020, 1, 1, 0, 0, 0), 0, wall(2020, 1, 1, 9, 0, 0)},
        {"15:00 UTC is midnight", wall(2024, 2, 28, 15, 0, 0), 0, wall(2024, 2, 29, 0, 0, 0)},
        {"year end", wall(2024, 12, 31, 14, 59, 59), 400, wall(2024, 12, 31, 23, 59, 59)},
        {"half a second rounds up", wall(2024, 12, 31, 14, 59, 59), 500, wall(2025, 1, 1, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        FixedLibrary ntp(tq::toDayCount(c.utc.addMSecs(c.extraMs)));
        FakeClock clock(wall(2000, 1, 1, 0, 0, 0));
        tq::ClockCheck check(ntp, clock, kLocal);
        check.setTimerSwitch(true);
        EXPECT_EQ(check.currentTime(), c.expected) << c.name;
        ASSERT_EQ(clock.setCalls.size(), 1u) << c.name;
        EXPECT_EQ(clock.setCalls[0], c.expected) << c.name;
    }
}

TEST(HorvexLibrary, NotLoadableMeansNoNetworkTimeAndNoRetry) {
    tq::HorvexLibrary missing(QCoreApplication::applicationDirPath() +
                              QStringLiteral("/no-such-dir/libHorvex.so"));
    EXPECT_FALSE(missing.available());
    EXPECT_FALSE(missing.setNtpServer(kLocal, 123));
    EXPECT_EQ(missing.getNtpTime(), 0.0);
    missing.closeNtpServer();

    CountingLibrary ntp(missing);
    FakeClock clock(wall(2024, 5, 1, 8, 0, 0));
    tq::ClockCheck check(ntp, clock, kLocal);
    check.setTimerSwitch(true);
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_EQ(check.currentTime(), clock.now()) << "tick " << tick;
        clock.advance(1);
    }
    EXPECT_EQ(check.indicator(), tq::kUnsyncedColour);
    EXPECT_EQ(ntp.setCalls, 0) << "no retry when the library is missing";
    EXPECT_TRUE(clock.setCalls.empty());
}

TEST(SystemClock, ReadsTheWallClockInWholeSeconds) {
    tq::SystemClock clock;
    const QDateTime before = tq::japanTime(QDateTime::currentDateTimeUtc());
    const QDateTime now = clock.now();
    EXPECT_EQ(now.time().msec(), 0);
    EXPECT_EQ(now.timeSpec(), Qt::UTC) << "a wall-clock value";
    EXPECT_LE(std::abs(before.secsTo(now)), 1);
}

TEST(ManualTimeQuery, TransmitSecondsBecomeADateTime) {
    struct Case {
        const char* name;
        QByteArray reply;
        QDateTime expected;  // invalid: nothing to show
    };
    QByteArray zero = sntpReply(0);
    const Case cases[] = {
        {"afternoon UTC", sntpReply(ntpSeconds(kAnswerUtc)), wall(2024, 3, 31, 15, 30, 0)},
        {"last second of a leap day", sntpReply(ntpSeconds(wall(2024, 2, 29, 23, 59, 59))),
         wall(2024, 2, 29, 23, 59, 59)},
        {"transmit time zero: no time to show", zero, QDateTime()},
        {"end of the first era", sntpReply(0xFFFFFFFFu), wall(2036, 2, 7, 6, 28, 15)},
        {"top bit set: still the first era", sntpReply(0x80000000u), wall(1968, 1, 20, 3, 14, 8)},
        {"top bit clear: the era from 2036", sntpReply(1), wall(2036, 2, 7, 6, 28, 17)},
        {"seconds 0 with a fraction: the first second of the era from 2036",
         sntpReply(0, 0x80000000u), wall(2036, 2, 7, 6, 28, 16)},
        {"44 bytes are enough", sntpReply(ntpSeconds(kAnswerUtc)).left(44),
         wall(2024, 3, 31, 15, 30, 0)},
        {"43 bytes are too few", sntpReply(ntpSeconds(kAnswerUtc)).left(43), QDateTime()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tq::ManualTimeQuery::transmitTime(c.reply), c.expected) << c.name;
    }
}

TEST(ManualTimeQuery, ShowsTheServerTimeInUtcAndJapanTime) {
    FakeSntpServer server([](int i, const QByteArray&) {
        // A fragment first: the query waits for a reply that holds a transmit time.
        return i == 0 ? std::vector<SntpAnswer>{{QByteArrayLiteral("short"), 0},
                                                {sntpReply(ntpSeconds(kAnswerUtc)), 50}}
                      : std::vector<SntpAnswer>{};
    });
    tq::ManualTimeQuery query(kLocal, server.port());
    EXPECT_EQ(query.socket()->objectName(), QStringLiteral("wscSmtpSock"));
    QSignalSpy shown(&query, &tq::ManualTimeQuery::timeShown);

    query.start();
    ASSERT_TRUE(shown.wait(2000));
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(shown[0][0].toString(), QStringLiteral("2024/03/31 15:30:00"));
    EXPECT_EQ(shown[0][1].toString(), QStringLiteral("2024/04/01 00:30:00"));
    ASSERT_EQ(server.requests().size(), 1u);
    QByteArray expectedRequest(48, '\0');
    expectedRequest[0] = 11;
    EXPECT_EQ(server.requests()[0], expectedRequest);
    EXPECT_EQ(query.socket()->state(), QAbstractSocket::UnconnectedState) << "closed after";

    // A second click asks again on a fresh socket.
    query.start();
    EXPECT_TRUE(waitUntil([&] { return server.requests().size() == 2; }, 2000));
}
