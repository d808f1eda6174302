// Runs railgrace-cli as a separate program, the way a user or a script does, in a temporary
// folder of each test's own, which is also the current folder.
#pragma once

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TrackFiles.h"

namespace railgrace::test {

struct Outcome {
    int code = -1;
    std::string out, err;
};

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a shell command whose standard error goes to the file err. On Windows the command goes to
// cmd.exe in UTF-16, so that names in any language survive.
inline Outcome RunShell(const std::string& command, const std::filesystem::path& err) {
    Outcome outcome;
#ifdef _WIN32
    const std::wstring line = Utf8Path(command).wstring() + L" 2>" + err.wstring();
    FILE* pipe = ::_wpopen(line.c_str(), L"rb");
#else
    FILE* pipe = ::popen((command + " 2>" + err.string()).c_str(), "r");
#endif
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) outcome.out.append(chunk, got);
#ifdef _WIN32
    outcome.code = ::_pclose(pipe);
#else
    const int status = ::pclose(pipe);
    outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    outcome.err = Slurp(err);
    return outcome;
}

class CliFixture : public ::testing::Test {
protected:
    // Its standard error is caught in a file of the test's folder.
    Outcome Shell(const std::string& command) { return RunShell(command, dir / "stderr.txt"); }

    Outcome Run(const std::string& args) {
        return Shell(Utf8String(Utf8Path(RAILGRACE_CLI).make_preferred()) + " " + args);
    }

    std::string Path(const std::string& name) const { return folder / name; }

    void SetUp() override { std::filesystem::current_path(dir); }
    void TearDown() override { std::filesystem::current_path(home); }

    // Three vertices on a level line; vertex 1's second control point lies on its position, so
    // marking and smoothing stop there.
    std::string KinkedTrack() {
        TrackModel model;
        for (float x : {0.0f, 10.0f, 20.0f})
            model.bezrRecords.push_back({x, 5, 0, x - 3, 5, 0, x + 3, 5, 0});
        model.bezrRecords[1].cp2X = 10;
        return SaveTrack(model, Path("kink.svtrack"));
    }

    const TempFolder folder;
    const std::filesystem::path dir = folder.path();
    const std::filesystem::path home = std::filesystem::current_path();
};

}  // namespace railgrace::test
