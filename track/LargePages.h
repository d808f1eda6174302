// Large memory pages for the few buffers that grow with a track's terrain.
#pragma once

#include <cstddef>

namespace railgrace {

// Asks the system to back [data, data + bytes) with large pages where it can: a buffer of a
// hundred megabytes otherwise takes tens of thousands of page faults, one per small page, which
// costs more than copying the file. Only a hint, given before the buffer is first written: the
// contents and the program's results stay as they are, and nothing happens where large pages are
// not offered or the range is too short to hold one.
void AdviseLargePages(const void* data, std::size_t bytes);

}  // namespace railgrace
