// The three steps of the smoothing pass and the storage they share. Internal to smooth/ and its
// tests; users of the pass call SmoothTrack (Smooth.h).
//
// Every step works on the pass's copy of the vertex list, at most kMaxSmoothVertices long, and
// reports an arithmetic fault by throwing SmoothError before it has written anything that the
// caller keeps: the caller discards the copy.
//
// Arithmetic: values that the track stores as 32-bit floats are rounded to float exactly where
// they are formed; everything else (lengths, cosines, sines, dot products) stays double. Sums run
// x, then y, then z. A double formed from finite floats cannot overflow here, so the only
// overflow is a double that becomes infinite when rounded to float; every such value is checked.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <string>

#include "smooth/Smooth.h"
#include "track/TrackModel.h"

namespace railgrace {

// Rounding an out-of-range double to float must give an infinity that the checks can see.
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559);

struct Point3 {
    float x = 0, y = 0, z = 0;

    bool operator==(const Point3&) const = default;
};

// Working storage of one pass: all-false and all-zero when value-initialised.
struct SmoothWork {
    std::array<bool, kMaxSmoothVertices> straight3d{};
    std::array<bool, kMaxSmoothVertices> straightPlan{};
    std::array<Point3, kMaxSmoothVertices> newCp1{};
    std::array<Point3, kMaxSmoothVertices> newCp2{};
};

// Refuses a track longer than the working storage, before anything is touched.
void CheckVertexLimit(std::size_t vertexCount);

// Fills straight3d and straightPlan for the vertices; changes no vertex.
void MarkStraightSegments(std::span<const BezierVertex> vertices, SmoothWork& work);

// Turns the control points of unmarked vertices towards the plane of their neighbours.
void FlattenControlPoints(std::span<BezierVertex> vertices, SmoothWork& work);

// Moves eligible vertices to equal curvature on both sides and clears every auxFlagC.
void PlaceVertices(std::span<BezierVertex> vertices, const SmoothWork& work);

// The words a fault message uses for each step.
inline constexpr const char* kMarkingStep = "looking for straight segments";
inline constexpr const char* kFlatteningStep = "turning control points";
inline constexpr const char* kPlacingStep = "placing vertices";

// Raises the error of a fault at one vertex: "Smoothing stopped at vertex 17 while <step>:
// <detail>."
[[noreturn]] void ThrowVertexFault(const char* step, std::size_t vertex, const std::string& detail);

// Cyclic neighbours: the path is always a closed loop.
inline std::size_t PrevIndex(std::size_t i, std::size_t n) {
    return i == 0 ? n - 1 : i - 1;
}
inline std::size_t NextIndex(std::size_t i, std::size_t n) {
    return i + 1 == n ? 0 : i + 1;
}

inline Point3 PosOf(const BezierVertex& v) {
    return {v.posX, v.posY, v.posZ};
}
inline Point3 Cp1Of(const BezierVertex& v) {
    return {v.cp1X, v.cp1Y, v.cp1Z};
}
inline Point3 Cp2Of(const BezierVertex& v) {
    return {v.cp2X, v.cp2Y, v.cp2Z};
}

inline void SetPos(BezierVertex& v, Point3 p) {
    v.posX = p.x;
    v.posY = p.y;
    v.posZ = p.z;
}
inline void SetCp1(BezierVertex& v, Point3 p) {
    v.cp1X = p.x;
    v.cp1Y = p.y;
    v.cp1Z = p.z;
}
inline void SetCp2(BezierVertex& v, Point3 p) {
    v.cp2X = p.x;
    v.cp2Y = p.y;
    v.cp2Z = p.z;
}

// A value "stored as a 32-bit float" that the step computes with further. For GCC the empty asm
// hands the rounded float on as an opaque value: GCC 12 at -O2 vectorises "round to float, widen
// to double" and then folds the pair away, computing on with the unrounded double, so -O2 and -O0
// builds gave different tracks. Clang keeps the rounding and vectorises better without the asm.
// The Windows build's mingw-w64 GCC defines the same macros, so it takes the asm too (the
// test same_bits_as_linux holds it to the Linux build's bytes).
inline float ToFloat(double value) {
    float rounded = static_cast<float>(value);
#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__))
    __asm__("" : "+x"(rounded));
#elif defined(__GNUC__) && !defined(__clang__) && defined(__aarch64__)
    __asm__("" : "+w"(rounded));
#endif
    return rounded;
}

// A value "stored as a 32-bit float" that the step only stores: nothing widens it again, so the
// optimiser has nothing to fold.
inline float ToStoredFloat(double value) {
    return static_cast<float>(value);
}

// a - b, each component formed in double and stored as a float. A double carries more than
// twice the bits of a float (53 >= 2 * 24 + 2), so rounding the double difference to float gives
// exactly the float difference: the float subtraction computes the same bits.
inline Point3 Minus(Point3 a, Point3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

inline double Dot(Point3 a, Point3 b) {
    return double{a.x} * double{b.x} + double{a.y} * double{b.y} + double{a.z} * double{b.z};
}

inline double Length(Point3 a) {
    return std::sqrt(Dot(a, a));
}

// The sum of the components in double: finite exactly when all three are, because three finite
// floats cannot add up to more than a double holds. Lets a step test many values with one check.
inline double FiniteProbe(Point3 a) {
    return double{a.x} + double{a.y} + double{a.z};
}

inline bool IsFinite(Point3 a) {
    return std::isfinite(FiniteProbe(a));
}

}  // namespace railgrace
