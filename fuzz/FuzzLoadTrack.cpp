// Feeds arbitrary bytes to the track loader. A load must either fail with a FormatError or give
// a track that saves, loads back as the same track and saves again to the same bytes; the
// smoothing pass must then either refuse it or leave a track that still saves. The memory a load
// takes must stay within a small multiple of the file's size, and a damaged file must be told in
// one printable sentence. Anything else is a fault: a crash, a sanitizer report, an exception of
// another kind, or one of the checks below.
#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "smooth/Smooth.h"
#include "track/Errors.h"
#include "track/TrackIo.h"

namespace {

using railgrace::TrackModel;

const char* const kName = "fuzz.svtrack";

// A load may hold the file's bytes and the model made of them, which takes up to about nine
// bytes of memory per file byte (a 4-byte RASC record becomes a 32-byte entry).
constexpr std::int64_t kBytesPerFileByte = 12;
constexpr std::int64_t kFixedBytes = 64 * 1024;

// Live heap bytes and their peak while a load runs, counted by the sanitizer's allocator hooks.
struct HeapWatch {
    bool on = false;
    std::int64_t live = 0;
    std::int64_t peak = 0;
};
HeapWatch heap;

void OnMalloc(const volatile void*, std::size_t size) {
    if (!heap.on) return;
    heap.live += static_cast<std::int64_t>(size);
    heap.peak = std::max(heap.peak, heap.live);
}

void OnFree(const volatile void* p) {
    if (heap.on && p) heap.live -= static_cast<std::int64_t>(__sanitizer_get_allocated_size(p));
}

[[noreturn]] void Fault(const char* what) {
    std::fprintf(stderr, "fuzz fault: %s\n", what);
    std::abort();
}

// A message is one printable line that names the file and ends as a sentence.
void CheckMessage(std::string_view what) {
    const bool printable =
        std::all_of(what.begin(), what.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (!printable || !what.starts_with(kName) || !what.ends_with('.')) {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(what.size()), what.data());
        Fault("a damaged file gives a message that is not one printable sentence");
    }
}

bool Load(TrackModel& model, std::span<const std::uint8_t> image) {
    heap = {true, 0, 0};
    bool loaded = false;
    try {
        loaded = railgrace::ParseTrack(model, image, kName);
    } catch (const railgrace::FormatError& e) {
        heap.on = false;
        CheckMessage(e.what());
    }
    heap.on = false;
    const auto limit = kBytesPerFileByte * static_cast<std::int64_t>(image.size()) + kFixedBytes;
    if (heap.peak > limit) {
        std::fprintf(stderr, "a load of %zu bytes took %lld bytes of memory\n", image.size(),
                     static_cast<long long>(heap.peak));
        Fault("a load took more memory than the file's size justifies");
    }
    return loaded;
}

// A model holding a NaN is not equal to itself; for it the saved bytes are the whole check.
bool Comparable(const TrackModel& model) {
    return model == model;
}

void CheckRoundTrip(TrackModel& model, TrackModel& reloaded) {
    // SaveError is not caught: every track that loads must save.
    const std::vector<std::uint8_t> image = railgrace::SerializeTrack(model);
    if (!railgrace::ParseTrack(reloaded, image, kName)) Fault("a saved image is refused");
    model.versionBytes = {1, 3, 0, 0};
    if (Comparable(model) && !(reloaded == model)) Fault("a saved image loads as another track");
    if (railgrace::SerializeTrack(reloaded) != image) Fault("saving twice gives other bytes");
}

void CheckSmoothing(const TrackModel& track) {
    TrackModel smoothed = track;
    try {
        railgrace::SmoothTrack(smoothed);
    } catch (const railgrace::SmoothError&) {
        if (Comparable(track) && !(smoothed == track))
            Fault("a refused smoothing changed the track");
        return;
    }
    railgrace::SerializeTrack(smoothed);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TrackModel model;
    if (!Load(model, {data, size})) return 0;
    TrackModel reloaded;
    CheckRoundTrip(model, reloaded);
    CheckSmoothing(reloaded);
    return 0;
}
