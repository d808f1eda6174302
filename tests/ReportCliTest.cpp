// `railgrace-cli report` run as a user runs it: its JSON, its table, its exit codes, and its
// picture as an XML parser reads it.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "CliRun.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using test::Outcome;

class Report : public test::CliFixture {
protected:
    // What the XPath expression gives on the document at path, as xmllint prints it.
    std::string XPath(const std::string& path, const std::string& expression) {
        const Outcome o = Shell(std::string(RAILGRACE_XMLLINT) + " --xpath \"" + expression +
                                "\" '" + path + "'");
        EXPECT_EQ(o.code, 0) << expression << "\n" << o.err;
        return o.out.substr(0, o.out.find_last_not_of('\n') + 1);
    }

    // The number of elements of the picture with this class inside the group with this id.
    std::string Count(const std::string& path, const std::string& group, const std::string& cls) {
        return XPath(path, "count(//*[@id='" + group + "']//*[@class='" + cls + "'])");
    }

    void ExpectWellFormed(const std::string& path) {
        const Outcome o = Shell(std::string(RAILGRACE_XMLLINT) + " --noout '" + path + "'");
        EXPECT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.err, "");
    }

    // Three vertices on a level line; vertex 1's second control point lies on its position, so
    // marking and smoothing stop there.
    std::string KinkedTrack() {
        TrackModel model;
        model.bezrRecords.resize(3);
        for (std::size_t i = 0; i < 3; ++i) {
            BezierVertex& v = model.bezrRecords[i];
            v.posX = static_cast<float>(i) * 10.0f;
            v.posY = v.cp1Y = v.cp2Y = 5;
            v.cp1X = v.posX - 3;
            v.cp2X = v.posX + 3;
        }
        model.bezrRecords[1].cp2X = model.bezrRecords[1].posX;
        return SaveTrack(model, Path("kink.svtrack"));
    }
};

void ExpectOneLine(const std::string& err) {
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

bool IsNumberOrNull(const json& value) {
    return value.is_number() || value.is_null();
}

void ExpectFigures(const json& path, std::size_t vertices) {
    const json& summary = path.at("summary");
    EXPECT_EQ(summary.at("vertices"), vertices);
    for (const char* key :
         {"largestTangentBreakDegrees", "medianTangentBreakDegrees", "largestRelativeJump",
          "medianRelativeJump", "markedStraight", "straightInSpace"}) {
        EXPECT_TRUE(IsNumberOrNull(summary.at(key))) << key;
    }
    EXPECT_TRUE(summary.at("tangentBreaksAboveHalfDegree").is_number_integer());
    EXPECT_TRUE(summary.at("degenerateJoints").is_number_integer());
    ASSERT_EQ(path.at("vertices").size(), vertices);
    for (std::size_t i = 0; i < vertices; ++i) {
        const json& v = path.at("vertices")[i];
        EXPECT_EQ(v.at("index"), i);
        for (const char* key :
             {"tangentBreakDegrees", "curvatureIn", "curvatureOut", "relativeJump"}) {
            EXPECT_TRUE(IsNumberOrNull(v.at(key))) << key;
        }
        EXPECT_TRUE(v.at("straightInSpace").is_boolean() || v.at("straightInSpace").is_null());
        EXPECT_TRUE(v.at("straightInPlan").is_boolean() || v.at("straightInPlan").is_null());
        EXPECT_TRUE(v.at("degenerate").is_array());
    }
}

TEST_F(Report, JsonShowsTheSampleBeforeAndAfterSmoothing) {
    const Outcome o = Run(std::string("report --json --smooth --passes 2 ") + RAILGRACE_SAMPLE);
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.err, "");
    const json report = json::parse(o.out);
    EXPECT_EQ(report.at("file"), "sample.svtrack");
    ExpectFigures(report.at("before"), 180);
    ExpectFigures(report.at("after"), 180);
    EXPECT_TRUE(report.at("before").at("marksError").is_null());
    EXPECT_EQ(report.at("smoothing").at("passes"), 2);
    EXPECT_TRUE(report.at("smoothing").at("error").is_null());

    // The sample's turns have uneven handles; smoothing evens out their curvature, and leaves the
    // straight track marked as it was (the sample's layout: 64 vertices on straights in space).
    const json& before = report.at("before").at("summary");
    const json& after = report.at("after").at("summary");
    EXPECT_GT(before.at("medianRelativeJump").get<double>(), 0.05);
    EXPECT_LT(after.at("medianRelativeJump").get<double>(), 0.001);
    EXPECT_EQ(before.at("straightInSpace"), after.at("straightInSpace"));
    EXPECT_EQ(before.at("degenerateJoints"), 0);
    // Vertex 8 begins the lift hill, straight in space; vertex 30 lies inside turn 1.
    EXPECT_EQ(report.at("before").at("vertices")[8].at("straightInSpace"), true);
    EXPECT_EQ(report.at("before").at("vertices")[30].at("straightInPlan"), false);
}

TEST_F(Report, JsonWithoutSmoothingHasNoAfter) {
    const Outcome o = Run(std::string("report --json ") + RAILGRACE_SAMPLE);
    ASSERT_EQ(o.code, 0) << o.err;
    const json report = json::parse(o.out);
    ExpectFigures(report.at("before"), 180);
    EXPECT_FALSE(report.contains("after"));
    EXPECT_FALSE(report.contains("smoothing"));
}

TEST_F(Report, TableShowsBothSidesAndTheSummary) {
    const Outcome o = Run(std::string("report --smooth ") + RAILGRACE_SAMPLE);
    ASSERT_EQ(o.code, 0) << o.err;
    for (const char* text :
         {"sample.svtrack: 180 vertices, 1 smoothing pass", "before smoothing", "after smoothing",
          "curv. in", "tangent breaks above 0.5°", "median relative curvature jump", "\n   179 "}) {
        EXPECT_NE(o.out.find(text), std::string::npos) << text;
    }
}

TEST_F(Report, SmoothingFaultReportsTheBeforeFiguresAndExitsWithFour) {
    const std::string track = KinkedTrack();
    const Outcome o = Run("report --json --smooth --passes 3 " + track);
    EXPECT_EQ(o.code, 4);
    ExpectOneLine(o.err);
    EXPECT_NE(o.err.find("vertex 1"), std::string::npos) << o.err;
    const json report = json::parse(o.out);
    ExpectFigures(report.at("before"), 3);
    EXPECT_TRUE(report.at("after").is_null());
    EXPECT_EQ(report.at("smoothing").at("failedPass"), 1);
    EXPECT_EQ(report.at("smoothing").at("error").get<std::string>() + "\n", o.err);

    const json& kink = report.at("before").at("vertices")[1];
    EXPECT_TRUE(kink.at("tangentBreakDegrees").is_null());
    EXPECT_TRUE(kink.at("curvatureOut").is_null());
    EXPECT_EQ(kink.at("curvatureIn"), 0);  // it arrives along a straight line
    EXPECT_EQ(kink.at("degenerate")[0], "its second control point lies on its position");
    EXPECT_TRUE(kink.at("straightInSpace").is_null());
    // The other vertices keep their figures: vertex 2 arrives and leaves along +X.
    EXPECT_EQ(report.at("before").at("vertices")[2].at("tangentBreakDegrees"), 0);
    EXPECT_EQ(report.at("before").at("vertices")[2].at("relativeJump"), 0);
    EXPECT_NE(report.at("before").at("marksError").get<std::string>().find("vertex 1"),
              std::string::npos);
    EXPECT_EQ(report.at("before").at("summary").at("degenerateJoints"), 1);
    EXPECT_EQ(o.out.find("NaN"), std::string::npos);
}

TEST_F(Report, MarkingFaultWithoutSmoothingStillReports) {
    const Outcome o = Run("report " + KinkedTrack());
    EXPECT_EQ(o.code, 0) << o.err;
    // Vertex 1 has no break, curvature out or jump; the marks column says that marking stopped.
    EXPECT_NE(o.out.find("\n     1        -          0          -       -  stopped\n"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("\n     0    0.000          0          0    0.0%  stopped\n"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("Straight marks: Smoothing stopped at vertex 1"), std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("Degenerate joint at vertex 1: its second control point lies on its "
                         "position."),
              std::string::npos)
        << o.out;
}

TEST_F(Report, UsageAndFileErrorsKeepTheToolsExitCodes) {
    const std::string sample = RAILGRACE_SAMPLE;
    EXPECT_EQ(Run("report --passes 2 " + sample).code, 2);
    EXPECT_EQ(Run("report --smooth --passes 0 " + sample).code, 2);
    EXPECT_EQ(Run("report").code, 2);
    EXPECT_EQ(Run("report " + Path("missing.svtrack")).code, 1);

    const std::string nowhere = Path("no/such/folder/r.svg");
    const Outcome o = Run("report " + sample + " --svg " + nowhere);
    EXPECT_EQ(o.code, 3);
    ExpectOneLine(o.err);
    EXPECT_NE(o.err.find(nowhere), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
}

TEST_F(Report, PictureOfTheSampleHasPathsCombsMarksAndLegend) {
    const std::string svg = Path("r.svg");
    const Outcome o = Run(std::string("report --smooth --svg ") + svg + " " + RAILGRACE_SAMPLE);
    ASSERT_EQ(o.code, 0) << o.err;
    ExpectWellFormed(svg);
    for (const char* panel : {"plan", "profile"}) {
        SCOPED_TRACE(panel);
        for (const char* cls : {"path before", "path after", "comb bristles before",
                                "comb bristles after", "comb outline before", "comb outline after",
                                "vertex straight-space", "vertex straight-plan"}) {
            EXPECT_EQ(Count(svg, panel, cls), "1") << cls;
        }
    }
    // The path is sampled finely: in plan its turns and helix alone take far more points (of
    // about 12 characters each) than the track has vertices.
    const std::string length =
        XPath(svg, "string-length(//*[@id='plan']/*[@class='path after']/@d)");
    EXPECT_GT(std::stoi(length), 180 * 12 * 3) << length;
    EXPECT_EQ(Count(svg, "plan", "vertex break"), "0");  // the sample has no visible breaks
    const std::string legend = XPath(svg, "string(//*[@id='legend'])");
    for (const char* text : {"path before smoothing", "curvature comb after smoothing",
                             "vertex straight in space", "tangent break above 0.5°"}) {
        EXPECT_NE(legend.find(text), std::string::npos) << text;
    }
    const std::string summary = XPath(svg, "string(//*[@id='summary'])");
    EXPECT_NE(summary.find("median relative curvature jump"), std::string::npos) << summary;
}

TEST_F(Report, PictureWithoutSmoothingDrawsOnePath) {
    const std::string svg = Path("r.svg");
    ASSERT_EQ(Run(std::string("report --json --svg ") + svg + " " + RAILGRACE_SAMPLE).code, 0);
    ExpectWellFormed(svg);
    EXPECT_EQ(Count(svg, "plan", "path after"), "1");
    EXPECT_EQ(Count(svg, "plan", "path before"), "0");
    EXPECT_EQ(Count(svg, "profile", "comb bristles after"), "1");
}

TEST_F(Report, PictureOfAFaultyTrackIsValidAndSaysWhatStopped) {
    const std::string svg = Path("r.svg");
    EXPECT_EQ(Run("report --smooth --svg " + svg + " " + KinkedTrack()).code, 4);
    ExpectWellFormed(svg);
    EXPECT_EQ(Count(svg, "plan", "vertex degenerate"), "1");
    const std::string faults = XPath(svg, "string(//*[@class='fault'][last()])");
    EXPECT_NE(faults.find("pass 1 of 1 stopped. Smoothing stopped at vertex 1"), std::string::npos)
        << faults;
}

TEST_F(Report, MarkupInTheFileNameKeepsThePictureWellFormed) {
    fs::copy_file(RAILGRACE_SAMPLE, dir / "a&b<c>.svtrack");
    const std::string svg = Path("r.svg");
    ASSERT_EQ(Run("report --svg " + svg + " '" + Path("a&b<c>.svtrack") + "'").code, 0);
    ExpectWellFormed(svg);
    EXPECT_EQ(XPath(svg, "string(//*[local-name()='title'])").find("a&b<c>.svtrack"), 0u);
}

}  // namespace
}  // namespace railgrace
