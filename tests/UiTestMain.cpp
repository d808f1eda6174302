// The window tests run inside one QApplication, headless unless a platform is named. Each test
// runs under an alarm that ends the run when it outlives QTEST_FUNCTION_TIMEOUT milliseconds, so
// that a dialog nobody answers can never hold up a build.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <csignal>
#include <cstdlib>

namespace {

struct Watchdog : testing::EmptyTestEventListener {
    explicit Watchdog(unsigned limit) : seconds(limit) {}
    void OnTestStart(const testing::TestInfo&) override { alarm(seconds); }
    void OnTestEnd(const testing::TestInfo&) override { alarm(0); }
    unsigned seconds;
};

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const char* limit = std::getenv("QTEST_FUNCTION_TIMEOUT");
    const long long ms = limit != nullptr ? std::atoll(limit) : 0;
    std::signal(SIGALRM, [](int) {
        static const char kSay[] = "a test outlived QTEST_FUNCTION_TIMEOUT; stopping the run\n";
        if (write(STDERR_FILENO, kSay, sizeof kSay - 1) < 0) _exit(2);
        _exit(1);
    });
    testing::UnitTest::GetInstance()->listeners().Append(
        new Watchdog(ms > 0 ? static_cast<unsigned>((ms + 999) / 1000) : 60u));
    return RUN_ALL_TESTS();
}
