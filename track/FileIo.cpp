#include "track/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "track/Errors.h"

namespace railgrace {
namespace {

[[noreturn]] void Fail(const std::string& doing, const std::string& path, int error) {
    throw FileError("Cannot " + doing + " " + path + ": " + std::strerror(error) + ".");
}

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
    : path_(std::move(path)), calls_(calls) {
    const std::filesystem::path target(path_);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // Hidden, beside the target, so that the rename stays within one file system.
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string pattern = (folder / hidden).string();
    fd_ = calls_.makeTemporary(pattern.data());
    if (fd_ < 0) Fail(errno);
    temporary_ = std::move(pattern);
    if (::fchmod(fd_, NewFileMode(path_)) != 0) {
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
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
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
    if (calls_.rename(temporary_.c_str(), path_.c_str()) != 0) Fail(errno);
    committed_ = true;
}

}  // namespace railgrace
