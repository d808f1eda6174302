// Runs railgrace-cli as a separate program, the way a user or a script does, in a temporary
// folder of each test's own.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace railgrace::test {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("railgrace-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Runs a shell command; its standard error is caught in a file of the test's folder.
    Outcome Shell(const std::string& command) {
        const std::filesystem::path err = dir / "stderr.txt";
        Outcome outcome;
        FILE* pipe = ::popen((command + " 2>" + err.string()).c_str(), "r");
        char chunk[4096];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) outcome.out.append(chunk, got);
        const int status = ::pclose(pipe);
        outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        outcome.err = Slurp(err);
        return outcome;
    }

    Outcome Run(const std::string& args) { return Shell(std::string(RAILGRACE_CLI) + " " + args); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }

    std::filesystem::path dir;
};

}  // namespace railgrace::test
