// Shared helpers of the smoothing tests: layouts, bit-for-bit comparison and fault messages.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <numbers>

#include "smooth/Smooth.h"
#include "smooth/SmoothSteps.h"

namespace railgrace::testing {

// The fields that smoothing carries through untouched are set to what shows a change: a NaN with a
// payload and raised flags. auxFlagC is raised too, so that clearing it shows.
inline BezierVertex MakeVertex(Point3 pos, Point3 cp1, Point3 cp2) {
    const float nan = std::bit_cast<float>(0x7fc01234u);
    return {pos.x, pos.y, pos.z, cp1.x, cp1.y, cp1.z, cp2.x, cp2.y, cp2.z, nan, true, true, true};
}

// A loop round the Y axis, seen at angle a: radius, height, length of the handles in plan and the Y
// component of the handle from the vertex to cp2.
struct LoopShape {
    double radius = 100, height = 50, handle = 20, rise = 0;
};

// n vertices at angles 2 pi k / n with handles along the loop; coordinates rounded to whole numbers
// when `whole`, so that the products of flattening are exact floats.
inline std::vector<BezierVertex> Loop(int n, LoopShape (*shape)(double) = nullptr,
                                      bool whole = false) {
    const auto f = [whole](double v) { return static_cast<float>(whole ? std::round(v) : v); };
    std::vector<BezierVertex> loop;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * std::numbers::pi * k / n;
        const LoopShape s = shape ? shape(a) : LoopShape{};
        const float x = f(s.radius * std::cos(a)), y = f(s.height), z = f(s.radius * std::sin(a));
        const float tx = f(-s.handle * std::sin(a)), ty = f(s.rise), tz = f(s.handle * std::cos(a));
        loop.push_back(MakeVertex({x, y, z}, {x - tx, y - ty, z - tz}, {x + tx, y + ty, z + tz}));
    }
    return loop;
}

// Vertex 1 between vertices 0 and 2, whose other points lie far off: flattening and placing
// vertex 1 read only its own points and the two named control points of its neighbours.
inline std::vector<BezierVertex> Triple(Point3 cp2OfPrev, Point3 cp1, Point3 cp2, Point3 cp1OfNext,
                                        Point3 pos = {3, 57, -2}) {
    return {MakeVertex({-90, 10, 90}, {-100, 10, 100}, cp2OfPrev), MakeVertex(pos, cp1, cp2),
            MakeVertex({90, 10, 90}, cp1OfNext, {100, 10, 100})};
}

// Every field of every vertex as bits, so that NaN payloads and signed zeros count.
inline std::vector<std::uint32_t> Bits(const std::vector<BezierVertex>& vertices) {
    std::vector<std::uint32_t> bits;
    for (const BezierVertex& v : vertices) {
        for (float f : {v.posX, v.posY, v.posZ, v.cp1X, v.cp1Y, v.cp1Z, v.cp2X, v.cp2Y, v.cp2Z})
            bits.push_back(std::bit_cast<std::uint32_t>(f));
        bits.push_back(std::bit_cast<std::uint32_t>(v.auxValue));
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

}  // namespace railgrace::testing
