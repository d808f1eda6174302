// Files on each system: names in any language, short writes, saves and loads that the file
// system refuses, every step of a save failing, a save whose process ends half way, on Windows a
// target another program holds open and on POSIX links, modes and owners. Whatever fails, the error
// names the path and the reason in one sentence, the old file stays byte for byte and no temporary
// file is left behind.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <regex>
#include <tuple>

#include "CliRun.h"
#include "track/FileIo.h"

namespace railgrace {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Umlauts, Cyrillic and Japanese, in the folder's name and in the file's.
const std::string kFolder = "Strecken-Größe-Трассы";
const std::string kName = "ジェットコースター-Ölberg-горка.svtrack";

// The message of the error that action throws, or "" when it throws none.
template <class Action>
std::string ErrorOf(Action action) {
    try {
        action();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

// The fault the calls below inject: the call of one step that fails, counted from 0 within the
// save, and the error it fails with; a write given no error takes nothing instead. Function
// pointers carry no state, so it lives here.
enum class Step { kCreate, kWrite, kFlush, kClose, kRename, kDispose, kNone };
struct Injected {
    Step step = Step::kNone;
    int failingCall = 0;
    SystemError error = 0;
    unsigned shortWrite = ~0u;  // every write takes at most this many bytes
    int calls[6] = {};
    fs::path created = {};  // the temporary file
};
Injected injected;

bool FailsNow(Step step) {
    const int call = injected.calls[static_cast<int>(step)]++;
    if (injected.step != step || call != injected.failingCall) return false;
#ifdef _WIN32
    ::SetLastError(injected.error);
#else
    errno = injected.error;
#endif
    return true;
}

// The system's call, unless it is the one that fails; a closing call is made either way, as it
// releases the handle even when it reports an error on Linux. A created file's name is kept.
template <Step step, auto call, auto failed, typename First, typename... Args>
decltype(failed) Injecting(First first, Args... args) {
    const bool fails = step != Step::kClose && FailsNow(step);
    const decltype(failed) result = fails ? failed : call(first, args...);
    if constexpr (step == Step::kCreate) injected.created = first;
    return step == Step::kClose && FailsNow(step) ? failed : result;
}

#ifdef _WIN32
const std::string kIsFolder = "it is a folder";
constexpr SystemError kDiskFull = ERROR_DISK_FULL;
const std::regex kTemporaryName("\\.rg-[0-9a-f]{8}\\.tmp");
const Injected kShortWrites{Step::kNone, 0, 0, 7};
HANDLE WINAPI Create(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                     DWORD disposition, DWORD flags, HANDLE model) {
    injected.created = path;
    if (FailsNow(Step::kCreate)) return INVALID_HANDLE_VALUE;
    return ::CreateFileW(path, access, share, security, disposition, flags, model);
}
BOOL WINAPI Write(HANDLE file, LPCVOID data, DWORD count, LPDWORD written, LPOVERLAPPED at) {
    const DWORD most = std::min<DWORD>(count, injected.shortWrite);
    if (!FailsNow(Step::kWrite)) return ::WriteFile(file, data, most, written, at);
    *written = 0;
    return injected.error == 0;
}
// The dispose step's first call marks the temporary file for deletion.
constexpr FileCalls kInjecting{Create,
                               Write,
                               Injecting<Step::kFlush, ::FlushFileBuffers, FALSE>,
                               Injecting<Step::kClose, ::CloseHandle, FALSE>,
                               Injecting<Step::kRename, ::MoveFileExW, FALSE>,
                               Injecting<Step::kDispose, ::SetFileInformationByHandle, FALSE>};
#else
const std::string kIsFolder = strerror(EISDIR);
constexpr SystemError kDiskFull = ENOSPC;
const std::regex kTemporaryName("\\.railgrace-[0-9A-Za-z]{6}");
const Injected kShortWrites{Step::kWrite, 2, EINTR, 7};  // the third write meets a signal
ssize_t Write(int fd, const void* data, size_t count) {
    if (FailsNow(Step::kWrite)) return injected.error == 0 ? 0 : -1;
    return ::write(fd, data, std::min<size_t>(count, injected.shortWrite));
}
constexpr FileCalls kInjecting{
    Injecting<Step::kCreate, ::mkstemp, -1>, Write, Injecting<Step::kFlush, ::fsync, -1>,
    Injecting<Step::kClose, ::close, -1>, Injecting<Step::kRename, ::rename, -1>};
#endif

class FileIo : public CliFixture {
protected:
    const Bytes old_ = Bytes(900, 0x5C);
    const std::string target_ = folder / "hill.svtrack";
    TrackModel loaded_;
};

// Saved over the very file it was loaded from, a track comes back tidy, also when every write
// takes a few bytes only and, on POSIX, one is interrupted by a signal.
TEST_F(FileIo, NamesInAnyLanguageLoadAndSave) {
    fs::create_directory(dir / Utf8Path(kFolder));
    const std::string path = folder.Write(kFolder + "/" + kName, Golden("rich-messy-2.svtrack"));
    ASSERT_TRUE(LoadTrack(loaded_, path));
    injected = kShortWrites;
    ReplaceFile(path, SerializeTrack(loaded_), kInjecting);
    EXPECT_EQ(ReadFile(path), Golden("rich.svtrack"));
    EXPECT_GT(injected.calls[static_cast<int>(Step::kWrite)], 100);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / Utf8Path(kFolder)), {}), 1);
    // Through railgrace-cli's arguments and messages, relative to the current folder.
    const std::string copy = kFolder + "/Kopie-コピー";
    const Outcome o = Run("resave " + kFolder + "/" + kName + " -o " + copy);
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "Saved " + copy + ".svtrack.\n");
    EXPECT_EQ(ReadFile(Path(copy + ".svtrack")), Golden("rich.svtrack"));
}

// A file too short for its first tag is damaged at its start; a name that leads nowhere is no
// file, and a file that cannot be reached is an error. A load that fails leaves the model as it
// was. A save that cannot replace its target is refused before anything is written, whoever runs
// the program (root too: the owner's write permission decides, not another's; the read-only
// attribute on Windows).
TEST_F(FileIo, UnreachableShortAndProtectedFiles) {
    fs::create_directory(dir / "folder.svtrack");
    folder.Write("protected.svtrack", old_);
    fs::permissions(dir / "protected.svtrack", fs::perms(0444));
    const std::string locked = "the file is write-protected";
    // The file's bytes (none: made here or missing), and why loading it fails (damaged when it
    // has bytes, or the file cannot be read; "": it is refused, as no file or no track) and why
    // saving over it fails ("": it does not).
    std::vector<std::tuple<std::string, std::optional<Bytes>, std::string, std::string>> cases = {
        {"one.svtrack", Bytes{'S'}, "the file ends inside its first tag (it holds 1 byte)", ""},
        {"two.svtrack", Bytes(2, 'S'), "the file ends inside its first tag (it holds 2 bytes)", ""},
        {"missing.svtrack", std::nullopt, "", ""},
        {"protected.svtrack", std::nullopt, "", locked},
        {"folder.svtrack", std::nullopt, kIsFolder, kIsFolder},
    };
#ifndef _WIN32
    const std::string irregular = "it is not a regular file";
    folder.Write("others-may.svtrack", old_);
    fs::permissions(dir / "others-may.svtrack", fs::perms(0577));
    fs::create_symlink("protected.svtrack", dir / "link.svtrack");
    fs::create_symlink("loop.svtrack", dir / "loop.svtrack");
    ASSERT_EQ(::mkfifo((dir / "pipe.svtrack").c_str(), 0600), 0);  // read, it would wait forever
    cases.insert(cases.end(),
                 {{"others-may.svtrack", std::nullopt, "", locked},
                  {"link.svtrack", std::nullopt, "", locked},
                  {"loop.svtrack", std::nullopt, std::strerror(ELOOP), std::strerror(ELOOP)},
                  {"pipe.svtrack", std::nullopt, irregular, irregular}});
#endif
    for (const auto& [name, bytes, loading, saving] : cases) {
        SCOPED_TRACE(name);
        if (bytes) folder.Write(name, *bytes);
        TrackModel model = ExampleModel();
        const std::string path = Path(name);  // clang 14 captures no structured binding
        const std::string error = ErrorOf([&] { EXPECT_FALSE(LoadTrack(model, path)); });
        const std::string where = bytes ? name : "Cannot read " + path;
        EXPECT_EQ(error, loading.empty() ? "" : where + ": " + loading + ".");
        EXPECT_EQ(model, ExampleModel());
        const std::string what = ErrorOf([&] { ReplaceFile(path, Bytes(10, 1)); });
        EXPECT_EQ(what, saving.empty() ? "" : "Cannot save " + path + ": " + saving + ".");
    }
    EXPECT_EQ(ReadFile(Path("protected.svtrack")), old_);
    EXPECT_TRUE(fs::is_empty(dir / "folder.svtrack"));
    for (const std::string& name : folder.Names()) EXPECT_NE(name[0], '.') << name;
    fs::permissions(dir / "protected.svtrack", fs::perms(0644));  // for the folder's removal
}

TEST_F(FileIo, EachFailingStepKeepsTheOldFileAndLeavesNothingBehind) {
    // The fault, and the reason in our own words ("": the system's) over a file and with none.
    // Each row's error is its own, so that the trace names the row.
    struct Fault {
        Injected fault;
        std::string says = "", saysWithoutAFile = says;
    };
#ifdef _WIN32
    const std::string held = "another program has the file open";
    const Fault faults[] = {
        {{Step::kCreate, 0, ERROR_TOO_MANY_OPEN_FILES}},
        {{Step::kWrite, 0, ERROR_DISK_FULL}},
        {{Step::kWrite, 2, 0, 100}},  // a write that takes nothing: a full disk
        {{Step::kFlush, 0, ERROR_WRITE_FAULT}},
        {{Step::kClose, 0, ERROR_NOT_READY}},
        {{Step::kRename, 0, ERROR_NOT_SAME_DEVICE}},
        {{Step::kDispose, 0, ERROR_INVALID_FUNCTION}},
        {{Step::kRename, 0, ERROR_SHARING_VIOLATION}, held},
        // Access denied to a rename onto no file at all is the system's to explain.
        {{Step::kRename, 0, ERROR_ACCESS_DENIED}, held, ""},
    };
#else
    const Fault faults[] = {
        {{Step::kCreate, 0, EMFILE}, std::strerror(EMFILE)},
        {{Step::kWrite, 3, EIO, 100}, std::strerror(EIO)},
        {{Step::kWrite, 2, 0, 100}, std::strerror(ENOSPC)},  // a write that takes nothing
        {{Step::kFlush, 0, EROFS}, std::strerror(EROFS)},
        {{Step::kClose, 0, EDQUOT}, std::strerror(EDQUOT)},
        {{Step::kRename, 0, EXDEV}, std::strerror(EXDEV)},
    };
#endif
    // The system's words: one reason for each error and another for each other error, with or
    // without the old file.
    std::map<SystemError, std::string> byError;
    std::map<std::string, SystemError> byWords;
    const std::string start = "Cannot save " + target_ + ": ";
    const std::regex sentence("[^\r\n]*[^. \r\n]\\.");
    for (const auto& [fault, says, saysWithoutAFile] : faults) {
        for (bool exists : {true, false}) {
            SCOPED_TRACE(testing::Message() << fault.error << (exists ? " over a file" : ""));
            injected = fault;
            if (exists) folder.Write("hill.svtrack", old_);
            const std::string what =
                ErrorOf([&] { ReplaceFile(target_, Golden("rich.svtrack"), kInjecting); });
            ASSERT_TRUE(what.starts_with(start)) << what;
            const std::string& ours = exists ? says : saysWithoutAFile;
            if (ours.empty()) {  // one line, a sentence of its own, ending in one period
                EXPECT_TRUE(std::regex_match(what.substr(start.size()), sentence)) << what;
                const SystemError error = fault.error ? fault.error : kDiskFull;
                EXPECT_EQ(byError.emplace(error, what).first->second, what);
                EXPECT_EQ(byWords.emplace(what, error).first->second, error);
            } else {
                EXPECT_EQ(what, start + ours + ".");
            }
            // The failing call is the last of its step, and the temporary file has a short name
            // of fixed length beside the target, whatever the target's name.
            EXPECT_EQ(injected.calls[static_cast<int>(fault.step)], fault.failingCall + 1);
            EXPECT_TRUE(std::regex_match(Utf8String(injected.created.filename()), kTemporaryName));
            EXPECT_EQ(injected.created.parent_path(), dir);
            EXPECT_EQ(folder.Names().size(), exists ? 1u : 0u);
            EXPECT_EQ(ReadFile(target_), exists ? old_ : Bytes{});
            fs::remove(Utf8Path(target_));
        }
    }
}

#ifdef _WIN32

// A track held open cannot be replaced; one that the simulator holds open for writing, sharing
// it, can still be read.
TEST_F(FileIo, HeldOpenTargetsAreRefusedInPlainWords) {
    // Another program reads the file and shares nothing, or writes it and shares reading and
    // writing.
    const std::pair<DWORD, DWORD> holds[] = {{GENERIC_READ, 0},
                                             {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE}};
    folder.Write("hill.svtrack", Golden("rich.svtrack"));
    for (const auto& [access, share] : holds) {
        SCOPED_TRACE(share);
        const HANDLE held = ::CreateFileW(Utf8Path(target_).c_str(), access, share, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(ErrorOf([&] { ReplaceFile(target_, Bytes(10, 1)); }),
                  "Cannot save " + target_ + ": another program has the file open.");
        EXPECT_TRUE(share == 0 || LoadTrack(loaded_, target_));
        ::CloseHandle(held);
        EXPECT_EQ(ReadFile(target_), Golden("rich.svtrack"));
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"hill.svtrack"});
    }
}

#else

// On POSIX, saved through a link, the file at the end of its links gets the bytes and the link
// stays; a dangling link gets its file created, as cp does: the link says where the file belongs.
// The replaced file keeps its mode and its owner. The temporary name is short and fixed, so a name
// of the longest length can be saved onto itself, and files left by a save that was killed are
// neither reused nor touched.
TEST_F(FileIo, LinksStayAndTheFileTheyLeadToKeepsModeAndOwner) {
    const Bytes track = Golden("example.svtrack");
    const std::string longest = std::string(255 - 8, 'n') + ".svtrack";
    const std::string file = folder / ("real/" + longest), link = folder / "links/hill.svtrack";
    for (const char* name : {"real", "links"}) fs::create_directory(folder / name);
    fs::create_symlink("../real/" + longest, folder / "links/chain.svtrack");
    const std::string stales[] = {".railgrace-XXXXXX", ".railgrace-a1B2c3", ".hill.svtrack.Ab3dEf"};
    for (const std::string& name : stales) folder.Write("real/" + name, old_);
    const mode_t mask = ::umask(0);  // what a new file's mode leaves out
    ::umask(mask);
    // What the link says ("": the file is saved by its own name), the old file's mode (0: there
    // is none, and the new one gets the usual mode) and whether it belongs to someone else.
    const std::tuple<std::string, mode_t, bool> cases[] = {
        {"", 0600, false},
        {"", 0666, true},
        {"../real/" + longest, 0751, true},
        {file, 0640, false},
        {"chain.svtrack", 0604, false},
        {"../real/" + longest, 0, false},
    };
    for (const auto& [says, mode, foreign] : cases) {
        SCOPED_TRACE(testing::Message() << says << " mode " << mode);
        fs::remove(file);
        // Only root may give a file away; for anyone else the owner stays and the save works.
        const uid_t owner = foreign && ::geteuid() == 0 ? 4321 : ::geteuid();
        const gid_t group = foreign && ::geteuid() == 0 ? 8765 : ::getegid();
        if (mode != 0) {
            folder.Write("real/" + longest, old_);
            fs::permissions(file, fs::perms(mode));
            ASSERT_EQ(::chown(file.c_str(), owner, group), 0);
        }
        if (!says.empty()) fs::create_symlink(says, link);
        ReplaceFile(says.empty() ? file : link, track);
        EXPECT_EQ(fs::is_symlink(link) ? fs::read_symlink(link) : "", says);
        EXPECT_EQ(ReadFile(file), track);
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode != 0 ? mode : 0666 & ~mask);
        EXPECT_EQ(std::make_pair(info.st_uid, info.st_gid), std::make_pair(owner, group));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), {}), 4);
        fs::remove(link);
    }
    for (const std::string& name : stales) EXPECT_EQ(ReadFile(folder / ("real/" + name)), old_);
}

#endif

// Run only by the test below, in its folder: ends the process half way through a save as the old
// file says. On Windows, as Ctrl-C in a console (ExitProcess) or a kill (TerminateProcess) would,
// with no destructor run; on POSIX by the signal of that number, whose handler runs as it would
// for a Ctrl-C or a kill (installed late, which changes nothing: every temporary file is
// registered for it from the start).
TEST(FileIoChild, DISABLED_EndsInTheMiddleOfASave) {
    const std::string how = Slurp("hill.svtrack");
    FileReplacement file("hill.svtrack");
    file.Write(Bytes(3 << 20, 7));
    // The old file, the temporary file and the caught standard error.
    ASSERT_EQ(std::distance(fs::directory_iterator("."), {}), 3);
#ifdef _WIN32
    if (how == "exit") ::ExitProcess(3);
    ::TerminateProcess(::GetCurrentProcess(), 3);
#else
    RemoveTemporaryFilesOnSignals();
    ::raise(std::stoi(how));
    file.Commit();
#endif
}

// The process of a save ends half way: the old file stays and the temporary file goes. A signal
// ignored from the start (nohup) stays so, and the save completes.
TEST_F(FileIo, ASaveEndedWithItsProcessLeavesNothingBehind) {
    // How the process ends (the old file's bytes), what the command begins with, and the
    // command's exit code (a shell gives 128 and the number of the signal that ended the program).
#ifdef _WIN32
    wchar_t self[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::tuple<std::string, std::string, int> ends[] = {{"exit", "", 3}, {"kill", "", 3}};
#else
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const std::tuple<std::string, std::string, int> ends[] = {
        {std::to_string(SIGINT), "", 128 + SIGINT},
        {std::to_string(SIGTERM), "", 128 + SIGTERM},
        {std::to_string(SIGHUP), "", 128 + SIGHUP},
        {std::to_string(SIGQUIT), "ulimit -c 0; ", 128 + SIGQUIT},
        {std::to_string(SIGHUP), "nohup ", 0},
    };
#endif
    const std::string child = "\"" + Utf8String(fs::path(self)) +
                              "\" --gtest_also_run_disabled_tests"
                              " --gtest_filter=FileIoChild.DISABLED_EndsInTheMiddleOfASave";
    for (const auto& [how, start, code] : ends) {
        SCOPED_TRACE(start + how);
        std::ofstream("hill.svtrack") << how;
        EXPECT_EQ(Shell(start + child).code, code);
        EXPECT_EQ(Slurp("hill.svtrack"), code == 0 ? std::string(3 << 20, 7) : how);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"hill.svtrack", "stderr.txt"}));
    }
}

}  // namespace
}  // namespace railgrace
