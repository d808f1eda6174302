// `railgrace-cli report` run as a user runs it: its JSON, its table, its exit codes, and its
// picture as an XML parser reads it; and pictures made in the program read back: their combs
// stand where a reader expects them, and their texts and numbers cannot break the document.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <numbers>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "CliRun.h"
#include "report/Svg.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using nlohmann::json;
using test::Outcome;

class Report : public test::CliFixture {
protected:
    // What the XPath expression gives on the picture r.svg, as xmllint prints it; a picture
    // that is not well-formed XML fails the test.
    std::string XPath(const std::string& expression) {
        const Outcome o = Shell(std::string(RAILGRACE_XMLLINT) + " --xpath \"" + expression +
                                "\" '" + Path("r.svg") + "'");
        EXPECT_EQ(o.code, 0) << expression << "\n" << o.err;
        EXPECT_EQ(o.err, "");
        return o.out.substr(0, o.out.find_last_not_of('\n') + 1);
    }

    // The number of elements with this class inside the group with this id.
    std::string Count(const std::string& group, const std::string& cls) {
        return XPath("count(//*[@id='" + group + "']//*[@class='" + cls + "'])");
    }
};

// The sample smoothed twice (its JSON and picture) and once (its table).
TEST_F(Report, TheSampleBeforeAndAfterSmoothing) {
    const Outcome o =
        Run("report --json --smooth --passes 2 --svg " + Path("r.svg") + " " + RAILGRACE_SAMPLE);
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.err, "");
    const json report = json::parse(o.out);
    EXPECT_EQ(report.at("file"), "sample.svtrack");
    EXPECT_EQ(report.at("smoothing"),
              (json{{"passes", 2}, {"error", nullptr}, {"failedPass", nullptr}}));
    const json &before = report.at("before"), &after = report.at("after");
    EXPECT_TRUE(before.at("marksError").is_null());
    EXPECT_EQ(before.at("vertices").size() + after.at("vertices").size(), 360u);
    // The sample's turns have uneven handles; smoothing evens out their curvature, and leaves the
    // straight track marked as it was.
    EXPECT_GT(before.at("summary").at("medianRelativeJump").get<double>(), 0.05);
    EXPECT_LT(after.at("summary").at("medianRelativeJump").get<double>(), 0.001);
    EXPECT_EQ(before.at("summary").at("straightInSpace"),
              after.at("summary").at("straightInSpace"));
    // Vertex 8 begins the lift hill, straight in space.
    EXPECT_EQ(before.at("vertices")[8].at("straightInSpace"), true);

    for (const char* panel : {"plan", "profile"}) {
        for (const char* cls : {"path before", "path after", "comb bristles before",
                                "comb bristles after", "comb outline before", "comb outline after",
                                "vertex straight-space", "vertex straight-plan"}) {
            EXPECT_EQ(Count(panel, cls), "1") << panel << ": " << cls;
        }
    }
    // The path is sampled finely: in plan its turns and helix alone take far more points (of
    // about 12 characters each) than the track has vertices.
    EXPECT_GT(std::stoi(XPath("string-length(//*[@id='plan']/*[@class='path after']/@d)")),
              180 * 12 * 3);
    EXPECT_EQ(Count("plan", "vertex break"), "0");  // the sample has no visible breaks
    EXPECT_NE(XPath("string(//*[@id='legend'])").find("path after 2 passes of smoothing"),
              std::string::npos);
    EXPECT_NE(XPath("string(//*[@id='summary'])").find("median relative curvature jump"),
              std::string::npos);

    // The table of one pass shows both sides and the summary.
    const Outcome table = Run(std::string("report --smooth ") + RAILGRACE_SAMPLE);
    ASSERT_EQ(table.code, 0) << table.err;
    for (const char* text :
         {"sample.svtrack: 180 vertices, 1 smoothing pass\n", "before smoothing", "after smoothing",
          "curv. in", "tangent breaks above 0.5°", "median relative curvature jump", "\n   179 "}) {
        EXPECT_NE(table.out.find(text), std::string::npos) << text;
    }
}

// The kinked track lies on one line: every figure that can be computed is 0. Vertex 1, whose
// second handle has no length, has no break, curvature out or jump, and no vertex has marks.
TEST_F(Report, KinkedTrackReportsTheFiguresBeforeAndWhereSmoothingStopped) {
    const Outcome o =
        Run("report --json --smooth --passes 3 --svg " + Path("r.svg") + " " + KinkedTrack());
    EXPECT_EQ(o.code, 4);
    const json report = json::parse(o.out);
    EXPECT_TRUE(report.at("after").is_null());
    EXPECT_EQ(report.at("smoothing").at("failedPass"), 1);
    EXPECT_EQ(report.at("smoothing").at("error").get<std::string>() + "\n", o.err);
    const json& before = report.at("before");
    EXPECT_EQ(before.at("vertices"), json::parse(R"([
        {"index": 0, "tangentBreakDegrees": 0, "curvatureIn": 0, "curvatureOut": 0,
         "relativeJump": 0, "straightInSpace": null, "straightInPlan": null, "degenerate": []},
        {"index": 1, "tangentBreakDegrees": null, "curvatureIn": 0, "curvatureOut": null,
         "relativeJump": null, "straightInSpace": null, "straightInPlan": null,
         "degenerate": ["its second control point lies on its position"]},
        {"index": 2, "tangentBreakDegrees": 0, "curvatureIn": 0, "curvatureOut": 0,
         "relativeJump": 0, "straightInSpace": null, "straightInPlan": null, "degenerate": []}])"));
    EXPECT_EQ(before.at("summary"), json::parse(R"({"vertices": 3, "largestTangentBreakDegrees": 0,
        "medianTangentBreakDegrees": 0, "tangentBreaksAboveHalfDegree": 0, "largestRelativeJump": 0,
        "medianRelativeJump": 0, "markedStraight": null, "straightInSpace": null,
        "degenerateJoints": 1})"));
    EXPECT_NE(before.at("marksError").get<std::string>().find("vertex 1"), std::string::npos);

    EXPECT_EQ(Count("plan", "vertex degenerate"), "1");
    EXPECT_EQ(XPath("count(//*[@class='fault'][contains(., 'pass 1 of 3 stopped. Smoothing "
                    "stopped at vertex 1')])"),
              "1");

    // Without smoothing the table says that marking stopped: vertex 1 has no break, curvature out
    // or jump, and the marks column says why.
    const Outcome table = Run("report kink.svtrack");
    EXPECT_EQ(table.code, 0) << table.err;
    for (const char* text : {"\n     1        -          0          -       -  stopped\n",
                             "\n     0    0.000          0          0    0.0%  stopped\n",
                             "Straight marks: Smoothing stopped at vertex 1",
                             "Degenerate joint at vertex 1: its second control point lies on its "
                             "position.\n"}) {
        EXPECT_NE(table.out.find(text), std::string::npos) << text << "\n" << table.out;
    }
}

// A vertex at height 20 on the circle of radius r about the vertical axis, at this angle from +X
// towards +Z, with handles of this length along the circle.
BezierVertex OnCircle(double angle, double r = 30, double handle = 10) {
    const auto f = [](double v) { return static_cast<float>(v); };
    const double x = r * std::cos(angle), z = r * std::sin(angle);
    const double dx = -handle * std::sin(angle), dz = handle * std::cos(angle);
    return {f(x), 20, f(z), f(x - dx), 20, f(z - dz), f(x + dx), 20, f(z + dz)};
}

TEST_F(Report, CombOfACircleStandsOutsideItAndIsEvenAllRound) {
    // Twelve segments make a circle of nearly constant curvature.
    std::vector<BezierVertex> circle;
    const double step = 2 * std::numbers::pi / 12;
    for (int i = 0; i < 12; ++i)
        circle.push_back(OnCircle(i * step, 50, 200 / 3.0 * std::tan(step / 4)));
    std::ofstream(dir / "r.svg") << ReportPicture(MakeReport("circle.svtrack", circle, 0));
    // The bristles in plan, each a move to its foot on the path and a line to its tip. The feet
    // lie evenly round the circle, so their mean is its centre.
    std::string text = XPath("string(//*[@id='plan']//*[@class='comb bristles after']/@d)");
    std::replace(text.begin(), text.end(), 'M', ' ');
    std::istringstream numbers(text);
    std::vector<std::array<double, 4>> bristles;
    double cx = 0, cy = 0;
    for (std::array<double, 4> b{}; numbers >> b[0] >> b[1] >> b[2] >> b[3]; cx += b[0], cy += b[1])
        bristles.push_back(b);
    ASSERT_GT(bristles.size(), 12u);
    cx /= static_cast<double>(bristles.size());
    cy /= static_cast<double>(bristles.size());
    std::vector<double> reach;
    for (const auto& [footX, footY, tipX, tipY] : bristles)
        reach.push_back(std::hypot(tipX - cx, tipY - cy) - std::hypot(footX - cx, footY - cy));
    const auto [shortest, longest] = std::minmax_element(reach.begin(), reach.end());
    EXPECT_GT(*shortest, 10);  // outside, and long enough to see
    EXPECT_LT(*longest, 1.1 * *shortest);
}

// The box a text of the picture takes: its width estimated from its length and font size.
struct TextBox {
    double left, right, top, bottom;
    std::string text;
};

// The boxes of the picture's texts, whose attributes the picture writes in this order.
std::vector<TextBox> TextBoxes(const std::string& svg) {
    std::vector<TextBox> boxes;
    const std::regex element(R"re(<text x="([^"]*)" y="([^"]*)"(?: font-size="([^"]*)")?)re"
                             R"re(( text-anchor="end")?[^>]*>([^<]*)</text>)re");
    for (std::sregex_iterator m(svg.begin(), svg.end(), element), last; m != last; ++m) {
        const auto& at = *m;
        // Characters as shown: an entity is one, a UTF-8 character is one whatever its bytes.
        const std::string shown = std::regex_replace(at.str(5), std::regex("&[^;]*;"), "&");
        const auto characters = static_cast<double>(
            std::count_if(shown.begin(), shown.end(), [](char c) { return (c & 0xC0) != 0x80; }));
        const double x = std::stod(at[1]), y = std::stod(at[2]);
        const double size = at[3].matched ? std::stod(at[3]) : 12, width = characters * 0.6 * size;
        const bool end = at[4].matched;
        boxes.push_back(
            {end ? x - width : x, end ? x : x + width, y - size, y + 0.3 * size, shown});
    }
    return boxes;
}

// Sample, kinked, empty and tiny tracks, coordinates that are no numbers and names long, full of
// markup or of bytes that are no UTF-8, smoothed or not: the picture is well-formed, every
// coordinate and path is made of digits, points, minus signs, spaces and moves, and of its
// headings, scales, legend, summary and faults no two texts overlap and none leaves the picture.
TEST_F(Report, EveryTrackGivesAValidPictureWhoseTextsDoNotOverlap) {
    TrackModel sample;
    ASSERT_TRUE(LoadTrack(sample, RAILGRACE_SAMPLE));
    std::vector<BezierVertex> kink = {OnCircle(0), OnCircle(2), OnCircle(4)}, odd = kink;
    kink[1].cp2X = kink[1].posX, kink[1].cp2Z = kink[1].posZ;  // smoothing stops there
    odd[1].posX = std::numeric_limits<float>::quiet_NaN();
    odd[2].cp1Z = std::numeric_limits<float>::infinity();
    const std::string longName = std::string(150, 'n') + " and some words " + std::string(40, 'w');
    const std::pair<std::string, std::vector<BezierVertex>> tracks[] = {
        {"sample.svtrack", sample.bezrRecords},
        {longName, sample.bezrRecords},
        {longName, kink},
        {"a&b<c> \"q\" \xFF\xC3 \xED\xA0\x80.svtrack", {}},
        {"tiny.svtrack", {OnCircle(0)}},
        {"tiny.svtrack", {OnCircle(0), OnCircle(3)}},
        {"odd.svtrack", odd}};
    for (const auto& [name, path] : tracks) {
        for (const int passes : {0, 1, 3}) {
            SCOPED_TRACE(::testing::Message() << path.size() << " vertices, " << passes);
            const std::string svg = ReportPicture(MakeReport(name, path, passes));
            std::ofstream(dir / "r.svg") << svg;
            EXPECT_EQ(XPath("count(//@*[contains(' d x y width height ', concat(' ', name(), ' '))]"
                            "[translate(., '0123456789.- M', '') != ''])"),
                      "0");
            const std::vector<TextBox> boxes = TextBoxes(svg);
            ASSERT_GT(boxes.size(), 20u);
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                const TextBox& a = boxes[i];
                EXPECT_TRUE(a.left >= 0 && a.right <= 1000 && a.top >= 0) << a.text;
                for (std::size_t k = i + 1; k < boxes.size(); ++k) {
                    const TextBox& b = boxes[k];
                    EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom &&
                                 b.top < a.bottom)
                        << "\"" << a.text << "\" and \"" << b.text << "\"";
                }
            }
        }
    }
}

}  // namespace
}  // namespace railgrace
