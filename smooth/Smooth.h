// "Smooth it!": makes the track's path bend smoothly from vertex to vertex.
#pragma once

#include <span>
#include <stdexcept>
#include <vector>

#include "track/TrackModel.h"

namespace railgrace {

// The largest track the pass handles.
inline constexpr int kMaxSmoothVertices = 501;

// Smoothing refused the track or stopped at a degenerate vertex; what() names the step, the
// vertex and what is wrong with it. The track is unchanged when it is raised.
class SmoothError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What one pass did, for the summary line and reports.
struct SmoothSummary {
    int vertices = 0;      // vertices of the path
    int straight3d = 0;    // vertices at the end of a segment straight in space
    int straightPlan = 0;  // vertices at the end of a segment straight in plan (includes the above)
    int movedVertices = 0;   // vertices whose position changed
    int turnedVertices = 0;  // vertices whose control points changed
    double largestMove = 0;  // the longest distance a vertex position moved
};

// Runs one smoothing pass over model.bezrRecords, all or nothing: on success the vertices'
// nine coordinates and auxFlagC change and nothing else; on SmoothError nothing changes.
SmoothSummary SmoothTrack(TrackModel& model);

// How the pass marks one vertex: at the end of a segment straight in space (inSpace, which
// implies inPlan) or straight in plan only.
struct StraightMark {
    bool inSpace = false;
    bool inPlan = false;
};

// The marks the pass would give each vertex, for reports; changes nothing. Throws SmoothError
// where the pass would stop while marking, and for more than kMaxSmoothVertices vertices.
std::vector<StraightMark> FindStraightVertices(std::span<const BezierVertex> vertices);

}  // namespace railgrace
