// railgrace-bench-track: writes the tracks that bench/run measures.
//   railgrace-bench-track terrain SAMPLE SIDE OUT   the sample with a SIDE x SIDE terrain grid
//   railgrace-bench-track curved N OUT              a track of N vertices, none of them straight
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "bench/BenchTracks.h"
#include "track/TrackIo.h"

namespace {

using railgrace::TrackModel;

int Usage() {
    std::fprintf(stderr,
                 "usage: railgrace-bench-track terrain SAMPLE SIDE OUT\n"
                 "       railgrace-bench-track curved N OUT\n");
    return 2;
}

int Run(int argc, char** argv) {
    const std::string kind = argc > 1 ? argv[1] : "";
    TrackModel model;
    std::string out;
    if (kind == "terrain" && argc == 5) {
        if (!railgrace::LoadTrack(model, argv[2])) return Usage();
        const int side = std::atoi(argv[3]);
        if (side <= 0) return Usage();
        railgrace::bench::SetTerrain(model, side);
        out = argv[4];
    } else if (kind == "curved" && argc == 4) {
        const int n = std::atoi(argv[2]);
        if (n <= 1) return Usage();
        model.bezrRecords = railgrace::bench::CurvedPath(static_cast<std::size_t>(n));
        out = argv[3];
    } else {
        return Usage();
    }
    railgrace::SaveTrack(model, out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "railgrace-bench-track: %s\n", e.what());
        return 1;
    }
}
