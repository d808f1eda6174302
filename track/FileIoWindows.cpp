// Reading and replacing files on Windows, with the promises of the POSIX version: paths are
// UTF-8 in the program and UTF-16 at the system calls, and every failure names the path and the
// system's reason.
#include <windows.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>

#include "track/Errors.h"
#include "track/FileIo.h"
#include "track/Utf8Path.h"

namespace railgrace {
namespace {

std::wstring Wide(const std::string& utf8) {
    return Utf8Path(utf8).wstring();
}

// The system's sentence for error, without its closing period and line break, so that it ends
// ours: "Cannot save X: <reason>."
std::string Reason(SystemError error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason = length > 0 ? std::wstring(text, length) : std::wstring();
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' ||
                               reason.back() == L' ' || reason.back() == L'.')) {
        reason.pop_back();
    }
    if (reason.empty()) return "system error " + std::to_string(error);
    return Utf8String(std::filesystem::path(reason));
}

[[noreturn]] void Fail(const std::string& doing, const std::string& path, const std::string& why) {
    throw FileError("Cannot " + doing + " " + path + ": " + why + ".");
}

// What the target's folder entry is, if anything: INVALID_FILE_ATTRIBUTES when there is none.
DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesW(Wide(path).c_str());
}

// The attributes a replacement takes over from the file it replaces.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// ".rg-" and eight hexadecimal digits: however long the target's name, the temporary name stays
// short, so a target whose name fills the system's limit can still be saved.
std::wstring TemporaryName(std::mt19937& random) {
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring name = L".rg-";
    std::uint32_t bits = static_cast<std::uint32_t>(random());
    for (int i = 0; i < 8; ++i, bits >>= 4) name += kDigits[bits & 15u];
    return name + L".tmp";
}

// The file a save replaces: path, or, when path is a symbolic link, the file at the end of its
// links, so that the link stays a link and its file gets the new bytes. Opened without
// FILE_FLAG_OPEN_REPARSE_POINT, a handle is the file the links lead to, and backup semantics let
// it open a folder too, which the caller then refuses. Any existing file is asked, not only one
// marked as a reparse point: wine shows the system's links as plain files, yet follows them. A
// link that leads nowhere, or a file system that cannot tell a final path, leaves path itself.
std::string FollowLinks(const std::string& path) {
    HANDLE file =
        ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return path;
    std::wstring final(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(file, final.data(), MAX_PATH, 0);
    if (length >= MAX_PATH) {
        final.resize(length);
        length = ::GetFinalPathNameByHandleW(file, final.data(), length, 0);
    }
    ::CloseHandle(file);
    if (length == 0 || length >= final.size()) return path;
    final.resize(length);
    // The system's prefix for long paths, which the rest of the program does not expect.
    if (final.starts_with(L"\\\\?\\UNC\\")) {
        final.replace(0, 8, L"\\\\");
    } else if (final.starts_with(L"\\\\?\\")) {
        final.erase(0, 4);
    }
    return Utf8String(std::filesystem::path(final));
}

// A temporary file marked for deletion goes when its last handle closes, however the process
// ends: by an error, by Ctrl-C in a console (ExitProcess) or by a kill (TerminateProcess), none
// of which runs a destructor.
bool MarkForDeletion(const FileCalls& calls, HANDLE file, bool deleting) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleting)};
    return calls.dispose(file, FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace

FileReader::FileReader(std::string path, std::size_t maxBytes) : path_(std::move(path)) {
    // The simulator may hold the file open, even for writing, while it is read here.
    HANDLE file = ::CreateFileW(Wide(path_).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const DWORD attributes = Attributes(path_);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            Fail("read", path_, "it is a folder");
        }
        Fail("read", path_, Reason(error));
    }
    file_.fd = file;
    // A console or a pipe could give bytes without end.
    if (::GetFileType(file) != FILE_TYPE_DISK) Fail("read", path_, "it is not a regular file");
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) Fail("read", path_, Reason(::GetLastError()));
    size_ = static_cast<std::size_t>(size.QuadPart);
    if (size_ > maxBytes) {
        Fail("read", path_,
             "it holds " + std::to_string(size_) + " bytes, more than the " +
                 std::to_string(maxBytes) + " that a track file can hold");
    }
}

FileReader::Descriptor::~Descriptor() {
    if (fd != kNoFile) ::CloseHandle(fd);
}

std::size_t FileReader::ReadAt(std::uint8_t* into, std::size_t offset, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        // The offset travels in the OVERLAPPED record, as pread's does in its argument.
        OVERLAPPED at{};
        const std::uint64_t from = offset + filled;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        const DWORD ask = static_cast<DWORD>(
            std::min<std::size_t>(count - filled, std::numeric_limits<DWORD>::max()));
        DWORD got = 0;
        if (!::ReadFile(file_.fd, into + filled, ask, &got, &at)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) break;
            Fail("read", path_, Reason(error));
        }
        if (got == 0) break;
        filled += got;
    }
    return filled;
}

FileReplacement::FileReplacement(std::string path, const FileCalls& calls)
    : path_(std::move(path)), target_(FollowLinks(path_)), calls_(calls) {
    const DWORD existing = Attributes(target_);
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (existing & FILE_ATTRIBUTE_DIRECTORY) railgrace::Fail("save", path_, "it is a folder");
        if (existing & FILE_ATTRIBUTE_READONLY) {
            railgrace::Fail("save", path_, "the file is write-protected");
        }
    }
    const DWORD attributes = existing == INVALID_FILE_ATTRIBUTES
                                 ? FILE_ATTRIBUTE_NORMAL
                                 : (existing & kKeptAttributes) | FILE_ATTRIBUTE_NORMAL;
    // Beside the target, so that the rename stays within one volume and is one step.
    const std::filesystem::path target = Utf8Path(target_);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(L".");
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path temporary = folder / TemporaryName(random);
        HANDLE file = calls_.create(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                    CREATE_NEW, attributes, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            fd_ = file;
            temporary_ = Utf8String(temporary);
            if (MarkForDeletion(calls_, fd_, true)) return;
            // No destructor runs for a constructor that throws.
            const DWORD error = ::GetLastError();
            Discard();
            Fail(error);
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) Fail(error);
    }
    Fail(ERROR_FILE_EXISTS);
}

FileReplacement::~FileReplacement() {
    Discard();
}

void FileReplacement::Discard() {
    if (fd_ != kNoFile) ::CloseHandle(fd_);
    fd_ = kNoFile;
    if (!committed_ && !temporary_.empty()) ::DeleteFileW(Wide(temporary_).c_str());
}

void FileReplacement::Fail(SystemError error) const {
    switch (error) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            railgrace::Fail("save", path_, "another program has the file open");
        default:
            railgrace::Fail("save", path_, Reason(error));
    }
}

// Pieces of a megabyte, as on POSIX: the disk gets the bytes as they come, so that the flush in
// Commit finds little left to do.
void FileReplacement::Write(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    while (!bytes.empty()) {
        DWORD put = 0;
        const DWORD ask = static_cast<DWORD>(std::min(bytes.size(), kPiece));
        if (!calls_.write(fd_, bytes.data(), ask, &put, nullptr)) Fail(::GetLastError());
        // A write that takes nothing would be asked again forever; a full disk is all it can mean.
        if (put == 0) Fail(ERROR_DISK_FULL);
        written_ += put;
        bytes = bytes.subspan(put);
    }
}

// MoveFileExW rather than ReplaceFileW: with MOVEFILE_REPLACE_EXISTING it puts the new file in
// the target's place in one step, atomic within a volume, and MOVEFILE_WRITE_THROUGH returns only
// once that step is on the disk. ReplaceFileW keeps more of the old file (its security and
// creation time) but works in several steps that can fail half-way, leaving the target renamed
// or gone (ERROR_UNABLE_TO_MOVE_REPLACEMENT), and it refuses a target that does not exist yet.
// The attributes worth keeping were given to the temporary file when it was created. A target
// held open by a program that does not share deletion cannot be replaced: the rename fails with
// a sharing violation or, under some systems, with "access denied".
void FileReplacement::Commit() {
    if (!calls_.flush(fd_)) Fail(::GetLastError());
    // From here until the rename, a process that ends leaves the complete temporary file behind.
    if (!MarkForDeletion(calls_, fd_, false)) Fail(::GetLastError());
    HANDLE file = fd_;
    fd_ = kNoFile;
    if (!calls_.close(file)) Fail(::GetLastError());
    if (!calls_.rename(Wide(temporary_).c_str(), Wide(target_).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        const DWORD now = Attributes(target_);
        if (error == ERROR_ACCESS_DENIED && now != INVALID_FILE_ATTRIBUTES) {
            if (now & FILE_ATTRIBUTE_READONLY)
                railgrace::Fail("save", path_, "the file is write-protected");
            if (!(now & FILE_ATTRIBUTE_DIRECTORY)) Fail(ERROR_SHARING_VIOLATION);
        }
        Fail(error);
    }
    committed_ = true;
}

// Files here are opened as Win32 handles, never as C runtime descriptors, so none can take the
// place of a closed standard stream; a write to a closed output fails by itself.
void GuardStandardStreams() {}

}  // namespace railgrace
