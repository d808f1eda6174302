// railgrace-make-sample OUT.svtrack: builds the sample track that ships in samples/ and saves it.
//
// The layout is a closed circuit made of pieces that are straight or circular in plan, each with
// a grade that changes linearly along it (so a piece whose two grades differ is a vertical curve).
// Vertices sit at even steps along every piece; each vertex's two handles lie on the path's
// tangent, a third of the chord to the neighbouring vertex long. Inside the curves the handles are
// made slightly uneven by fixed formulas, so that smoothing has something to do; on straight runs
// they lie exactly on the chord. Everything is computed from fixed numbers, so every run writes
// the same bytes.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>
#include <numbers>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "track/TrackIo.h"
#include "track/TrackModel.h"

namespace {

using railgrace::BezierVertex;
using railgrace::CatwalkEntry;
using railgrace::FrenEntry;
using railgrace::FundEntry;
using railgrace::RascEntry;
using railgrace::RascItem;
using railgrace::SceneryEntry;
using railgrace::SceneryObject;
using railgrace::SegmentEntry;
using railgrace::Text;
using railgrace::TrackEntry;
using railgrace::TrackModel;
using railgrace::TubeEntry;

constexpr double kPi = std::numbers::pi;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}
double Degrees(double radians) {
    return radians * 180.0 / kPi;
}
float F(double value) {
    return static_cast<float>(value);
}
std::int32_t I(std::size_t value) {
    return static_cast<std::int32_t>(value);
}

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(Vec3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double Length(Vec3 a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}

// ---------------------------------------------------------------------------------------------
// Layout

// What a piece of track is for: it decides the segment type, the vertex flags and the catwalks.
enum class Role { Track, Station, Lift, Brake, Booster };

// One piece of the layout. Headings are measured in plan from +X towards +Z; Y is up.
struct Piece {
    std::string name;
    double length = 0;  // horizontal, metres
    double turn = 0;    // change of heading over the piece, radians; 0 for a straight in plan
    double grade0 = 0;  // rise per horizontal metre at the start of the piece
    double grade1 = 0;  // and at its end
    int segments = 1;
    Role role = Role::Track;
    double bank0 = 0, bank1 = 0;  // degrees, carried in the vertices' auxValue
};

bool CurvesInPlan(const Piece& piece) {
    return piece.turn != 0;
}
bool Curves(const Piece& piece) {
    return piece.turn != 0 || piece.grade0 != piece.grade1;
}

Piece Straight(std::string name, double length, double grade0, double grade1, int segments,
               Role role = Role::Track) {
    return {std::move(name), length, 0, grade0, grade1, segments, role};
}

// Straights of computed length get a vertex about every ten metres.
int SegmentsFor(double length) {
    return std::max(1, static_cast<int>(std::lround(length / 10)));
}

struct Turn {
    std::string name;
    double radius;
    double degrees;
    double gradeIn, grade, gradeOut;  // at the start, along the main arc, at the end
    double bank;                      // on the main arc, degrees
    double segmentDegrees;            // heading change per segment on the main arc
};

// A turn eased in and out by arcs of twice its radius, 20 degrees each, so the curvature rises
// to its full value in two steps instead of jumping there from a straight.
void AddTurn(std::vector<Piece>& pieces, const Turn& t) {
    constexpr double kEasement = 20;
    const double easeLength = 2 * t.radius * Radians(kEasement);
    const double mainDegrees = t.degrees - 2 * kEasement;
    const int mainSegments = static_cast<int>(std::lround(mainDegrees / t.segmentDegrees));
    pieces.push_back({t.name + " entry", easeLength, Radians(kEasement), t.gradeIn, t.grade, 2,
                      Role::Track, 0, t.bank});
    pieces.push_back({t.name, t.radius * Radians(mainDegrees), Radians(mainDegrees), t.grade,
                      t.grade, mainSegments, Role::Track, t.bank, t.bank});
    pieces.push_back({t.name + " exit", easeLength, Radians(kEasement), t.grade, t.gradeOut, 2,
                      Role::Track, t.bank, 0});
}

// The values the layout leaves open; CloseLayout chooses them so that the circuit closes.
struct OpenValues {
    double northLength = 0;  // the long straight heading -X
    double westLength = 0;   // the brake run heading -Z
    double helixGrade = 0;   // negative: the helix descends
};

// Start of the station, heading +X.
constexpr Vec3 kStart{-112, 10, -104};

// A loop of four sides: the helix takes the place of the north-west corner, three full loops more
// than a quarter turn. The north straight and the brake run take the lengths that close the
// circuit in plan, and the helix descends by the height that is left (see CloseLayout).
std::vector<Piece> Layout(const OpenValues& open) {
    std::vector<Piece> p;
    // South side, heading +X and straight in plan all the way: station, lift hill, crest, drop.
    p.push_back(Straight("station entry", 10, 0, 0, 1, Role::Station));
    p.push_back(Straight("unload platform", 20, 0, 0, 2, Role::Station));
    p.push_back(Straight("load platform", 20, 0, 0, 2, Role::Station));
    p.push_back(Straight("lift entry", 20, 0, 1, 3, Role::Lift));  // level to 45 degrees up
    p.push_back(Straight("lower lift", 35, 1, 1, 4, Role::Lift));
    p.push_back(Straight("upper lift", 35, 1, 1, 4, Role::Lift));
    p.push_back(Straight("crest", 28, 1, -1.6, 6));  // 45 degrees up to 58 degrees down
    p.push_back(Straight("drop", 30, -1.6, -1.6, 3));
    p.push_back(Straight("pull-out", 25, -1.6, 0, 3));
    AddTurn(p, {"turn 1", 35, 90, 0, 0.45, 0.45, 45, 10});  // climbs out of the drop
    // East side, heading +Z: a camelback hill, straight in plan, then a trim brake.
    p.push_back(Straight("camelback rise", 20, 0.45, 0.45, 2));
    p.push_back(Straight("camelback crest", 30, 0.45, -0.45, 4));
    p.push_back(Straight("camelback fall", 10, -0.45, -0.45, 1));
    p.push_back(Straight("dip", 20, -0.45, 0, 2));
    p.push_back(Straight("trim brake", 30, 0, 0, 3, Role::Brake));
    AddTurn(p, {"turn 2", 35, 90, 0, 0, 0, 30, 10});
    // North side, heading -X, into the descending helix.
    p.push_back(Straight("booster", 30, 0, 0, 3, Role::Booster));
    p.push_back(Straight("block brake", 20, 0, 0, 2, Role::Brake));
    p.push_back(Straight("north straight", open.northLength, 0, 0, SegmentsFor(open.northLength)));
    p.push_back(Straight("helix approach", 15, 0, open.helixGrade, 2));
    AddTurn(p,
            {"helix", 35, 3 * 360 + 90, open.helixGrade, open.helixGrade, open.helixGrade, 35, 15});
    // West side, heading -Z, back towards the station.
    p.push_back(Straight("helix run-out", 15, open.helixGrade, 0, 2));
    p.push_back(
        Straight("brake run", open.westLength, 0, 0, SegmentsFor(open.westLength), Role::Brake));
    p.push_back(Straight("transfer booster", 20, 0, 0, 2, Role::Booster));
    p.push_back(Straight("station booster", 10, 0, 0, 1, Role::Booster));
    AddTurn(p, {"turn 3", 35, 90, 0, 0, 0, 30, 10});
    return p;
}

// Where the path stands: position and heading in plan, height and grade.
struct PathState {
    double x = 0, z = 0, heading = 0;
    double y = 0, grade = 0;
};

// The state at horizontal distance u (0 <= u <= length) into a piece that begins at start.
PathState Along(const PathState& start, const Piece& piece, double u) {
    PathState s;
    if (CurvesInPlan(piece)) {
        const double curvature = piece.turn / piece.length;
        s.heading = start.heading + curvature * u;
        s.x = start.x + (std::sin(s.heading) - std::sin(start.heading)) / curvature;
        s.z = start.z - (std::cos(s.heading) - std::cos(start.heading)) / curvature;
    } else {
        s.heading = start.heading;
        s.x = start.x + u * std::cos(start.heading);
        s.z = start.z + u * std::sin(start.heading);
    }
    // The grade changes linearly, so the height is the mean grade times the distance.
    const double fraction = piece.length > 0 ? u / piece.length : 0;
    s.grade = piece.grade0 + (piece.grade1 - piece.grade0) * fraction;
    s.y = start.y + u * (piece.grade0 + s.grade) / 2;
    return s;
}

PathState StartState() {
    return {kStart.x, kStart.z, 0, kStart.y, 0};
}

PathState EndOf(const std::vector<Piece>& pieces) {
    PathState s = StartState();
    for (const Piece& piece : pieces) s = Along(s, piece, piece.length);
    return s;
}

// The offset left at the end in plan shrinks one to one with the north and west straights (which
// head -X and -Z), and the height left over is linear in the helix grade.
OpenValues CloseLayout() {
    OpenValues open;
    const PathState planEnd = EndOf(Layout(open));
    open.northLength = planEnd.x - kStart.x;
    open.westLength = planEnd.z - kStart.z;
    const double riseFlat = EndOf(Layout(open)).y - kStart.y;
    open.helixGrade = 1;
    const double risePerGrade = EndOf(Layout(open)).y - kStart.y - riseFlat;
    open.helixGrade = -riseFlat / risePerGrade;
    return open;
}

// ---------------------------------------------------------------------------------------------
// Path vertices

struct PathPoint {
    Vec3 pos;
    Vec3 tangent;  // unit length
    std::size_t piece = 0;
    int step = 0;  // index of the vertex within its piece
};

// Small fixed wobbles for vertices inside curves: a turn of the tangent and uneven handles. The
// vertices where two pieces meet keep the exact tangent, so the straights next to them stay
// straight.
double YawWobble(std::size_t v) {
    return 0.010 * std::sin(1.7 * static_cast<double>(v));
}
double PitchWobble(std::size_t v) {
    return 0.007 * std::cos(2.3 * static_cast<double>(v));
}
double InHandleFactor(std::size_t v) {
    return 1 + 0.1 * std::sin(0.9 * static_cast<double>(v) + 0.4);
}
double OutHandleFactor(std::size_t v) {
    return 1 + 0.1 * std::cos(1.3 * static_cast<double>(v));
}

bool Wobbles(const Piece& piece, int step) {
    return Curves(piece) && step > 0;
}

Vec3 Tangent(double heading, double pitch) {
    return {std::cos(pitch) * std::cos(heading), std::sin(pitch),
            std::cos(pitch) * std::sin(heading)};
}

std::vector<PathPoint> PathPoints(const std::vector<Piece>& pieces) {
    std::vector<PathPoint> points;
    PathState start = StartState();
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        for (int k = 0; k < piece.segments; ++k) {
            const PathState s = Along(start, piece, piece.length * k / piece.segments);
            const std::size_t v = points.size();
            double heading = s.heading;
            double pitch = std::atan(s.grade);
            if (Wobbles(piece, k)) {
                if (CurvesInPlan(piece)) heading += YawWobble(v);
                pitch += PitchWobble(v);
            }
            points.push_back({{s.x, s.y, s.z}, Tangent(heading, pitch), i, k});
        }
        start = Along(start, piece, piece.length);
    }
    return points;
}

double Interpolate(double a, double b, double fraction) {
    return a + (b - a) * fraction;
}

BezierVertex MakeVertex(const std::vector<Piece>& pieces, const std::vector<PathPoint>& points,
                        std::size_t v) {
    const std::size_t n = points.size();
    const PathPoint& p = points[v];
    const Piece& piece = pieces[p.piece];
    double inLength = Length(p.pos - points[(v + n - 1) % n].pos) / 3;
    double outLength = Length(points[(v + 1) % n].pos - p.pos) / 3;
    if (Wobbles(piece, p.step)) {
        inLength *= InHandleFactor(v);
        outLength *= OutHandleFactor(v);
    }
    const Vec3 cp1 = p.pos - p.tangent * inLength;
    const Vec3 cp2 = p.pos + p.tangent * outLength;
    const double fraction = static_cast<double>(p.step) / piece.segments;

    BezierVertex vertex;
    vertex.posX = F(p.pos.x);
    vertex.posY = F(p.pos.y);
    vertex.posZ = F(p.pos.z);
    vertex.cp1X = F(cp1.x);
    vertex.cp1Y = F(cp1.y);
    vertex.cp1Z = F(cp1.z);
    vertex.cp2X = F(cp2.x);
    vertex.cp2Y = F(cp2.y);
    vertex.cp2Z = F(cp2.z);
    vertex.auxValue = F(Interpolate(piece.bank0, piece.bank1, fraction));
    vertex.auxFlagA = piece.role == Role::Station || piece.role == Role::Brake;
    vertex.auxFlagB = piece.role == Role::Lift;
    vertex.auxFlagC = Curves(piece);
    return vertex;
}

// ---------------------------------------------------------------------------------------------
// Everything else in the file

// The ground under the whole area: a gentle field of low hills, 0.5 to 3.5 metres high.
double GroundHeight(double x, double z) {
    return 2.0 + 1.2 * std::sin(x / 70.0) * std::cos(z / 55.0) + 0.3 * std::sin((x + z) / 40.0);
}

// First vertex and vertex count of each piece.
struct VertexRange {
    std::size_t first = 0, count = 0;
};

std::vector<VertexRange> PieceRanges(const std::vector<Piece>& pieces) {
    std::vector<VertexRange> ranges;
    std::size_t first = 0;
    for (const Piece& piece : pieces) {
        const auto count = static_cast<std::size_t>(piece.segments);
        ranges.push_back({first, count});
        first += count;
    }
    return ranges;
}

// The vertices of all pieces whose role is role.
VertexRange RoleRange(const std::vector<Piece>& pieces, Role role) {
    const std::vector<VertexRange> ranges = PieceRanges(pieces);
    std::size_t first = SIZE_MAX, end = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].role != role) continue;
        first = std::min(first, ranges[i].first);
        end = std::max(end, ranges[i].first + ranges[i].count);
    }
    return {first, end - first};
}

VertexRange NamedRange(const std::vector<Piece>& pieces, std::string_view prefix) {
    const std::vector<VertexRange> ranges = PieceRanges(pieces);
    std::size_t first = SIZE_MAX, end = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].name.starts_with(prefix)) continue;
        first = std::min(first, ranges[i].first);
        end = std::max(end, ranges[i].first + ranges[i].count);
    }
    return {first, end - first};
}

void AddTrackEntries(TrackModel& model, const std::vector<Piece>& pieces) {
    model.trckLeadingValue = 3;
    model.trckTrailingValue = 1;
    // Colours of rails, spine, cross ties, supports, catwalks, train, seats and restraints.
    model.trckValues24 = {0xC8102E, 0xF2F2F2, 0x4A4A4A, 0x2F5D8A,
                          0x7A7A7A, 0x1E5AA8, 0x202020, 0xFFC20E};
    struct Named {
        const char32_t* text;
        VertexRange range;
        bool flag;
        std::int32_t colour;
    };
    const Named entries[] = {
        {U"Station", RoleRange(pieces, Role::Station), true, 0x3C8D2F},
        {U"Lift", RoleRange(pieces, Role::Lift), true, 0xC8102E},
        {U"Camelback", NamedRange(pieces, "camelback"), false, 0x1E5AA8},
        {U"Helix", NamedRange(pieces, "helix"), false, 0x8E44AD},
        {U"Brake run", NamedRange(pieces, "brake run"), true, 0xE67E22},
    };
    for (const Named& e : entries) {
        model.trckRecords.push_back(
            {e.flag, {I(e.range.first), I(e.range.count), e.colour, 0}, Text(e.text)});
    }
}

// k counts the earlier pieces of the same role, so that the values vary along the track.
void FillSegmentBlock(SegmentEntry& s, const Piece& piece, int k) {
    switch (piece.role) {
        case Role::Station:  // dwell, speeds, gates and platform sides
            s.type1Float1 = F(20 + 5 * k);
            s.type1Float2 = 1.5f;
            s.type1Float3 = 0.8f;
            s.type1Float4 = F(piece.length);
            s.type1Flag1 = true;
            s.type1Float5 = F(2.5 + 0.5 * k);
            s.type1Byte1 = 4;
            s.type1Byte2 = static_cast<std::uint8_t>(2 + k % 3);
            s.type1Byte3 = 1;
            s.type1Flag2 = k % 2 == 0;
            s.type1Float6 = 0.5f;
            s.type1Float7 = 1.2f;
            s.type1Float8 = 3.0f;
            s.type1Flag3 = true;
            s.type1Float9 = 45.0f;
            s.type1Float10 = F(10 + k);
            s.type1Float11 = 0.25f;
            s.segmentType = 1;
            break;
        case Role::Lift:  // chain speed, pull and anti-rollback spacing
            s.type2Float1 = 3.5f;
            s.type2Float2 = F(1.2 + 0.1 * k);
            s.type2Float3 = 0.75f;
            s.type2Byte1 = static_cast<std::uint8_t>(10 + k);
            s.type2Flag1 = true;
            s.type2Flag2 = k % 2 == 1;
            s.segmentType = 2;
            break;
        case Role::Brake:  // target speed, deceleration and fin count
            s.type3Float1 = F(4 + 2 * k);
            s.type3Float2 = 6.5f;
            s.type3Float3 = F(piece.length);
            s.type3Byte1 = static_cast<std::uint8_t>(4 + k);
            s.type3Flag1 = true;
            s.type3Flag2 = k % 2 == 0;
            s.segmentType = 3;
            break;
        case Role::Booster:  // wheel speed, acceleration, spacing and wheel layout
            s.type4Flag1 = true;
            s.type4Flag2 = k % 2 == 1;
            s.type4Float1 = F(6 + k);
            s.type4Float2 = 2.0f;
            s.type4Float3 = 1.25f;
            s.type4Flag3 = false;
            s.type4Float4 = 0.4f;
            s.type4Float5 = 0.4f;
            s.type4Float6 = F(piece.length);
            s.type4Float7 = 90.0f;
            s.type4Flag4 = true;
            s.type4Flag5 = k % 3 == 0;
            s.segmentType = 4;
            break;
        case Role::Track:
            s.segmentType = 0;
            break;
    }
}

// One segment per piece; its type follows the piece's role.
void AddSegments(TrackModel& model, const std::vector<Piece>& pieces) {
    model.segmFlag = true;
    const std::vector<VertexRange> ranges = PieceRanges(pieces);
    int perRole[5] = {};
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        const int roleCount = perRole[static_cast<int>(piece.role)]++;
        SegmentEntry s;
        s.values24 = {I(ranges[i].first), I(ranges[i].count), model.trckValues24[0]};
        s.flag1 = Curves(piece);
        s.flag2 = piece.role != Role::Track;
        FillSegmentBlock(s, piece, roleCount);
        model.segmRecords.push_back(s);
    }
}

// A footer under every tenth vertex, with a tube from the footer up to the track.
void AddSupports(TrackModel& model, const std::vector<BezierVertex>& vertices) {
    for (std::size_t v = 5; v < vertices.size(); v += 10) {
        const BezierVertex& t = vertices[v];
        const double ground = GroundHeight(t.posX, t.posZ);
        const double height = t.posY - ground;
        const double heading = Degrees(std::atan2(t.cp2Z - t.cp1Z, t.cp2X - t.cp1X));
        const std::size_t footer = model.fundRecords.size();
        model.fundRecords.push_back({t.posX, F(ground), t.posZ, footer % 3 != 2, F(heading),
                                     height > 40, F(0.6 + 0.01 * height)});
        const std::int32_t style = height > 40 ? 2 : 1;
        model.tubeRecords.push_back(
            {I(footer), I(v), style, 0, I(footer % 4), 1, 8, 0, F(height > 40 ? 0.9 : 0.6)});
    }
    // Bracings between neighbouring footers: some with none, one or three braces.
    const std::int32_t itemCounts[] = {1, 3, 0, 1, 0, 3, 1};
    for (std::size_t r = 0; r < std::size(itemCounts); ++r) {
        RascEntry entry;
        entry.itemCount = itemCounts[r];
        for (std::int32_t k = 0; k < entry.itemCount; ++k) {
            entry.items.push_back({I(2 * r) + k, F(2.5 + 1.5 * k + 0.25 * static_cast<double>(r))});
        }
        model.rascRecords.push_back(entry);
    }
}

// Fence posts along the station platforms, on the side away from the loop.
void AddFences(TrackModel& model) {
    for (int i = 0; i < 8; ++i) {
        const double x = kStart.x + 4 + 6.5 * i;
        model.frenRecords.push_back({F(x), F(kStart.y - 1.2), F(kStart.z - 4.5)});
    }
}

void AddCatwalks(TrackModel& model, const std::vector<Piece>& pieces) {
    struct Walk {
        VertexRange range;
        std::int32_t side, extraLength;
    };
    const Walk walks[] = {
        {RoleRange(pieces, Role::Station), 2, 0},  {NamedRange(pieces, "lower lift"), 1, 8},
        {NamedRange(pieces, "upper lift"), 1, 0},  {NamedRange(pieces, "trim brake"), 2, 12},
        {NamedRange(pieces, "block brake"), 2, 0}, {NamedRange(pieces, "brake run"), 1, 4},
    };
    std::int32_t lights = 0;
    for (const Walk& w : walks) {
        const auto first = I(w.range.first);
        model.catwRecords.push_back(
            {first, first + I(w.range.count), w.side, 1, 1 + lights % 2, lights, w.extraLength});
        ++lights;
    }
}

SceneryObject Object(std::u32string_view name, std::u32string_view kind, double x, double z,
                     double degrees, double scale) {
    const double c = std::cos(Radians(degrees));
    const double s = std::sin(Radians(degrees));
    SceneryObject o;
    o.text1 = name;
    o.text2 = kind;
    // A turn about the vertical axis, the position on the ground and the scale.
    o.values = {F(c),
                0.0f,
                F(-s),
                0.0f,
                1.0f,
                0.0f,
                F(s),
                0.0f,
                F(c),
                F(x),
                F(GroundHeight(x, z)),
                F(z),
                F(scale),
                F(scale),
                F(scale)};
    return o;
}

void AddScenery(TrackModel& model) {
    struct Spot {
        double x, z, scale;
        std::int32_t kind;
        double degrees;
    };
    const Spot spots[] = {{-40, -60, 1.0, 3, 0}, {20, -30, 1.2, 3, 30},   {-60, 20, 0.9, 5, 75},
                          {60, 30, 1.1, 5, 120}, {-150, -160, 1.0, 7, 0}, {150, 150, 1.3, 7, 45}};
    for (const Spot& s : spots) {
        model.scenRecords.push_back(
            {F(s.x), F(GroundHeight(s.x, s.z)), F(s.z), F(s.degrees), s.kind});
    }
    model.scobRecords.push_back(Object(U"Oak tree", U"tree_oak", -30, -40, 15, 1.1));
    model.scobRecords.push_back(Object(U"Oak tree", U"tree_oak", 40, -20, 200, 0.9));
    model.scobRecords.push_back(Object(U"Fir tree", U"tree_fir", -20, 40, 0, 1.3));
    model.scobRecords.push_back(Object(U"Fir tree", U"tree_fir", 80, 60, 90, 1.0));
    model.scobRecords.push_back(Object(U"Station roof", U"building_station_roof", -87, -104, 0, 1));
    model.scobRecords.push_back(Object(U"Queue fence", U"fence_queue", -87, -114, 0, 1));
    model.scobRecords.push_back(Object(U"", U"bench_wood", -60, -125, 180, 1));
}

void AddTerrain(TrackModel& model) {
    constexpr int kColumns = 24, kRows = 16;
    constexpr double kColumnStep = 20, kRowStep = 30;
    const double x0 = -kColumnStep * (kColumns - 1) / 2;
    const double z0 = -kRowStep * (kRows - 1) / 2;
    model.terrainPresent = true;
    model.terrainColumns = kColumns;
    model.terrainRows = kRows;
    model.terrainParam1 = F(kColumnStep);
    model.terrainParam2 = F(kRowStep);
    model.terrainText1 = U"grass_meadow";
    model.terrainParam3 = 4.0f;
    model.terrainText2 = U"rock_grey";
    model.terrainParam4 = 0.35f;
    model.terrainOption = true;
    model.terrainText3 = U"Meadow with low hills";
    model.terrainParam5 = 1.0f;
    model.terrainByte = 3;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            model.terrainGrid.push_back(F(GroundHeight(x0 + kColumnStep * c, z0 + kRowStep * r)));
        }
    }
}

TrackModel MakeSampleTrack(const std::vector<Piece>& pieces) {
    TrackModel model;
    AddTrackEntries(model, pieces);
    model.infoText =
        U"Railgrace sample track \u2013 station, lift hill with crest and drop, camelback, "
        U"turns and a three-loop descending helix.";
    const std::vector<PathPoint> points = PathPoints(pieces);
    for (std::size_t v = 0; v < points.size(); ++v) {
        model.bezrRecords.push_back(MakeVertex(pieces, points, v));
    }
    AddSegments(model, pieces);
    AddSupports(model, model.bezrRecords);
    AddFences(model);
    AddCatwalks(model, pieces);
    AddScenery(model);
    AddTerrain(model);
    return model;
}

void PrintSections(const std::vector<Piece>& pieces) {
    const std::vector<VertexRange> ranges = PieceRanges(pieces);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const VertexRange& r = ranges[i];
        std::printf("  %3zu-%3zu  %s\n", r.first, r.first + r.count - 1, pieces[i].name.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: railgrace-make-sample OUT.svtrack\n");
        return 2;
    }
    try {
        const std::vector<Piece> pieces = Layout(CloseLayout());
        TrackModel model = MakeSampleTrack(pieces);
        const std::string written = railgrace::SaveTrack(model, argv[1]);
        std::printf("%s: %zu vertices\n", written.c_str(), model.bezrRecords.size());
        PrintSections(pieces);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "railgrace-make-sample: %s\n", e.what());
        return 1;
    }
    return 0;
}
