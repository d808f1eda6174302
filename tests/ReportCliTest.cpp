// `railgrace-cli report` run as a user runs it: its JSON, its table, its exit codes, and its
// picture as an XML parser reads it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliRun.h"

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

// The sample smoothed twice (its JSON and picture), once (its table) and not at all.
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
    EXPECT_EQ(before.at("summary").at("degenerateJoints"), 0);
    // Vertex 8 begins the lift hill, straight in space; vertex 30 lies inside turn 1.
    EXPECT_EQ(before.at("vertices")[8].at("straightInSpace"), true);
    EXPECT_EQ(before.at("vertices")[30].at("straightInPlan"), false);

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

    // Without --smooth: one path and no figures after.
    const Outcome plain = Run("report --json --svg r.svg " + std::string(RAILGRACE_SAMPLE));
    ASSERT_EQ(plain.code, 0) << plain.err;
    const json bare = json::parse(plain.out);
    EXPECT_FALSE(bare.contains("after") || bare.contains("smoothing"));
    EXPECT_EQ(Count("plan", "path after"), "1");
    EXPECT_EQ(Count("plan", "path before"), "0");
}

// The kinked track lies on one line: every figure that can be computed is 0. Vertex 1, whose
// second handle has no length, has no break, curvature out or jump, and no vertex has marks.
TEST_F(Report, KinkedTrackReportsTheFiguresBeforeAndWhereSmoothingStopped) {
    const Outcome o =
        Run("report --json --smooth --passes 3 --svg " + Path("r.svg") + " " + KinkedTrack());
    EXPECT_EQ(o.code, 4);
    test::ExpectOneLine(o.err);
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

// The picture is saved as a track is: a write that fails half-way (here at a file size limit, as
// on a full disk) leaves the old picture as it was and nothing beside it.
TEST_F(Report, AFailedPictureLeavesTheOldOne) {
    std::ofstream(dir / "r.svg") << "old picture";
    const Outcome o = Shell("cd '" + dir.string() + "' && (trap '' XFSZ; ulimit -f 16; " +
                            RAILGRACE_CLI + " report --svg r.svg " + RAILGRACE_SAMPLE + ")");
    EXPECT_EQ(o.code, 3);
    EXPECT_EQ(o.err, "Cannot save r.svg: File too large.\n");
    EXPECT_EQ(test::Slurp(Path("r.svg")), "old picture");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"r.svg", "stderr.txt"}));
}

}  // namespace
}  // namespace railgrace
