#include "report/Report.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <numbers>
#include <sstream>
#include <utility>

#include "track/Text.h"

namespace railgrace {
namespace {

Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator*(double s, Vec3 a) {
    return {s * a.x, s * a.y, s * a.z};
}
double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(Vec3 a) {
    return std::sqrt(Dot(a, a));
}
bool IsFinite(Vec3 a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

Vec3 PosOf(const BezierVertex& v) {
    return {v.posX, v.posY, v.posZ};
}
Vec3 Cp1Of(const BezierVertex& v) {
    return {v.cp1X, v.cp1Y, v.cp1Z};
}
Vec3 Cp2Of(const BezierVertex& v) {
    return {v.cp2X, v.cp2Y, v.cp2Z};
}

// The path is a closed loop.
std::size_t Prev(std::size_t i, std::size_t n) {
    return i == 0 ? n - 1 : i - 1;
}
std::size_t Next(std::size_t i, std::size_t n) {
    return i + 1 == n ? 0 : i + 1;
}

std::optional<double> FiniteOrNone(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// In words, why figures at a vertex are missing.
std::vector<std::string> DegenerateReasons(std::span<const BezierVertex> path, std::size_t i) {
    const std::size_t n = path.size();
    const BezierVertex& v = path[i];
    std::vector<std::string> reasons;
    if (!IsFinite(PosOf(v)) || !IsFinite(Cp1Of(v)) || !IsFinite(Cp2Of(v))) {
        reasons.push_back("a coordinate is infinite or not a number");
        return reasons;
    }
    if (Length(PosOf(v) - Cp1Of(v)) == 0)
        reasons.push_back("its first control point lies on its position");
    if (Length(Cp2Of(v) - PosOf(v)) == 0)
        reasons.push_back("its second control point lies on its position");
    const std::size_t p = Prev(i, n);
    const std::size_t q = Next(i, n);
    if (!IsFinite(Cp2Of(path[p]))) {
        reasons.push_back("the second control point of vertex " + std::to_string(p) +
                          " is infinite or not a number");
    }
    if (!IsFinite(Cp1Of(path[q]))) {
        reasons.push_back("the first control point of vertex " + std::to_string(q) +
                          " is infinite or not a number");
    }
    if (reasons.empty()) reasons.push_back("its figures are too large to compute");
    return reasons;
}

VertexFigures MeasureVertex(std::span<const BezierVertex> path, std::size_t i) {
    const std::size_t n = path.size();
    const BezierVertex& v = path[i];
    const Vec3 arriving = PosOf(v) - Cp1Of(v);
    const Vec3 leaving = Cp2Of(v) - PosOf(v);
    VertexFigures f;
    f.tangentBreak = AngleDegrees(arriving, leaving);
    f.curvatureIn = EndCurvature(arriving, Cp1Of(v) - Cp2Of(path[Prev(i, n)]));
    f.curvatureOut = EndCurvature(leaving, Cp1Of(path[Next(i, n)]) - Cp2Of(v));
    if (f.curvatureIn && f.curvatureOut) {
        // Straight meeting straight is no jump, however the float rounding bent either side.
        const double larger = std::max(*f.curvatureIn, *f.curvatureOut);
        f.relativeJump =
            larger < kStraightCurvature ? 0 : std::abs(*f.curvatureIn - *f.curvatureOut) / larger;
    }
    if (!f.tangentBreak || !f.relativeJump) f.degenerate = DegenerateReasons(path, i);
    return f;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

PathSummary Summarize(const PathFigures& path) {
    PathSummary s;
    s.vertices = static_cast<int>(path.figures.size());
    std::vector<double> breaks, jumps;
    int straight = 0, inSpace = 0;
    for (const VertexFigures& f : path.figures) {
        if (f.tangentBreak) breaks.push_back(*f.tangentBreak);
        if (f.tangentBreak && *f.tangentBreak > kVisibleBreakDegrees) ++s.breaksAboveHalfDegree;
        if (f.relativeJump) jumps.push_back(*f.relativeJump);
        if (!f.degenerate.empty()) ++s.degenerateJoints;
        if (f.straight && (f.straight->inSpace || f.straight->inPlan)) ++straight;
        if (f.straight && f.straight->inSpace) ++inSpace;
    }
    if (!breaks.empty()) {
        s.largestTangentBreak = *std::max_element(breaks.begin(), breaks.end());
        s.medianTangentBreak = Median(breaks);
    }
    if (!jumps.empty()) {
        s.largestRelativeJump = *std::max_element(jumps.begin(), jumps.end());
        s.medianRelativeJump = Median(jumps);
    }
    if (path.marksError.empty()) {
        s.markedStraight = straight;
        s.straightInSpace = inSpace;
    }
    return s;
}

// ---- The table ----

std::string Fixed(std::optional<double> value, int decimals, double factor = 1) {
    if (!value) return "-";
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << *value * factor;
    return text.str();
}

std::string Significant(std::optional<double> value) {
    if (!value) return "-";
    std::ostringstream text;
    text << std::setprecision(4) << *value;
    return text.str();
}

std::string Count(std::optional<int> value) {
    return value ? std::to_string(*value) : "stopped";
}

std::string Percent(std::optional<double> fraction) {
    return fraction ? Fixed(fraction, 1, 100) + "%" : "-";
}

std::string MarkWord(const VertexFigures& f) {
    if (!f.straight) return "stopped";
    if (f.straight->inSpace) return "space";
    return f.straight->inPlan ? "plan" : "";
}

void PrintVertexColumns(std::ostream& out, const VertexFigures& f) {
    out << std::setw(9) << Fixed(f.tangentBreak, 3) << std::setw(11) << Significant(f.curvatureIn)
        << std::setw(11) << Significant(f.curvatureOut) << std::setw(8) << Percent(f.relativeJump)
        << "  " << std::left << std::setw(8) << MarkWord(f) << std::right;
}

// text padded with spaces to width characters; a UTF-8 character counts once, whatever its bytes.
std::string PadRight(const std::string& text, std::size_t width) {
    const auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    const auto characters = text.size() - static_cast<std::size_t>(std::count_if(
                                              text.begin(), text.end(), continuation));
    return text + std::string(width > characters ? width - characters : 0, ' ');
}

std::string WithoutTrailingSpaces(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

void PrintVertexTable(std::ostream& out, const TrackReport& r) {
    const char* columns = "  break °   curv. in  curv. out    jump  straight";
    if (r.after) {
        out << std::setw(6) << ""
            << "  " << std::left << std::setw(52) << "before smoothing"
            << "| after smoothing\n"
            << std::right;
    }
    out << "vertex" << columns << (r.after ? "  |" + std::string(columns) : "") << "\n";
    for (std::size_t i = 0; i < r.before.figures.size(); ++i) {
        std::ostringstream row;
        row << std::setw(6) << i;
        PrintVertexColumns(row, r.before.figures[i]);
        if (r.after) {
            row << "  |";
            PrintVertexColumns(row, r.after->figures[i]);
        }
        out << WithoutTrailingSpaces(row.str()) << "\n";
    }
}

void PrintNotes(std::ostream& out, const PathFigures& path, const std::string& when) {
    if (!path.marksError.empty())
        out << "Straight marks" << when << ": " << path.marksError << "\n";
    for (std::size_t i = 0; i < path.figures.size(); ++i) {
        for (const std::string& reason : path.figures[i].degenerate) {
            out << "Degenerate joint" << when << " at vertex " << i << ": " << reason << ".\n";
        }
    }
}

// ---- JSON ----

nlohmann::json Json(std::optional<double> value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json Json(std::optional<int> value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// An empty text stands for no message.
nlohmann::json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

nlohmann::json Json(const VertexFigures& f, std::size_t index) {
    const auto mark = [&](bool StraightMark::*which) {
        return f.straight ? nlohmann::json((*f.straight).*which) : nlohmann::json(nullptr);
    };
    return {{"index", index},
            {"tangentBreakDegrees", Json(f.tangentBreak)},
            {"curvatureIn", Json(f.curvatureIn)},
            {"curvatureOut", Json(f.curvatureOut)},
            {"relativeJump", Json(f.relativeJump)},
            {"straightInSpace", mark(&StraightMark::inSpace)},
            {"straightInPlan", mark(&StraightMark::inPlan)},
            {"degenerate", f.degenerate}};
}

nlohmann::json Json(const PathSummary& s) {
    return {{"vertices", s.vertices},
            {"largestTangentBreakDegrees", Json(s.largestTangentBreak)},
            {"medianTangentBreakDegrees", Json(s.medianTangentBreak)},
            {"tangentBreaksAboveHalfDegree", s.breaksAboveHalfDegree},
            {"largestRelativeJump", Json(s.largestRelativeJump)},
            {"medianRelativeJump", Json(s.medianRelativeJump)},
            {"markedStraight", Json(s.markedStraight)},
            {"straightInSpace", Json(s.straightInSpace)},
            {"degenerateJoints", s.degenerateJoints}};
}

nlohmann::json Json(const PathFigures& path) {
    nlohmann::json vertices = nlohmann::json::array();
    for (std::size_t i = 0; i < path.figures.size(); ++i) {
        vertices.push_back(Json(path.figures[i], i));
    }
    return {{"summary", Json(path.summary)},
            {"marksError", TextOrNull(path.marksError)},
            {"vertices", std::move(vertices)}};
}

// ---- Sampling ----

// The cubic Bezier segment from vertex i to the next vertex of the closed path.
struct Cubic {
    Vec3 p0, p1, p2, p3;
};

Cubic SegmentFrom(std::span<const BezierVertex> path, std::size_t i) {
    const BezierVertex& start = path[i];
    const BezierVertex& end = path[Next(i, path.size())];
    return {PosOf(start), Cp2Of(start), Cp1Of(end), PosOf(end)};
}

Vec3 PointAt(const Cubic& c, double t) {
    const double s = 1 - t;
    return s * s * s * c.p0 + 3 * s * s * t * c.p1 + 3 * s * t * t * c.p2 + t * t * t * c.p3;
}

Vec3 VelocityAt(const Cubic& c, double t) {
    const double s = 1 - t;
    return 3 * s * s * (c.p1 - c.p0) + 6 * s * t * (c.p2 - c.p1) + 3 * t * t * (c.p3 - c.p2);
}

Vec3 AccelerationAt(const Cubic& c, double t) {
    const Vec3 first = c.p2 - 2 * c.p1 + c.p0;
    const Vec3 second = c.p3 - 2 * c.p2 + c.p1;
    return 6 * (1 - t) * first + 6 * t * second;
}

// Signed curvature of a plane curve from its derivatives: positive when it turns from the
// first axis towards the second.
double PlaneCurvature(double du, double dw, double ddu, double ddw) {
    return (du * ddw - dw * ddu) / std::pow(du * du + dw * dw, 1.5);
}

PathSample Sample(const Cubic& c, double t) {
    PathSample s;
    s.point = PointAt(c, t);
    s.velocity = VelocityAt(c, t);
    const Vec3 a = AccelerationAt(c, t);
    s.planCurvature = PlaneCurvature(s.velocity.x, s.velocity.z, a.x, a.z);
    // The profile is (distance, Y): distance grows at the path's speed.
    const double speed = Length(s.velocity);
    s.profileCurvature = PlaneCurvature(speed, s.velocity.y, Dot(s.velocity, a) / speed, a.y);
    return s;
}

}  // namespace

std::optional<double> EndCurvature(Vec3 handle, Vec3 leg) {
    const double length = Length(handle);
    if (length == 0 || !IsFinite(handle) || !IsFinite(leg)) return std::nullopt;
    return FiniteOrNone(2.0 / 3.0 * Length(Cross(leg, handle)) / (length * length * length));
}

std::optional<double> AngleDegrees(Vec3 a, Vec3 b) {
    if (Length(a) == 0 || Length(b) == 0 || !IsFinite(a) || !IsFinite(b)) return std::nullopt;
    // atan2 keeps small angles exact where acos of a cosine near 1 would not.
    return FiniteOrNone(std::atan2(Length(Cross(a, b)), Dot(a, b)) * 180 / std::numbers::pi);
}

PathFigures MeasurePath(std::vector<BezierVertex> vertices) {
    PathFigures path;
    path.vertices = std::move(vertices);
    std::vector<StraightMark> marks;
    try {
        marks = FindStraightVertices(path.vertices);
    } catch (const SmoothError& error) {
        path.marksError = error.what();
    }
    for (std::size_t i = 0; i < path.vertices.size(); ++i) {
        path.figures.push_back(MeasureVertex(path.vertices, i));
        if (i < marks.size()) path.figures.back().straight = marks[i];
    }
    path.summary = Summarize(path);
    return path;
}

TrackReport MakeReport(std::string fileName, const std::vector<BezierVertex>& path, int passes) {
    TrackReport report;
    report.fileName = std::move(fileName);
    report.before = MeasurePath(path);
    report.passes = passes;
    if (passes <= 0) return report;
    TrackModel smoothed;
    smoothed.bezrRecords = path;
    for (int pass = 1; pass <= passes; ++pass) {
        try {
            SmoothTrack(smoothed);
        } catch (const SmoothError& error) {
            report.smoothError = error.what();
            report.failedPass = pass;
            return report;
        }
    }
    report.after = MeasurePath(std::move(smoothed.bezrRecords));
    return report;
}

std::vector<SummaryRow> SummaryRows(const TrackReport& r) {
    using Figure = std::string (*)(const PathSummary&);
    const std::pair<const char*, Figure> rows[] = {
        {"vertices", [](const PathSummary& s) { return std::to_string(s.vertices); }},
        {"largest tangent break (°)",
         [](const PathSummary& s) { return Fixed(s.largestTangentBreak, 3); }},
        {"median tangent break (°)",
         [](const PathSummary& s) { return Fixed(s.medianTangentBreak, 3); }},
        {"tangent breaks above 0.5°",
         [](const PathSummary& s) { return std::to_string(s.breaksAboveHalfDegree); }},
        {"largest relative curvature jump",
         [](const PathSummary& s) { return Percent(s.largestRelativeJump); }},
        {"median relative curvature jump",
         [](const PathSummary& s) { return Percent(s.medianRelativeJump); }},
        {"vertices marked straight", [](const PathSummary& s) { return Count(s.markedStraight); }},
        {"  of them straight in space",
         [](const PathSummary& s) { return Count(s.straightInSpace); }},
        {"degenerate joints",
         [](const PathSummary& s) { return std::to_string(s.degenerateJoints); }},
    };
    std::vector<SummaryRow> result;
    for (const auto& [label, figure] : rows) {
        result.push_back(
            {label, figure(r.before.summary), r.after ? figure(r.after->summary) : ""});
    }
    return result;
}

void PrintReport(std::ostream& out, const TrackReport& r) {
    out << EscapeControls(r.fileName) << ": " << r.before.figures.size() << " vertices";
    if (r.passes > 0) {
        out << ", " << r.passes << (r.passes == 1 ? " smoothing pass" : " smoothing passes");
    }
    out << "\n\n";
    PrintVertexTable(out, r);
    out << "\n";
    if (r.after) out << std::setw(48) << "before" << std::setw(12) << "after\n";
    for (const SummaryRow& row : SummaryRows(r)) {
        std::ostringstream line;
        line << PadRight(row.label, 36) << std::setw(12) << row.before << std::setw(12)
             << row.after;
        out << WithoutTrailingSpaces(line.str()) << "\n";
    }
    out << "\n";
    PrintNotes(out, r.before, r.after ? " before smoothing" : "");
    if (r.after) PrintNotes(out, *r.after, " after smoothing");
    if (!r.smoothError.empty()) {
        out << "No figures after smoothing: pass " << r.failedPass << " of " << r.passes
            << " stopped. " << r.smoothError << "\n";
    }
}

void PrintReportJson(std::ostream& out, const TrackReport& r) {
    nlohmann::json result = {{"file", r.fileName}, {"before", Json(r.before)}};
    if (r.passes > 0) {
        result["smoothing"] = {
            {"passes", r.passes},
            {"error", TextOrNull(r.smoothError)},
            {"failedPass", Json(r.failedPass == 0 ? std::nullopt : std::optional(r.failedPass))}};
        result["after"] = r.after ? Json(*r.after) : nlohmann::json(nullptr);
    }
    // A file name need not be UTF-8; the JSON must be.
    out << result.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

std::vector<PathSample> SamplePath(std::span<const BezierVertex> path, int perSegment) {
    std::vector<PathSample> samples;
    double distance = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const Cubic cubic = SegmentFrom(path, i);
        for (int k = 0; k <= perSegment; ++k) {
            PathSample s = Sample(cubic, static_cast<double>(k) / perSegment);
            if (!samples.empty()) {
                const double step = Length(s.point - samples.back().point);
                if (std::isfinite(step)) distance += step;
            }
            s.distance = distance;
            samples.push_back(s);
        }
    }
    return samples;
}

}  // namespace railgrace
