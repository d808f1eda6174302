// Saves on POSIX that meet a signal, go through links or replace a file of some mode and owner
// under the longest name: a save replaces the file at the end of the links whole or not at all,
// keeps what the old file was, and leaves nothing behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "TrackFiles.h"
#include "track/FileIo.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using namespace test;
namespace fs = std::filesystem;

class SaveSafety : public ::testing::Test {
protected:
    TempFolder dir_;
    const Bytes old_ = Bytes(900, 0x5C);
    const Bytes new_ = Golden("example.svtrack");
};

// A child process saves over the old file and meets the signal half way through; the handler
// runs as it would for a Ctrl-C or a kill. A signal ignored from the start (nohup) stays so.
TEST_F(SaveSafety, EndingSignalsRemoveTheTemporaryFileAndEndTheProgramAsUsual) {
    const std::pair<int, bool> cases[] = {
        {SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGQUIT, false}, {SIGHUP, true}};
    for (const auto& [number, ignored] : cases) {
        SCOPED_TRACE(testing::Message() << strsignal(number) << (ignored ? ", ignored" : ""));
        const std::string target = dir_.Write("hill.svtrack", old_);
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
                if (dir_.Names().size() != 2) ::_exit(10);  // no temporary file to remove
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
        EXPECT_EQ(dir_.Names(), std::vector<std::string>{"hill.svtrack"});
    }
}

// Saved through a link, the file at the end of its links gets the bytes and the link stays; a
// dangling link gets its file created, as cp does: the link says where the file belongs. The
// replaced file keeps its mode and its owner. The temporary name is short and fixed, so a name of
// the longest length can be saved onto itself, and files left by a save that was killed are
// neither reused nor touched.
TEST_F(SaveSafety, LinksStayAndTheFileTheyLeadToKeepsModeAndOwner) {
    const std::string longest = std::string(255 - 8, 'n') + ".svtrack";
    const std::string file = dir_ / ("real/" + longest), link = dir_ / "links/hill.svtrack";
    fs::create_directory(dir_ / "real");
    fs::create_directory(dir_ / "links");
    fs::create_symlink("../real/" + longest, dir_ / "links/chain.svtrack");
    const Bytes stale(10, 0x33);
    const std::string stales[] = {".railgrace-XXXXXX", ".railgrace-a1B2c3", ".hill.svtrack.Ab3dEf"};
    for (const std::string& name : stales) dir_.Write("real/" + name, stale);
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
        const bool root = ::geteuid() == 0;
        const uid_t owner = foreign && root ? 4321 : ::geteuid();
        const gid_t group = foreign && root ? 8765 : ::getegid();
        if (mode != 0) {
            dir_.Write("real/" + longest, old_);
            fs::permissions(file, fs::perms(mode));
            ASSERT_EQ(::chown(file.c_str(), owner, group), 0);
        }
        if (!says.empty()) fs::create_symlink(says, link);
        TrackModel model = ExampleModel();
        EXPECT_EQ(SaveTrack(model, says.empty() ? file : link), says.empty() ? file : link);
        EXPECT_EQ(fs::is_symlink(link) ? fs::read_symlink(link) : "", says);
        EXPECT_EQ(ReadFile(file), new_);
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode != 0 ? mode : 0666 & ~mask);
        EXPECT_EQ(std::make_pair(info.st_uid, info.st_gid), std::make_pair(owner, group));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "real"), {}), 4);
        fs::remove(link);
    }
    for (const std::string& name : stales) EXPECT_EQ(ReadFile(dir_ / ("real/" + name)), stale);
}

}  // namespace
}  // namespace railgrace
