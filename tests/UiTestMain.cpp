// The window tests run inside one QApplication, headless unless a platform is named, each
// under a watchdog that ends the run when a test outlives QTEST_FUNCTION_TIMEOUT milliseconds,
// so that a dialog nobody answers can never hold up a build.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class Watchdog : public testing::EmptyTestEventListener {
public:
    explicit Watchdog(std::chrono::milliseconds limit)
        : timeLimit(limit), thread([this] { Watch(); }) {}

    ~Watchdog() override {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }

    void OnTestStart(const testing::TestInfo& test) override {
        std::lock_guard lock(mutex);
        name = std::string(test.test_suite_name()) + "." + test.name();
        deadline = Clock::now() + timeLimit;
        wake.notify_all();
    }

    void OnTestEnd(const testing::TestInfo&) override {
        std::lock_guard lock(mutex);
        deadline.reset();
    }

private:
    void Watch() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            if (!deadline) {
                wake.wait(lock);
            } else if (wake.wait_until(lock, *deadline) == std::cv_status::timeout && deadline &&
                       Clock::now() >= *deadline) {
                std::fprintf(stderr, "%s did not finish within %lld ms; stopping the run.\n",
                             name.c_str(), static_cast<long long>(timeLimit.count()));
                std::fflush(stderr);
                std::_Exit(1);
            }
        }
    }

    std::chrono::milliseconds timeLimit;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Clock::time_point> deadline;
    std::string name;
    bool stopping = false;
    std::thread thread;
};

std::chrono::milliseconds TestTimeLimit() {
    const char* text = std::getenv("QTEST_FUNCTION_TIMEOUT");
    const long long ms = text != nullptr ? std::atoll(text) : 0;
    return std::chrono::milliseconds(ms > 0 ? ms : 60000);
}

// Qt warns about a missing or open runtime folder; a private one keeps the output quiet.
void EnsureRuntimeDir() {
    if (std::getenv("XDG_RUNTIME_DIR") != nullptr) return;
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("railgrace-ui-test-" + std::to_string(getuid()));
    std::error_code error;
    fs::create_directories(dir, error);
    fs::permissions(dir, fs::perms::owner_all, error);
    if (!error) setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EnsureRuntimeDir();
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new Watchdog(TestTimeLimit()));
    return RUN_ALL_TESTS();
}
