#include "track/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "track/Errors.h"
#include "track/FileCalls.h"
#include "track/LargePages.h"

namespace railgrace {
namespace {

[[noreturn]] void Fail(const std::string& doing, const std::string& path, int error) {
    throw FileError("Cannot " + doing + " " + path + ": " + std::strerror(error) + ".");
}

// Closes the descriptor when it goes out of scope.
struct FileHandle {
    int fd = -1;
    ~FileHandle() {
        if (fd >= 0) ::close(fd);
    }
};

// Removes the temporary file unless the rename has made it the target.
struct TemporaryFile {
    std::string path;
    bool kept = false;
    ~TemporaryFile() {
        if (!kept && !path.empty()) ::unlink(path.c_str());
    }
};

mode_t NewFileMode(const std::string& target) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        return existing.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t extraZeros,
                                        std::size_t maxBytes) {
    // Without O_NONBLOCK, opening a named pipe would wait for a writer forever.
    FileHandle file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) Fail("read", path, errno);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) Fail("read", path, errno);
    if (S_ISDIR(info.st_mode)) Fail("read", path, EISDIR);
    // A device or a pipe could give bytes without end.
    if (!S_ISREG(info.st_mode)) {
        throw FileError("Cannot read " + path + ": it is not a regular file.");
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > maxBytes) {
        throw FileError("Cannot read " + path + ": it holds " + std::to_string(size) +
                        " bytes, more than the " + std::to_string(maxBytes) +
                        " that a track file can hold.");
    }

    // A file that shrinks while it is read ends early; one that grows is read as it was.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size + extraZeros);
    AdviseLargePages(bytes.data(), size + extraZeros);
    bytes.resize(size + extraZeros);
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(file.fd, bytes.data() + filled, size - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) Fail("read", path, errno);
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    bytes.resize(filled + extraZeros, 0);
    return bytes;
}

void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    ReplaceFile(path, bytes, FileCalls{});
}

void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes,
                 const FileCalls& calls) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // Hidden, beside the target, so that the rename stays within one file system.
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string pattern = (folder / hidden).string();

    TemporaryFile temporary;
    FileHandle file{calls.makeTemporary(pattern.data())};
    if (file.fd < 0) Fail("save", path, errno);
    temporary.path = pattern;

    if (::fchmod(file.fd, NewFileMode(path)) != 0) Fail("save", path, errno);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = calls.write(file.fd, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) Fail("save", path, errno);
        // A write that takes nothing would be asked again forever; a full disk is all it can mean.
        if (put == 0) Fail("save", path, ENOSPC);
        written += static_cast<std::size_t>(put);
    }
    if (calls.flush(file.fd) != 0) Fail("save", path, errno);
    const int fd = file.fd;
    file.fd = -1;
    if (calls.close(fd) != 0) Fail("save", path, errno);
    if (calls.rename(temporary.path.c_str(), path.c_str()) != 0) Fail("save", path, errno);
    temporary.kept = true;
}

}  // namespace railgrace
