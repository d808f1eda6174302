// Files on each system: names in any language, short writes, saves and loads that the file
// system refuses, every step of a save failing, a save whose process ends half way and, on
// Windows, a target another program holds open. Whatever fails, the error names the path and the
// reason in one sentence, the old file stays byte for byte and no temporary file is left behind.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdlib>
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

// The system's call, unless it is the one that fails.
template <Step step, auto call, auto failed, typename... Args>
decltype(failed) Injecting(Args... args) {
    return FailsNow(step) ? failed : call(args...);
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
// The handle is released even when closing reports an error.
BOOL WINAPI Close(HANDLE file) {
    const BOOL closed = ::CloseHandle(file);
    return !FailsNow(Step::kClose) && closed;
}
// The dispose step's first call marks the temporary file for deletion.
constexpr FileCalls kInjecting{Create,
                               Write,
                               Injecting<Step::kFlush, ::FlushFileBuffers, FALSE>,
                               Close,
                               Injecting<Step::kRename, ::MoveFileExW, FALSE>,
                               Injecting<Step::kDispose, ::SetFileInformationByHandle, FALSE>};
#else
const std::string kIsFolder = strerror(EISDIR);
constexpr SystemError kDiskFull = ENOSPC;
const std::regex kTemporaryName("\\.railgrace-[0-9A-Za-z]{6}");
const Injected kShortWrites{Step::kWrite, 2, EINTR, 7};  // the third write meets a signal
int Create(char* pattern) {
    const int fd = FailsNow(Step::kCreate) ? -1 : ::mkstemp(pattern);
    injected.created = pattern;
    return fd;
}
ssize_t Write(int fd, const void* data, size_t count) {
    if (FailsNow(Step::kWrite)) return injected.error == 0 ? 0 : -1;
    return ::write(fd, data, std::min<size_t>(count, injected.shortWrite));
}
// The descriptor is released even when close reports an error, as on Linux.
int Close(int fd) {
    const int result = ::close(fd);
    return FailsNow(Step::kClose) ? -1 : result;
}
constexpr FileCalls kInjecting{Create, Write, Injecting<Step::kFlush, ::fsync, -1>, Close,
                               Injecting<Step::kRename, ::rename, -1>};
#endif

class FileIo : public CliFixture {
protected:
    const Bytes old_ = Bytes(900, 0x5C);
    const std::string target_ = folder / "hill.svtrack";
};

// Saved over the very file it was loaded from, a track comes back tidy, also when every write
// takes a few bytes only and, on POSIX, one is interrupted by a signal.
TEST_F(FileIo, NamesInAnyLanguageLoadAndSave) {
    fs::create_directory(dir / Utf8Path(kFolder));
    const std::string path = folder.Write(kFolder + "/" + kName, Golden("rich-messy-2.svtrack"));
    TrackModel model;
    ASSERT_TRUE(LoadTrack(model, path));
    injected = kShortWrites;
    ReplaceFile(path, SerializeTrack(model), kInjecting);
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
        {{Step::kWrite, 0, ENOSPC}, std::strerror(ENOSPC)},
        {{Step::kWrite, 3, EIO, 100}, std::strerror(EIO)},
        {{Step::kWrite, 2, 0, 100}, std::strerror(ENOSPC)},  // a write that takes nothing
        {{Step::kFlush, 0, EIO}, std::strerror(EIO)},
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
            SCOPED_TRACE(testing::Message() << "step " << static_cast<int>(fault.step) << ", call "
                                            << fault.failingCall << ", error " << fault.error
                                            << (exists ? ", over a file" : ""));
            injected = fault;
            if (exists) folder.Write("hill.svtrack", old_);
            const std::string what =
                ErrorOf([&] { ReplaceFile(target_, Golden("rich.svtrack"), kInjecting); });
            const std::string& ours = exists ? says : saysWithoutAFile;
            if (ours.empty()) {  // one line, a sentence of its own, ending in one period
                EXPECT_TRUE(what.starts_with(start) &&
                            std::regex_match(what.substr(start.size()), sentence))
                    << what;
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
    for (const bool shared : {false, true}) {
        SCOPED_TRACE(shared);
        const DWORD access = shared ? GENERIC_WRITE : GENERIC_READ;
        const DWORD share = shared ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
        folder.Write("hill.svtrack", Golden("rich.svtrack"));
        const HANDLE held = ::CreateFileW(Utf8Path(target_).c_str(), access, share, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(ErrorOf([&] { ReplaceFile(target_, Bytes(10, 1)); }),
                  "Cannot save " + target_ + ": another program has the file open.");
        TrackModel loaded;
        EXPECT_TRUE(!shared || LoadTrack(loaded, target_));
        ::CloseHandle(held);
        EXPECT_EQ(ReadFile(target_), Golden("rich.svtrack"));
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"hill.svtrack"});
    }
}

#endif

// Run only by the test below, in its folder: ends the process half way through a save as
// RAILGRACE_END_BY says. On Windows, as Ctrl-C in a console (ExitProcess) or a kill
// (TerminateProcess) would, with no destructor run; on POSIX by the signal of that number, whose
// handler runs as it would for a Ctrl-C or a kill.
TEST(FileIoChild, DISABLED_EndsInTheMiddleOfASave) {
    const char* how = std::getenv("RAILGRACE_END_BY");
    ASSERT_NE(how, nullptr);
#ifndef _WIN32
    RemoveTemporaryFilesOnSignals();
#endif
    FileReplacement file("hill.svtrack");
    file.Write(Bytes(3 << 20, 7));
    // The old file, the temporary file and the caught standard error.
    ASSERT_EQ(std::distance(fs::directory_iterator("."), {}), 3);
#ifdef _WIN32
    if (std::string(how) == "exit") ::ExitProcess(3);
    ::TerminateProcess(::GetCurrentProcess(), 3);
#else
    ::raise(std::atoi(how));
    file.Commit();
#endif
}

// The process of a save ends half way: the old file stays and the temporary file goes. A signal
// ignored from the start (nohup) stays so, and the save completes.
TEST_F(FileIo, ASaveEndedWithItsProcessLeavesNothingBehind) {
    // How the process ends, what the command begins with, and the command's exit code (a shell
    // gives 128 and the number of the signal that ended the program).
#ifdef _WIN32
    wchar_t self[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const auto endBy = [](const std::string& how) {
        ::_putenv(("RAILGRACE_END_BY=" + how).c_str());
    };
    const std::tuple<std::string, std::string, int> ends[] = {{"exit", "", 3}, {"kill", "", 3}};
#else
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const auto endBy = [](const std::string& how) { ::setenv("RAILGRACE_END_BY", how.c_str(), 1); };
    const std::tuple<std::string, std::string, int> ends[] = {
        {std::to_string(SIGINT), "", 128 + SIGINT},
        {std::to_string(SIGTERM), "", 128 + SIGTERM},
        {std::to_string(SIGHUP), "", 128 + SIGHUP},
        {std::to_string(SIGQUIT), "ulimit -c 0; ", 128 + SIGQUIT},
        {std::to_string(SIGHUP), "nohup ", 0},
    };
#endif
    for (const auto& [how, start, code] : ends) {
        SCOPED_TRACE(start + how);
        folder.Write("hill.svtrack", old_);
        endBy(how);
        EXPECT_EQ(Shell(start + "\"" + Utf8String(fs::path(self)) +
                        "\" --gtest_also_run_disabled_tests"
                        " --gtest_filter=FileIoChild.DISABLED_EndsInTheMiddleOfASave")
                      .code,
                  code);
        EXPECT_EQ(ReadFile(target_), code == 0 ? Bytes(3 << 20, 7) : old_);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"hill.svtrack", "stderr.txt"}));
    }
}

}  // namespace
}  // namespace railgrace
