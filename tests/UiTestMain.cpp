// The window tests run inside one QApplication, headless unless a platform is named. Each test
// runs under an alarm that ends the run when it outlives QTEST_FUNCTION_TIMEOUT milliseconds, so
// that a dialog nobody answers can never hold up a build.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>

namespace {

// Nothing handles SIGALRM, so the alarm ends the process ("Alarm clock"): a failed run.
struct Watchdog : testing::EmptyTestEventListener {
    unsigned seconds = 60;
    void OnTestStart(const testing::TestInfo&) override { alarm(seconds); }
    void OnTestEnd(const testing::TestInfo&) override { alarm(0); }
};

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    auto* watchdog = new Watchdog;
    const char* limit = std::getenv("QTEST_FUNCTION_TIMEOUT");
    if (limit != nullptr && std::atoi(limit) > 0)
        watchdog->seconds = static_cast<unsigned>(std::atoi(limit) + 999) / 1000;
    testing::UnitTest::GetInstance()->listeners().Append(watchdog);
    return RUN_ALL_TESTS();
}
