// The smoothness report: how smoothly the path bends at each vertex, before and after smoothing.
//
// At a vertex two cubic segments meet. The tangent break is the angle between the direction in
// which the path arrives (pos - cp1) and the one in which it leaves (cp2 - pos): zero on a path
// without corners. The curvatures just before and just after the vertex come from the end handle
// and the neighbouring leg of each segment; on a path that bends smoothly they are equal, and
// their relative jump is zero.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "smooth/Smooth.h"
#include "track/TrackModel.h"

namespace railgrace {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// Curvature where a cubic ends, from its end handle (between the end point and its control
// point) and the leg of the control polygon next to it: 2/3 |leg x handle| / |handle|^3. None
// for a handle of no length or for coordinates that are not finite.
std::optional<double> EndCurvature(Vec3 handle, Vec3 leg);

// The angle between two directions in degrees, 0 to 180; none when either has no length.
std::optional<double> AngleDegrees(Vec3 a, Vec3 b);

struct VertexFigures {
    std::optional<double> tangentBreak;    // degrees
    std::optional<double> curvatureIn;     // where the segment from the previous vertex ends
    std::optional<double> curvatureOut;    // where the segment to the next vertex starts
    std::optional<double> relativeJump;    // |in - out| / max(in, out); 0 when both are straight
    std::optional<StraightMark> straight;  // none when marking stopped
    std::vector<std::string> degenerate;   // why figures are missing, in words
};

struct PathSummary {
    int vertices = 0;
    std::optional<double> largestTangentBreak, medianTangentBreak;
    int breaksAboveHalfDegree = 0;
    std::optional<double> largestRelativeJump, medianRelativeJump;
    std::optional<int> markedStraight;   // in space or in plan; none when marking stopped
    std::optional<int> straightInSpace;  // of those, straight in space
    int degenerateJoints = 0;
};

// Curvatures below this (per metre; a radius of 10 km) are straight track as far as a jump is
// concerned: a joint where both sides are below it has no jump. Rounding the coordinates to floats
// leaves straight segments with curvatures near 1e-7 per metre, and a jump between two such values
// would otherwise read as large as a real one.
inline constexpr double kStraightCurvature = 1e-4;

// Breaks up to this many degrees are too small to see on a ride.
inline constexpr double kVisibleBreakDegrees = 0.5;

struct PathFigures {
    std::vector<BezierVertex> vertices;
    std::vector<VertexFigures> figures;
    std::string marksError;  // the marking fault, when marking stopped
    PathSummary summary;
};

PathFigures MeasurePath(std::vector<BezierVertex> vertices);

struct TrackReport {
    std::string fileName;
    PathFigures before;
    int passes = 0;                    // smoothing passes asked for; 0 when not smoothed
    std::optional<PathFigures> after;  // when every pass ran to its end
    std::string smoothError;           // when one did not
    int failedPass = 0;                // the pass that stopped, from 1
};

// Measures path, and when passes > 0 smooths a copy of it that often and measures that too.
TrackReport MakeReport(std::string fileName, const std::vector<BezierVertex>& path, int passes);

// The summary as rows of label, figure before and figure after smoothing (empty when not
// smoothed), for the table and the picture.
struct SummaryRow {
    std::string label, before, after;
};
std::vector<SummaryRow> SummaryRows(const TrackReport& report);

void PrintReport(std::ostream& out, const TrackReport& report);
void PrintReportJson(std::ostream& out, const TrackReport& report);

// One point of the path, for drawing it in plan and in profile.
struct PathSample {
    Vec3 point;
    Vec3 velocity;                // derivative by t
    double distance = 0;          // along the path from vertex 0
    double planCurvature = 0;     // of the (X, Z) curve, positive turning from +X towards +Z
    double profileCurvature = 0;  // of the (distance, Y) curve, positive bending upwards
};

// perSegment + 1 samples of every segment, both ends included, so that a vertex is sampled once
// as the end of one segment and once as the start of the next. Values that cannot be computed
// (a handle of no length, a coordinate that is not finite) are NaN.
std::vector<PathSample> SamplePath(std::span<const BezierVertex> path, int perSegment);

}  // namespace railgrace
