// Saves on POSIX that go through links or replace a file of some mode and owner under the
// longest name: a save replaces the file at the end of the links, keeps its mode and owner, and
// leaves nothing behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

#include "TrackFiles.h"
#include "track/FileIo.h"

namespace railgrace {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Saved through a link, the file at the end of its links gets the bytes and the link stays; a
// dangling link gets its file created, as cp does: the link says where the file belongs. The
// replaced file keeps its mode and its owner. The temporary name is short and fixed, so a name of
// the longest length can be saved onto itself, and files left by a save that was killed are
// neither reused nor touched.
TEST(SaveSafety, LinksStayAndTheFileTheyLeadToKeepsModeAndOwner) {
    const TempFolder dir;
    const Bytes old(900, 0x5C), track = Golden("example.svtrack");
    const std::string longest = std::string(255 - 8, 'n') + ".svtrack";
    const std::string file = dir / ("real/" + longest), link = dir / "links/hill.svtrack";
    for (const char* folder : {"real", "links"}) fs::create_directory(dir / folder);
    fs::create_symlink("../real/" + longest, dir / "links/chain.svtrack");
    const std::string stales[] = {".railgrace-XXXXXX", ".railgrace-a1B2c3", ".hill.svtrack.Ab3dEf"};
    for (const std::string& name : stales) dir.Write("real/" + name, old);
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
            dir.Write("real/" + longest, old);
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
    for (const std::string& name : stales) EXPECT_EQ(ReadFile(dir / ("real/" + name)), old);
}

}  // namespace
}  // namespace railgrace
