// Shared helpers of the smoothing tests: building vertices and comparing them bit for bit.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <functional>
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

inline Point3 Add(Point3 a, Point3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Point3 Sub(Point3 a, Point3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// Every field of a vertex as bits, so that NaN payloads and signed zeros count.
inline std::array<std::uint32_t, 13> Bits(const BezierVertex& v) {
    return {std::bit_cast<std::uint32_t>(v.posX),
            std::bit_cast<std::uint32_t>(v.posY),
            std::bit_cast<std::uint32_t>(v.posZ),
            std::bit_cast<std::uint32_t>(v.cp1X),
            std::bit_cast<std::uint32_t>(v.cp1Y),
            std::bit_cast<std::uint32_t>(v.cp1Z),
            std::bit_cast<std::uint32_t>(v.cp2X),
            std::bit_cast<std::uint32_t>(v.cp2Y),
            std::bit_cast<std::uint32_t>(v.cp2Z),
            std::bit_cast<std::uint32_t>(v.auxValue),
            v.auxFlagA,
            v.auxFlagB,
            v.auxFlagC};
}

inline void ExpectSameBits(const std::vector<BezierVertex>& actual,
                           const std::vector<BezierVertex>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(Bits(actual[i]), Bits(expected[i])) << "vertex " << i;
    }
}

// The message of the SmoothError that action raises; empty when it raises none.
inline std::string SmoothErrorMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const SmoothError& error) {
        return error.what();
    }
    return {};
}

// For the tests' own step-by-step calculations: a volatile float holds exactly a float, whatever
// the optimiser does around it.
inline float StoredFloat(double value) {
    volatile float stored = static_cast<float>(value);
    return stored;
}

}  // namespace railgrace::testing
