// One smoothing pass: on a path of 501 vertices none of which is straight (every vertex takes
// every sweep: the worst case), and on the sample's path.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/BenchTracks.h"
#include "smooth/Smooth.h"
#include "smooth/SmoothSteps.h"
#include "track/TrackIo.h"

namespace {

using railgrace::TrackModel;

// Every pass starts from the same vertices, so every pass does the same work; restoring them is
// not timed.
void TimePasses(benchmark::State& state, const TrackModel& start) {
    TrackModel model = start;
    for (auto _ : state) {
        state.PauseTiming();
        model.bezrRecords = start.bezrRecords;
        state.ResumeTiming();
        benchmark::DoNotOptimize(railgrace::SmoothTrack(model));
    }
}

void BM_SmoothCurved501(benchmark::State& state) {
    TrackModel model;
    model.bezrRecords = railgrace::bench::CurvedPath(railgrace::kMaxSmoothVertices);
    TrackModel probe = model;
    const railgrace::SmoothSummary summary = railgrace::SmoothTrack(probe);
    if (summary.straightPlan != 0) {
        state.SkipWithError("the curved path has straight vertices: not the worst case");
        return;
    }
    TimePasses(state, model);
}
BENCHMARK(BM_SmoothCurved501)->Unit(benchmark::kMicrosecond);

void BM_SmoothSample(benchmark::State& state) {
    TrackModel model;
    if (!railgrace::LoadTrack(model, RAILGRACE_SAMPLE)) {
        state.SkipWithError("cannot load the sample track");
        return;
    }
    TimePasses(state, model);
}
BENCHMARK(BM_SmoothSample)->Unit(benchmark::kMicrosecond);

// The pass's three steps on the worst-case path, each on the vertices as the steps before it
// left them, to show where a pass spends its time.
template <int step>
void BM_Step501(benchmark::State& state) {
    std::vector<railgrace::BezierVertex> start =
        railgrace::bench::CurvedPath(railgrace::kMaxSmoothVertices);
    railgrace::SmoothWork work{};
    railgrace::MarkStraightSegments(start, work);
    if (step > 1) railgrace::FlattenControlPoints(start, work);
    std::vector<railgrace::BezierVertex> vertices = start;
    for (auto _ : state) {
        state.PauseTiming();
        vertices = start;
        state.ResumeTiming();
        if (step == 0) railgrace::MarkStraightSegments(vertices, work);
        if (step == 1) railgrace::FlattenControlPoints(vertices, work);
        if (step == 2) railgrace::PlaceVertices(vertices, work);
        benchmark::DoNotOptimize(vertices.data());
    }
}
BENCHMARK(BM_Step501<0>)->Name("BM_Step501_Mark")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Step501<1>)->Name("BM_Step501_Flatten")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Step501<2>)->Name("BM_Step501_Place")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
