// A disk that fails at any step of a save: the file being replaced stays byte for byte as it
// was, no temporary file is left behind, and the error names the path and the system's reason.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "track/Errors.h"
#include "track/FileCalls.h"
#include "track/FileIo.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;

// The fault the calls below inject: the call of one step that fails, counted from 0 within the
// save, and the error it fails with. Function pointers carry no state, so it lives here.
enum class Step { kCreate, kWrite, kFlush, kClose, kRename };

struct Injected {
    Step step = Step::kCreate;
    int failingCall = 0;
    int error = 0;
    std::size_t shortWrite = 0;  // when not 0, every write takes at most this many bytes
    int calls[5] = {};
};
Injected injected;

bool FailsNow(Step step, int error) {
    const int call = injected.calls[static_cast<int>(step)]++;
    if (injected.error == 0 || injected.step != step || call != injected.failingCall) return false;
    errno = error;
    return true;
}

int Create(char* pattern) {
    return FailsNow(Step::kCreate, injected.error) ? -1 : ::mkstemp(pattern);
}
ssize_t Write(int fd, const void* data, size_t count) {
    if (FailsNow(Step::kWrite, injected.error)) return -1;
    if (injected.shortWrite != 0) count = std::min(count, injected.shortWrite);
    return ::write(fd, data, count);
}
int Flush(int fd) {
    return FailsNow(Step::kFlush, injected.error) ? -1 : ::fsync(fd);
}
// The descriptor is released even when close reports an error, as on Linux.
int Close(int fd) {
    const int result = ::close(fd);
    return FailsNow(Step::kClose, injected.error) ? -1 : result;
}
int Rename(const char* from, const char* to) {
    return FailsNow(Step::kRename, injected.error) ? -1 : ::rename(from, to);
}

constexpr FileCalls kInjecting{Create, Write, Flush, Close, Rename};

class FileFault : public ::testing::Test {
protected:
    void SetUp() override { injected = {}; }

    // Saves the example track over target through the injecting calls and expects a FileError
    // that names target and the reason of error.
    void ExpectFailedSave(const std::string& target, int error) {
        TrackModel model = ExampleModel();
        try {
            ReplaceFile(target, SerializeTrack(model), kInjecting);
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(target), std::string::npos) << what;
            EXPECT_NE(what.find(std::strerror(error)), std::string::npos) << what;
        }
    }

    TempFolder dir_;
};

struct StepFault {
    Step step;
    int failingCall;
    int error;
    std::size_t shortWrite;
};

const StepFault kStepFaults[] = {
    {Step::kCreate, 0, EMFILE, 0}, {Step::kWrite, 0, ENOSPC, 0}, {Step::kWrite, 3, EIO, 100},
    {Step::kFlush, 0, EIO, 0},     {Step::kClose, 0, EDQUOT, 0}, {Step::kRename, 0, EXDEV, 0},
};

TEST_F(FileFault, EachFailingStepKeepsTheOldFileAndLeavesNothingBehind) {
    const Bytes old(900, 0x5C);
    for (const StepFault& f : kStepFaults) {
        for (bool exists : {true, false}) {
            SCOPED_TRACE(testing::Message() << "step " << static_cast<int>(f.step) << " call "
                                            << f.failingCall << (exists ? ", over a file" : ""));
            injected = {f.step, f.failingCall, f.error, f.shortWrite, {}};
            if (exists) dir_.Write("hill.svtrack", old);
            ExpectFailedSave(dir_ / "hill.svtrack", f.error);
            EXPECT_EQ(dir_.Names(), exists ? std::vector<std::string>{"hill.svtrack"}
                                           : std::vector<std::string>{});
            if (exists) {
                EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), old);
            }
            std::filesystem::remove(dir_ / "hill.svtrack");
        }
    }
}

TEST_F(FileFault, ShortAndInterruptedWritesStillWriteEveryByte) {
    injected.shortWrite = 7;
    injected.step = Step::kWrite;
    injected.failingCall = 2;
    injected.error = EINTR;
    dir_.Write("hill.svtrack", Bytes(900, 0x5C));
    TrackModel model = RichModel();
    ReplaceFile(dir_ / "hill.svtrack", SerializeTrack(model), kInjecting);
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), SavedImage(RichModel()));
    EXPECT_GT(injected.calls[static_cast<int>(Step::kWrite)], 100);
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
}

// A write that reports no bytes written used to be asked again and again; here it would give up
// with an I/O error after a thousand calls.
int takesNothingCalls = 0;
ssize_t TakesNothing(int, const void*, size_t) {
    if (++takesNothingCalls < 1000) return 0;
    errno = EIO;
    return -1;
}

TEST_F(FileFault, WriteThatTakesNothingIsAFullDisk) {
    const Bytes old(900, 0x5C);
    dir_.Write("hill.svtrack", old);
    try {
        ReplaceFile(dir_ / "hill.svtrack", Bytes(10, 1),
                    FileCalls{::mkstemp, TakesNothing, ::fsync, ::close, ::rename});
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(std::strerror(ENOSPC)), std::string::npos) << e.what();
    }
    EXPECT_EQ(takesNothingCalls, 1);
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), old);
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
}

TEST_F(FileFault, SavingOverTheFileThatWasLoaded) {
    const Mess mess{0xA5, 0x01, 0x7F, 999, 0x5A, true};
    const std::string path = dir_.Write("hill.svtrack", Image(FileTree(RichModel(), mess), mess));
    TrackModel model;
    ASSERT_TRUE(LoadTrack(model, path));
    EXPECT_EQ(SaveTrack(model, path), path);
    EXPECT_EQ(ReadFile(path), SavedImage(RichModel()));
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
    TrackModel again;
    ASSERT_TRUE(LoadTrack(again, path));
    EXPECT_EQ(again, model);
}

TEST_F(FileFault, FoldersInTheWayNameThePathAndTheReason) {
    std::filesystem::create_directory(dir_ / "folder.svtrack");
    dir_.Write("file", Bytes{1});
    const std::pair<std::string, int> targets[] = {{dir_ / "nowhere/hill.svtrack", ENOENT},
                                                   {dir_ / "folder.svtrack", EISDIR},
                                                   {dir_ / "file/hill.svtrack", ENOTDIR}};
    for (const auto& [target, error] : targets) ExpectFailedSave(target, error);
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"file", "folder.svtrack"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir_ / "folder.svtrack"));
}

}  // namespace
}  // namespace railgrace
