#include "track/FileIo.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "track/Errors.h"

namespace railgrace {
namespace {

[[noreturn]] void Fail(const std::string& doing, const std::string& path, int error) {
    throw FileError("Cannot " + doing + " " + path + ": " + std::strerror(error) + ".");
}

// The temporary files of unfinished replacements, where a signal handler finds them. A handler
// can reach nothing but static storage, so this registry is the one piece of global mutable
// state in the program, and it serves this purpose alone. A slot is kLive while a file of its
// name exists, and kChanging while the thread that owns it creates, renames or removes that file
// with the signals held off, so that a handler running in another thread waits for the change
// rather than acting on half of it. Lock-free atomics are safe to use in a handler.
enum SlotState : int { kFree, kChanging, kLive };

struct TemporarySlot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];  // the longest path the system can open
};
static_assert(std::atomic<int>::is_always_lock_free);

// More replacements at once than slots, which this program never has, go unguarded.
TemporarySlot gTemporaries[8];

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t EndingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : kEndingSignals) sigaddset(&set, number);
    return set;
}

// Holds the ending signals off in this thread while it lives.
class SignalsHeld {
public:
    SignalsHeld() {
        const sigset_t ending = EndingSignals();
        ::pthread_sigmask(SIG_BLOCK, &ending, &previous_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

TemporarySlot* ClaimSlot() {
    for (TemporarySlot& slot : gTemporaries) {
        int expected = kFree;
        if (slot.state.compare_exchange_strong(expected, kChanging)) return &slot;
    }
    return nullptr;
}

TemporarySlot* FindSlot(const std::string& path) {
    for (TemporarySlot& slot : gTemporaries) {
        if (slot.state.load() == kLive && path == slot.path) return &slot;
    }
    return nullptr;
}

// Creates the temporary file from pattern and registers its name; returns the descriptor, or -1
// with errno set.
int MakeRegisteredTemporary(std::string& pattern, const FileCalls& calls) {
    const SignalsHeld held;
    TemporarySlot* slot = ClaimSlot();
    const int fd = calls.makeTemporary(pattern.data());
    const int error = errno;
    if (slot != nullptr) {
        const bool fits = fd >= 0 && pattern.size() < sizeof slot->path;
        if (fits) std::memcpy(slot->path, pattern.c_str(), pattern.size() + 1);
        slot->state.store(fits ? kLive : kFree);
    }
    errno = error;
    return fd;
}

// Renames or removes the registered temporary file at path by change, which returns 0 when the
// file no longer has that name, or -1 with errno set.
template <class Change>
int ChangeRegisteredTemporary(const std::string& path, Change change) {
    const SignalsHeld held;
    TemporarySlot* slot = FindSlot(path);
    if (slot != nullptr) slot->state.store(kChanging);
    const int result = change();
    const int error = errno;
    if (slot != nullptr) slot->state.store(result == 0 ? kFree : kLive);
    errno = error;
    return result;
}

void RemoveTemporariesAndEnd(int number) {
    for (TemporarySlot& slot : gTemporaries) {
        // Another thread is inside one system call that creates, renames or removes the file.
        while (slot.state.load() == kChanging) {
        }
        if (slot.state.load() == kLive) ::unlink(slot.path);
    }
    // Ends as the signal would have ended the program: the shell sees it (status 128 + signal).
    // The signal is held off while this handler runs, and ends the program as it returns.
    ::signal(number, SIG_DFL);
    ::raise(number);
}

// The file a save replaces: path, or the file at the end of its chain of symbolic links, which
// need not exist yet (as cp does), so that a link stays a link and its file gets the new bytes.
std::string FollowLinks(const std::string& path) {
    std::string file = path;
    // The system's own limit on links followed in one path.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(file.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return file;
        char link[PATH_MAX];
        const ssize_t length = ::readlink(file.c_str(), link, sizeof link);
        if (length < 0) Fail("save", path, errno);
        if (static_cast<std::size_t>(length) == sizeof link) Fail("save", path, ENAMETOOLONG);
        file = (std::filesystem::path(file).parent_path() /
                std::string(link, static_cast<std::size_t>(length)))
                   .string();
    }
    Fail("save", path, ELOOP);
}

// A replacement takes the mode of the file it replaces, and its owner and group where the
// program may set them; a new file gets the mode that creating it would give.
int TakeOverAttributes(int fd, const struct stat* replaced) {
    if (replaced == nullptr) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return ::fchmod(fd, 0666 & ~mask);
    }
    struct stat made {};
    if (::fstat(fd, &made) != 0) return -1;
    if (made.st_uid != replaced->st_uid || made.st_gid != replaced->st_gid) {
        // Giving a file away takes privilege; a group of one's own may still be given.
        if (::fchown(fd, replaced->st_uid, replaced->st_gid) != 0 &&
            (errno != EPERM ||
             (::fchown(fd, static_cast<uid_t>(-1), replaced->st_gid) != 0 && errno != EPERM))) {
            return -1;
        }
    }
    // After the owner: giving a file away may clear its set-user-ID and set-group-ID bits.
    return ::fchmod(fd, replaced->st_mode & 07777);
}

}  // namespace

FileReader::FileReader(std::string path, std::size_t maxBytes) : path_(std::move(path)) {
    // Without O_NONBLOCK, opening a named pipe would wait for a writer forever.
    file_.fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file_.fd < 0) Fail("read", path_, errno);
    struct stat info {};
    if (::fstat(file_.fd, &info) != 0) Fail("read", path_, errno);
    if (S_ISDIR(info.st_mode)) Fail("read", path_, EISDIR);
    // A device or a pipe could give bytes without end.
    if (!S_ISREG(info.st_mode)) {
        throw FileError("Cannot read " + path_ + ": it is not a regular file.");
    }
    size_ = static_cast<std::size_t>(info.st_size);
    if (size_ > maxBytes) {
        throw FileError("Cannot read " + path_ + ": it holds " + std::to_string(size_) +
                        " bytes, more than the " + std::to_string(maxBytes) +
                        " that a track file can hold.");
    }
}

FileReader::Descriptor::~Descriptor() {
    if (fd >= 0) ::close(fd);
}

std::size_t FileReader::ReadAt(std::uint8_t* into, std::size_t offset, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t got =
            ::pread(file_.fd, into + filled, count - filled, static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) Fail("read", path_, errno);
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

FileReplacement::FileReplacement(std::string path, const FileCalls& calls)
    : path_(std::move(path)), target_(FollowLinks(path_)), calls_(calls) {
    struct stat replaced {};
    const bool replacing = ::stat(target_.c_str(), &replaced) == 0;
    if (replacing && S_ISDIR(replaced.st_mode)) Fail(EISDIR);
    if (replacing && !S_ISREG(replaced.st_mode)) {
        throw FileError("Cannot save " + path_ + ": it is not a regular file.");
    }
    // The owner's permission bit, not access(): whoever runs the program, root too, must not
    // replace a file that its owner has protected.
    if (replacing && (replaced.st_mode & S_IWUSR) == 0) {
        throw FileError("Cannot save " + path_ + ": the file is write-protected.");
    }
    // Hidden, beside the target, so that the rename stays within one file system; of a fixed
    // length, so that every name the folder can hold can be saved.
    const std::filesystem::path target(target_);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string pattern = (folder / ".railgrace-XXXXXX").string();
    fd_ = MakeRegisteredTemporary(pattern, calls_);
    if (fd_ < 0) Fail(errno);
    temporary_ = std::move(pattern);
    if (TakeOverAttributes(fd_, replacing ? &replaced : nullptr) != 0) {
        // No destructor runs for a constructor that throws.
        const int error = errno;
        Discard();
        Fail(error);
    }
}

FileReplacement::~FileReplacement() {
    Discard();
}

void FileReplacement::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!committed_ && !temporary_.empty()) {
        ChangeRegisteredTemporary(temporary_, [this] {
            ::unlink(temporary_.c_str());
            return 0;
        });
    }
}

void FileReplacement::Fail(int error) const {
    throw FileError("Cannot save " + path_ + ": " + std::strerror(error) + ".");
}

// Pieces of a megabyte: one write of a whole large image is several times slower here than
// the same bytes in pieces, and each piece is handed to the disk as soon as it is written, so
// that the flush in Commit finds little left to do.
void FileReplacement::Write(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    while (!bytes.empty()) {
        const ssize_t put = calls_.write(fd_, bytes.data(), std::min(bytes.size(), kPiece));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) Fail(errno);
        // A write that takes nothing would be asked again forever; a full disk is all it can mean.
        if (put == 0) Fail(ENOSPC);
#if defined(__linux__)
        ::sync_file_range(fd_, static_cast<off_t>(written_), static_cast<off_t>(put),
                          SYNC_FILE_RANGE_WRITE);
#endif
        written_ += static_cast<std::uint64_t>(put);
        bytes = bytes.subspan(static_cast<std::size_t>(put));
    }
}

void FileReplacement::Commit() {
    if (calls_.flush(fd_) != 0) Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (calls_.close(fd) != 0) Fail(errno);
    if (ChangeRegisteredTemporary(temporary_, [this] {
            return calls_.rename(temporary_.c_str(), target_.c_str());
        }) != 0) {
        Fail(errno);
    }
    committed_ = true;
}

void GuardStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", O_RDONLY);
        // open takes the lowest free number, which is fd; anything else is not ours to keep.
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

void RemoveTemporaryFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndEnd;
    action.sa_mask = EndingSignals();
    for (int number : kEndingSignals) {
        struct sigaction previous {};
        if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            ::sigaction(number, &action, nullptr);
        }
    }
}

}  // namespace railgrace
