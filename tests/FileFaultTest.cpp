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
// save, and the error it fails with; a write given no error takes nothing instead. Function
// pointers carry no state, so it lives here.
enum class Step { kCreate, kWrite, kFlush, kClose, kRename, kNone };

struct Injected {
    Step step = Step::kNone;
    int failingCall = 0;
    int error = 0;
    std::size_t shortWrite = 0;  // when not 0, every write takes at most this many bytes
    int calls[5] = {};
};
Injected injected;

bool FailsNow(Step step) {
    const int call = injected.calls[static_cast<int>(step)]++;
    if (injected.step != step || call != injected.failingCall) return false;
    errno = injected.error;
    return true;
}

// The system's call, unless it is the one that fails.
template <Step step, auto call, typename... Args>
int Injecting(Args... args) {
    return FailsNow(step) ? -1 : call(args...);
}
ssize_t Write(int fd, const void* data, size_t count) {
    if (FailsNow(Step::kWrite)) return injected.error == 0 ? 0 : -1;
    return ::write(fd, data, injected.shortWrite ? std::min(count, injected.shortWrite) : count);
}
// The descriptor is released even when close reports an error, as on Linux.
int Close(int fd) {
    const int result = ::close(fd);
    return FailsNow(Step::kClose) ? -1 : result;
}
constexpr FileCalls kInjecting{Injecting<Step::kCreate, ::mkstemp>, Write,
                               Injecting<Step::kFlush, ::fsync>, Close,
                               Injecting<Step::kRename, ::rename>};

class FileFault : public ::testing::Test {
protected:
    void SetUp() override { injected = {}; }

    // Saves the example track over target and expects a FileError naming target and reason.
    void ExpectFailedSave(const std::string& target, int reason) {
        TrackModel model = ExampleModel();
        try {
            ReplaceFile(target, SerializeTrack(model), kInjecting);
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(target + ": " + std::strerror(reason)), std::string::npos) << what;
        }
    }

    TempFolder dir_;
    const Bytes old_ = Bytes(900, 0x5C);
};

TEST_F(FileFault, EachFailingStepKeepsTheOldFileAndLeavesNothingBehind) {
    const Injected faults[] = {
        {Step::kCreate, 0, EMFILE}, {Step::kWrite, 0, ENOSPC}, {Step::kWrite, 3, EIO, 100},
        {Step::kWrite, 2, 0, 100},  {Step::kFlush, 0, EIO},    {Step::kClose, 0, EDQUOT},
        {Step::kRename, 0, EXDEV},
    };
    for (const Injected& fault : faults) {
        for (bool exists : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << "step " << static_cast<int>(fault.step) << " call " << fault.failingCall
                         << (exists ? ", over a file" : ""));
            injected = fault;
            if (exists) dir_.Write("hill.svtrack", old_);
            // A write that takes nothing, asked again, would be asked forever: a full disk.
            ExpectFailedSave(dir_ / "hill.svtrack", fault.error ? fault.error : ENOSPC);
            EXPECT_EQ(injected.calls[static_cast<int>(fault.step)], fault.failingCall + 1);
            EXPECT_EQ(dir_.Names(), exists ? std::vector<std::string>{"hill.svtrack"}
                                           : std::vector<std::string>{});
            EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), exists ? old_ : Bytes{});
            std::filesystem::remove(dir_ / "hill.svtrack");
        }
    }
}

TEST_F(FileFault, ShortAndInterruptedWritesStillWriteEveryByte) {
    injected = {Step::kWrite, 2, EINTR, 7};
    dir_.Write("hill.svtrack", old_);
    TrackModel model = RichModel();
    ReplaceFile(dir_ / "hill.svtrack", SerializeTrack(model), kInjecting);
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), SavedImage(RichModel()));
    EXPECT_GT(injected.calls[static_cast<int>(Step::kWrite)], 100);
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
}

TEST_F(FileFault, FoldersInTheWayNameThePathAndTheReason) {
    std::filesystem::create_directory(dir_ / "folder.svtrack");
    dir_.Write("file", Bytes{1});
    ExpectFailedSave(dir_ / "nowhere/hill.svtrack", ENOENT);
    ExpectFailedSave(dir_ / "folder.svtrack", EISDIR);
    ExpectFailedSave(dir_ / "file/hill.svtrack", ENOTDIR);
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"file", "folder.svtrack"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir_ / "folder.svtrack"));
}

}  // namespace
}  // namespace railgrace
