// The one test main: creates the QApplication (offscreen unless a platform is set) and pins
// the locale, so that no test depends on the machine it runs on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

namespace {

// The server-engine run ("pg.…", TQ582_TEST_ENGINE=pg) of a program without a test server:
// every test reports itself skipped with the reason before its fixture is set up.
class NoTestServer : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        GTEST_SKIP() << "no PostgreSQL test server: TQ582_TEST_PG_URI is not set "
                        "(scripts/test.sh starts one with scripts/pg-test-server.sh)";
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariable("TQ582_TEST_ENGINE") == u"pg" &&
        qEnvironmentVariable("TQ582_TEST_PG_URI").trimmed().isEmpty()) {
        ::testing::UnitTest::GetInstance()->listeners().Append(new NoTestServer);
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
