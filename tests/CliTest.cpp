// railgrace-cli as a user or a script meets it: exit codes, one-line messages, the files written.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliRun.h"
#include "track/TrackIo.h"

namespace {

namespace fs = std::filesystem;
using railgrace::BezierVertex;
using railgrace::TrackModel;

using railgrace::test::Outcome;
using railgrace::test::Slurp;

class Cli : public railgrace::test::CliFixture {};

// One line on standard error, ending in a newline.
void ExpectOneLine(const std::string& err) {
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

TEST_F(Cli, ResaveOfTheSampleGivesItsBytesBack) {
    // The sample is written by this program, so it is already in the saved form.
    const Outcome o = Run(std::string("resave ") + RAILGRACE_SAMPLE + " -o " + Path("copy"));
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(Slurp(Path("copy.svtrack")), Slurp(RAILGRACE_SAMPLE));
    EXPECT_NE(o.out.find("copy.svtrack"), std::string::npos);
}

TEST_F(Cli, RefusalsExitWithOneAndSayWhy) {
    Write("notes.txt", "SKYV");
    Write("other.svtrack", "RIFF and more bytes");
    struct Case {
        std::string file;
        std::string says;
    };
    for (const Case& c : {Case{Path("missing.svtrack"), "no such file"},
                          Case{Path("notes.txt"), "does not end in .svtrack"},
                          Case{Path("other.svtrack"), "does not begin with"}}) {
        const Outcome o = Run("resave " + c.file + " -o " + Path("out"));
        EXPECT_EQ(o.code, 1) << c.file;
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
        ExpectOneLine(o.err);
        EXPECT_FALSE(fs::exists(Path("out.svtrack")));
    }
}

TEST_F(Cli, DamagedFileExitsWithThreeNamingFileChunkAndByte) {
    const std::string sample = Slurp(RAILGRACE_SAMPLE);
    Write("cut.svtrack", sample.substr(0, 1000));  // ends inside the BEZR vertices
    const Outcome o = Run("inspect " + Path("cut.svtrack"));
    EXPECT_EQ(o.code, 3);
    ExpectOneLine(o.err);
    EXPECT_NE(o.err.find("cut.svtrack: BEZR chunk at byte "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("vertex"), std::string::npos) << o.err;
}

TEST_F(Cli, SaveIntoAMissingFolderExitsWithThreeNamingThePath) {
    const std::string target = Path("no/such/folder/out.svtrack");
    const Outcome o = Run(std::string("resave ") + RAILGRACE_SAMPLE + " -o " + target);
    EXPECT_EQ(o.code, 3);
    ExpectOneLine(o.err);
    EXPECT_NE(o.err.find(target), std::string::npos) << o.err;
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
    for (const std::string args : {"", "frobnicate x.svtrack", "resave only-in.svtrack",
                                   "smooth a.svtrack -o b --passes 0", "inspect --bogus a"}) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.code, 2) << args;
        ExpectOneLine(o.err);
    }
}

TEST_F(Cli, HelpAndVersion) {
    const Outcome help = Run("--help");
    EXPECT_EQ(help.code, 0);
    for (const char* verb : {"smooth", "resave", "inspect"}) {
        EXPECT_NE(help.out.find(verb), std::string::npos) << verb;
    }
    const Outcome version = Run("--version");
    EXPECT_EQ(version.code, 0);
    EXPECT_NE(version.out.find("1.1.0"), std::string::npos) << version.out;
}

TEST_F(Cli, InspectJsonDescribesTheSampleTree) {
    const Outcome o = Run(std::string("inspect --json ") + RAILGRACE_SAMPLE);
    ASSERT_EQ(o.code, 0) << o.err;
    const auto json = nlohmann::json::parse(o.out);

    const std::vector<std::string> preOrder = {"SKYV", "TRCK", "INFO", "BEZR", "SEGM",
                                               "SUPP", "FUND", "RASC", "FREN", "TUBE",
                                               "CATW", "SCEN", "SCOB", "TERA"};
    const std::vector<int> depths = {0, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 1, 2, 1};
    const auto& chunks = json.at("chunks");
    ASSERT_EQ(chunks.size(), preOrder.size());
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].at("tag"), preOrder[i]);
        EXPECT_EQ(chunks[i].at("depth"), depths[i]) << preOrder[i];
        EXPECT_FALSE(chunks[i].at("skipped").get<bool>());
    }
    // A chunk without children ends where the next one begins: tag, size field, size, child count.
    for (std::size_t i = 0; i + 1 < chunks.size(); ++i) {
        if (chunks[i].at("children") != 0) continue;
        const std::int64_t end = chunks[i].at("offset").get<std::int64_t>() +
                                 chunks[i].at("size").get<std::int64_t>() + 12 +
                                 (chunks[i].at("tag") == "INFO" ? 4 : 0);
        EXPECT_EQ(chunks[i + 1].at("offset").get<std::int64_t>(), end) << preOrder[i];
    }
    EXPECT_EQ(json.at("bytes"), fs::file_size(RAILGRACE_SAMPLE));
    EXPECT_EQ(json.at("vertices"), 180);
    EXPECT_EQ(chunks[3].at("records"), 180);
    EXPECT_EQ(json.at("terrain").at("columns"), 24);
    EXPECT_EQ(json.at("terrain").at("rows"), 16);
    EXPECT_FALSE(json.at("info").get<std::string>().empty());
}

TEST_F(Cli, InspectTableIndentsChildren) {
    const Outcome o = Run(std::string("inspect ") + RAILGRACE_SAMPLE);
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("\n      FUND "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("180 vertices"), std::string::npos);
    EXPECT_NE(o.out.find("terrain:  24 x 16"), std::string::npos);
}

TEST_F(Cli, SmoothSavesASmoothedTrack) {
    const Outcome o =
        Run(std::string("smooth ") + RAILGRACE_SAMPLE + " -o " + Path("smooth") + " --passes 2");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("Smoothed 180 vertices in 2 passes"), std::string::npos) << o.out;
    TrackModel before, after;
    ASSERT_TRUE(railgrace::LoadTrack(before, RAILGRACE_SAMPLE));
    ASSERT_TRUE(railgrace::LoadTrack(after, Path("smooth.svtrack")));
    EXPECT_NE(before.bezrRecords, after.bezrRecords);
    after.bezrRecords = before.bezrRecords;
    EXPECT_EQ(before, after);  // nothing but the path changed
}

TEST_F(Cli, SmoothingFaultExitsWithFourAndSavesNothing) {
    TrackModel model;
    model.bezrRecords.resize(3);
    for (std::size_t i = 0; i < 3; ++i) {
        BezierVertex& v = model.bezrRecords[i];
        v.posX = static_cast<float>(i) * 10.0f;
        v.posY = 5;
        v.cp1X = v.posX - 3;
        v.cp1Y = 5;
        v.cp2X = v.posX + 3;
        v.cp2Y = 5;
    }
    model.bezrRecords[1].cp2X = model.bezrRecords[1].posX;  // a handle of no length
    railgrace::SaveTrack(model, Path("kink.svtrack"));
    const Outcome o = Run("smooth " + Path("kink.svtrack") + " -o " + Path("out"));
    EXPECT_EQ(o.code, 4);
    ExpectOneLine(o.err);
    EXPECT_NE(o.err.find("vertex 1"), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(Path("out.svtrack")));
}

}  // namespace
