// Loading and saving whole tracks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "track/TrackModel.h"

namespace railgrace {

// One chunk as the loader met it on its walk through the file.
struct WalkEntry {
    std::string tag;              // upper-cased, as the loader compares it
    std::size_t offset = 0;       // byte offset of the tag in the file
    std::int32_t size = 0;        // as stored
    std::int32_t childCount = 0;  // as stored (0 for a skipped chunk, whose children it covers)
    std::int64_t records = -1;    // records of the chunk (grid values for TERA); -1 when none
    bool skipped = false;         // an unknown kind, stepped over by its size
};

// The longest track file: the root's 32-bit size and the 16 bytes its frame and INFO add to it.
inline constexpr std::size_t kMaxTrackFileBytes = 2147483647u + 16u;

// Whether name ends in ".svtrack", in any letter case: the one extension a track file may have.
bool HasTrackExtension(const std::string& name);

// Loads the track file at path into model. Returns false, leaving model untouched, when the
// name is empty, names no file, does not end in ".svtrack" (any letter case), or when the
// file does not begin with the tag "SKYV". Throws FileError when the file cannot be reached
// (a folder on the way without search permission, a loop of links) or read, is no regular file
// or is longer than kMaxTrackFileBytes, and FormatError when its content is damaged, which
// includes a file too short for its first tag (0 to 2 bytes); model is then untouched as well. When
// walk is given it receives the chunks in the order the loader met them.
bool LoadTrack(TrackModel& model, const std::string& path, std::vector<WalkEntry>* walk = nullptr);

// Parses a whole file image. name is the file's name for error messages. Returns false when
// the image does not begin with "SKYV"; throws FormatError when it is damaged or too short
// for its first tag. model is
// replaced only when the result is true.
bool ParseTrack(TrackModel& model, std::span<const std::uint8_t> image, const std::string& name,
                std::vector<WalkEntry>* walk = nullptr);

// Sets every chunk's child count and size in model and returns the whole file image. Throws
// SaveError when the track is too large for a track file or holds a text character that a
// track file cannot hold.
std::vector<std::uint8_t> SerializeTrack(TrackModel& model);

// The name SaveTrack writes to: path with ".svtrack" behind it unless it already ends so.
std::string TrackFileName(const std::string& path);

// Saves model to TrackFileName(path) and returns that name. The sizes are worked out first; the
// image then goes piece by piece to a temporary file beside the target, which is flushed and
// renamed over it, so a failed save leaves an existing file as it was. Throws SaveError or
// FileError.
std::string SaveTrack(TrackModel& model, const std::string& path);

}  // namespace railgrace
