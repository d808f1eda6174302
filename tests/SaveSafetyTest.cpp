// Saves that meet a failing disk at any step, a signal, a link, a protected file or a long name,
// and loads of files that cannot be reached or are too short for a tag: a save replaces the old
// file whole or not at all, leaves nothing behind, and every refusal names the file and the
// system's reason.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "TrackFiles.h"
#include "track/Errors.h"
#include "track/FileCalls.h"
#include "track/FileIo.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;
namespace fs = std::filesystem;

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
    EXPECT_EQ(ReadFile(dir_ / "hill.svtrack"), Golden("rich.svtrack"));
    EXPECT_GT(injected.calls[static_cast<int>(Step::kWrite)], 100);
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
}

TEST_F(FileFault, SavingOverTheFileThatWasLoaded) {
    const std::string path = dir_.Write("hill.svtrack", Golden("rich-messy-2.svtrack"));
    TrackModel model;
    ASSERT_TRUE(LoadTrack(model, path));
    EXPECT_EQ(SaveTrack(model, path), path);
    EXPECT_EQ(ReadFile(path), Golden("rich.svtrack"));
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
}

class FileEdges : public ::testing::Test {
protected:
    // Saves the example track to path; returns the error's message, or "" when it saved.
    static std::string Save(const std::string& path) {
        try {
            TrackModel model = ExampleModel();
            SaveTrack(model, path);
            return "";
        } catch (const FileError& e) {
            return e.what();
        }
    }
    // "loaded", "refused", or the error's kind and message; a failed load must leave the model as
    // it was.
    static std::string Load(const std::string& path) {
        TrackModel model = ExampleModel();
        std::string outcome;
        try {
            outcome = LoadTrack(model, path) ? "loaded" : "refused";
        } catch (const FormatError& e) {
            outcome = std::string("FormatError: ") + e.what();
        } catch (const FileError& e) {
            outcome = std::string("FileError: ") + e.what();
        }
        const bool kept = outcome == "loaded" || model == ExampleModel();
        return kept ? outcome : outcome + " (the model changed)";
    }

    TempFolder dir_;
    const Bytes old_ = Bytes(900, 0x5C);
    const Bytes new_ = Golden("example.svtrack");
};

// A child process saves over the old file and meets the signal half way through; the handler
// runs as it would for a Ctrl-C or a kill. A signal ignored from the start (nohup) stays so.
TEST_F(FileEdges, EndingSignalsRemoveTheTemporaryFileAndEndTheProgramAsUsual) {
    const std::pair<int, bool> cases[] = {
        {SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGQUIT, false}, {SIGHUP, true}};
    for (const auto& [number, ignored] : cases) {
        SCOPED_TRACE(testing::Message() << strsignal(number) << (ignored ? ", ignored" : ""));
        const TempFolder folder;
        const std::string target = folder.Write("hill.svtrack", old_);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit noCoreFile{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCoreFile);
            if (ignored) ::signal(number, SIG_IGN);
            RemoveTemporaryFilesOnSignals();
            try {
                FileReplacement file(target);
                file.Write(std::span(new_).first(500));
                if (folder.Names().size() != 2) ::_exit(10);  // no temporary file to remove
                ::raise(number);
                file.Write(std::span(new_).subspan(500));
                file.Commit();
            } catch (...) {
                ::_exit(11);
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (ignored) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number) << status;
        }
        EXPECT_EQ(ReadFile(target), ignored ? new_ : old_);
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"hill.svtrack"});
    }
}

// Saved through a link, the file at the end of its links gets the bytes and the link stays. A
// dangling link gets its file created, as cp does: the link says where the file belongs.
TEST_F(FileEdges, ALinkStaysALinkAndTheFileItLeadsToIsReplaced) {
    fs::create_directory(dir_ / "real");
    fs::create_directory(dir_ / "links");
    fs::create_symlink("../real/hill.svtrack", dir_ / "links/chain.svtrack");
    // What the link says, and the file it leads to.
    const std::pair<std::string, std::string> cases[] = {
        {"../real/hill.svtrack", "real/hill.svtrack"},
        {dir_ / "real/hill.svtrack", "real/hill.svtrack"},
        {"chain.svtrack", "real/hill.svtrack"},
        {"../real/new.svtrack", "real/new.svtrack"},
    };
    for (const auto& [says, file] : cases) {
        SCOPED_TRACE(says);
        dir_.Write("real/hill.svtrack", old_);
        fs::remove(dir_ / "real/new.svtrack");
        const std::string link = dir_ / "links/hill.svtrack";
        fs::create_symlink(says, link);
        EXPECT_EQ(Save(link), "");
        EXPECT_EQ(fs::read_symlink(link), says);
        EXPECT_EQ(ReadFile(dir_ / file), new_);
        // Nothing left beside the file.
        const auto real = std::distance(fs::directory_iterator(dir_ / "real"), {});
        EXPECT_EQ(real, file == "real/new.svtrack" ? 2 : 1);
        fs::remove(link);
    }
}

// A file its owner has protected, a file that is no regular one and a loop of links are refused
// before anything is written, whoever runs the program (root too: the mode bits decide).
TEST_F(FileEdges, TargetsThatCannotBeReplacedAreLeftAsTheyWere) {
    dir_.Write("protected.svtrack", old_);
    fs::permissions(dir_ / "protected.svtrack", fs::perms(0444));
    dir_.Write("readonly.svtrack", old_);
    fs::permissions(dir_ / "readonly.svtrack", fs::perms(0577));
    fs::create_symlink("protected.svtrack", dir_ / "link.svtrack");
    ASSERT_EQ(::mkfifo((dir_ / "pipe.svtrack").c_str(), 0666), 0);
    fs::create_symlink("loop.svtrack", dir_ / "loop.svtrack");
    const std::vector<std::string> names = dir_.Names();
    const std::pair<std::string, std::string> cases[] = {
        {"protected.svtrack", "the file is write-protected."},
        {"readonly.svtrack", "the file is write-protected."},
        {"link.svtrack", "the file is write-protected."},
        {"pipe.svtrack", "it is not a regular file."},
        {"loop.svtrack", std::string(std::strerror(ELOOP)) + "."},
    };
    for (const auto& [name, reason] : cases) {
        EXPECT_EQ(Save(dir_ / name), "Cannot save " + dir_ / name + ": " + reason);
    }
    EXPECT_EQ(dir_.Names(), names);
    EXPECT_EQ(ReadFile(dir_ / "protected.svtrack"), old_);
    EXPECT_EQ(ReadFile(dir_ / "readonly.svtrack"), old_);
    EXPECT_EQ(fs::status(dir_ / "protected.svtrack").permissions(), fs::perms(0444));
}

// The temporary name is short and fixed, so a name of the longest length can be saved onto
// itself, and files left by a save that was killed are neither reused nor touched.
TEST_F(FileEdges, AReplacementKeepsModeAndOwnerAndAnyNameCanBeSaved) {
    const std::string longest = std::string(255 - 8, 'n') + ".svtrack";
    const Bytes stale(10, 0x33);
    const std::string stales[] = {".railgrace-XXXXXX", ".railgrace-a1B2c3", ".hill.svtrack.Ab3dEf"};
    for (const std::string& name : stales) dir_.Write(name, stale);
    // The old file's mode, and whether it belongs to someone else.
    const std::pair<mode_t, bool> cases[] = {{0600, false}, {0666, false}, {0751, true}};
    for (const auto& [mode, foreign] : cases) {
        SCOPED_TRACE(mode);
        const std::string path = dir_.Write(longest, old_);
        fs::permissions(path, fs::perms(mode));
        // Only root may give a file away; for anyone else the owner stays and the save works.
        const bool root = ::geteuid() == 0;
        const uid_t owner = foreign && root ? 4321 : ::geteuid();
        const gid_t group = foreign && root ? 8765 : ::getegid();
        ASSERT_EQ(::chown(path.c_str(), owner, group), 0);
        EXPECT_EQ(Save(path), "");
        EXPECT_EQ(ReadFile(path), new_);
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
        EXPECT_EQ(info.st_uid, owner);
        EXPECT_EQ(info.st_gid, group);
        EXPECT_EQ(dir_.Names().size(), 4u);
    }
    for (const std::string& name : stales) EXPECT_EQ(ReadFile(dir_ / name), stale) << name;
}

// Only a name that leads nowhere is no file, and only a file too short for a tag is damaged at
// its start; 3 bytes and the zero behind them make a whole tag that is not "SKYV". A named pipe
// is refused instead of waiting for a writer forever.
TEST_F(FileEdges, LoadingShortAndUnreachableFiles) {
    dir_.Write("plain", Bytes{});
    fs::create_symlink("loop.svtrack", dir_ / "loop.svtrack");
    fs::create_symlink("missing.svtrack", dir_ / "dangling.svtrack");
    ASSERT_EQ(::mkfifo((dir_ / "pipe.svtrack").c_str(), 0600), 0);  // read, it would wait forever
    // A folder without search permission, which only root may search all the same.
    fs::create_directory(dir_ / "shut");
    dir_.Write("shut/hill.svtrack", new_);
    fs::permissions(dir_ / "shut", fs::perms(0600));
    const std::string shut = dir_ / "shut/hill.svtrack";
    const std::string tagless = ": the file ends inside its first tag (it holds ";
    // The file's bytes (none: made above or missing), and what loading it gives.
    const std::tuple<std::string, std::optional<Bytes>, std::string> cases[] = {
        {"empty.svtrack", Bytes{}, "FormatError: empty.svtrack" + tagless + "0 bytes)."},
        {"one.svtrack", Bytes{'S'}, "FormatError: one.svtrack" + tagless + "1 byte)."},
        {"two.svtrack", Bytes{'S', 'K'}, "FormatError: two.svtrack" + tagless + "2 bytes)."},
        {"three.svtrack", Bytes{'S', 'K', 'Y'}, "refused"},
        {"four.svtrack", Bytes{'S', 'K', 'Y', 'X', 0}, "refused"},
        {"missing.svtrack", std::nullopt, "refused"},
        {"dangling.svtrack", std::nullopt, "refused"},
        {"plain/hill.svtrack", std::nullopt, "refused"},
        {"loop.svtrack", std::nullopt,
         "FileError: Cannot read " + dir_ / "loop.svtrack" + ": " + std::strerror(ELOOP) + "."},
        {"pipe.svtrack", std::nullopt,
         "FileError: Cannot read " + dir_ / "pipe.svtrack" + ": it is not a regular file."},
        {"shut/hill.svtrack", std::nullopt,
         ::geteuid() == 0 ? "loaded"
                          : "FileError: Cannot read " + shut + ": " + std::strerror(EACCES) + "."},
    };
    for (const auto& [name, bytes, outcome] : cases) {
        if (bytes) dir_.Write(name, *bytes);
        EXPECT_EQ(Load(dir_ / name), outcome);
    }
    fs::permissions(dir_ / "shut", fs::perms(0700));
}

}  // namespace
}  // namespace railgrace
