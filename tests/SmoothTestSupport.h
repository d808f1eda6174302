// Shared helpers of the smoothing tests: layouts, bit-for-bit comparison and the tests' own
// step-by-step arithmetic.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "smooth/Smooth.h"
#include "smooth/SmoothSteps.h"

namespace railgrace::testing {

inline BezierVertex MakeVertex(Point3 pos, Point3 cp1, Point3 cp2) {
    BezierVertex v;
    SetPos(v, pos);
    SetCp1(v, cp1);
    SetCp2(v, cp2);
    return v;
}

// A loop round the Y axis, seen at angle a: radius, height, length of the handles in plan and the Y
// component of the handle from the vertex to cp2.
struct LoopShape {
    double radius = 100, height = 50, handle = 20, rise = 0;
};

// n vertices at angles 2 pi k / n with handles along the loop; coordinates rounded to whole numbers
// when `whole`, so that the products of flattening are exact floats.
inline std::vector<BezierVertex> Loop(
    int n, const std::function<LoopShape(double)>& shape = [](double) { return LoopShape{}; },
    bool whole = false) {
    const auto f = [whole](double v) { return static_cast<float>(whole ? std::round(v) : v); };
    std::vector<BezierVertex> vertices;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * std::numbers::pi * k / n;
        const LoopShape s = shape(a);
        const float x = f(s.radius * std::cos(a)), y = f(s.height), z = f(s.radius * std::sin(a));
        const float tx = f(-s.handle * std::sin(a)), ty = f(s.rise), tz = f(s.handle * std::cos(a));
        vertices.push_back(
            MakeVertex({x, y, z}, {x - tx, y - ty, z - tz}, {x + tx, y + ty, z + tz}));
    }
    return vertices;
}

// Irregular and hilly: every step of the pass has work to do on it.
inline LoopShape Hills(double a) {
    return {120 + 30 * std::sin(3 * a), 70 + 40 * std::sin(2 * a + 0.3), 10 + 4 * std::cos(5 * a),
            6 * std::cos(7 * a)};
}

// Vertex 1 between vertices 0 and 2, whose other points lie far off: flattening and placing
// vertex 1 read only its own points and the two named control points of its neighbours.
inline std::vector<BezierVertex> Triple(Point3 cp2OfPrev, Point3 cp1, Point3 cp2, Point3 cp1OfNext,
                                        Point3 pos = {3, 57, -2}) {
    return {MakeVertex({-90, 10, 90}, {-100, 10, 100}, cp2OfPrev), MakeVertex(pos, cp1, cp2),
            MakeVertex({90, 10, 90}, cp1OfNext, {100, 10, 100})};
}

// Vertices 0 and 2 of a Triple marked straight in space and in plan.
inline SmoothWork NeighboursMarked() {
    SmoothWork work{};
    work.straight3d[0] = work.straightPlan[0] = work.straight3d[2] = work.straightPlan[2] = true;
    return work;
}

// Every field of every vertex as bits, so that NaN payloads and signed zeros count.
inline std::vector<std::uint32_t> Bits(const std::vector<BezierVertex>& vertices) {
    std::vector<std::uint32_t> bits;
    for (const BezierVertex& v : vertices) {
        for (float f :
             {v.posX, v.posY, v.posZ, v.cp1X, v.cp1Y, v.cp1Z, v.cp2X, v.cp2Y, v.cp2Z, v.auxValue}) {
            bits.push_back(std::bit_cast<std::uint32_t>(f));
        }
        bits.push_back(v.auxFlagA * 4u + v.auxFlagB * 2u + v.auxFlagC);
    }
    return bits;
}

// The message of the SmoothError that action raises; empty when it raises none.
inline std::string SmoothErrorMessage(const std::function<void()>& action) try {
    action();
    return {};
} catch (const SmoothError& error) {
    return error.what();
}

using F3 = std::array<float, 3>;

inline Point3 P3(F3 a) {
    return {a[0], a[1], a[2]};
}

}  // namespace railgrace::testing
