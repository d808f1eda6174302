// railgrace-cli as a user or a script meets it: exit codes, one-line messages, the files written.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "CliRun.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

using test::Outcome;
using test::Slurp;

class Cli : public test::CliFixture {};

TEST_F(Cli, FailuresExitWithTheirCodeAndOneLineSayingWhy) {
    const std::string sample = RAILGRACE_SAMPLE, kink = KinkedTrack();
    std::ofstream(dir / "notes.txt") << "SKYV";
    std::ofstream(dir / "other.svtrack") << "RIFF and more bytes";
    std::ofstream(dir / "cut.svtrack") << Slurp(sample).substr(0, 1000);  // inside BEZR's vertices
    std::ofstream(dir / "empty.svtrack") << "";
    const std::string missing = Path("missing.svtrack"), nowhere = Path("no/such/folder/out");
    // The arguments, the exit code and a regular expression for the message.
    const std::tuple<std::string, int, std::string> cases[] = {
        {"resave " + missing + " -o out", 1, missing + ": there is no such file"},
        {"resave notes.txt -o out", 1, "notes.txt is not a track file: its name does not end in"},
        {"resave other.svtrack -o out", 1, "other.svtrack is not a track file: it does not begin"},
        {"report " + missing, 1, missing + ": there is no such file"},
        {"inspect cut.svtrack", 3, "^cut.svtrack: BEZR chunk at byte [0-9]+: .*vertex [0-9]"},
        {"inspect empty.svtrack", 3, "^empty.svtrack: the file ends inside its first tag"},
        {"resave " + sample + " -o " + nowhere, 3,
         nowhere + ".svtrack: (No such file|The system cannot find the path|Path not found)"},
        {"report " + sample + " --svg " + nowhere, 3, nowhere + ": the picture cannot be written"},
        {"smooth " + kink + " -o out", 4, "vertex 1.*Nothing was saved"},
        {"", 2, "^A subcommand is required; run \"railgrace-cli --help\""},
        {"frobnicate x.svtrack", 2, "A subcommand is required"},
        {"resave only-in.svtrack", 2, "--output is required"},
        {"smooth a.svtrack -o out --passes 0", 2, "--passes: Value 0 not in range"},
        {"inspect --bogus a", 2, "not expected: --bogus"},
        {"report --passes 2 " + sample, 2, "--passes requires --smooth"},
        {"report --smooth --passes 0 " + sample, 2, "--passes: Value 0"},
        {"report", 2, "IN is required"},
    };
    for (const auto& [args, code, says] : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.code, code) << args;
        EXPECT_TRUE(std::regex_search(o.err, std::regex(says))) << args << "\n" << o.err;
        test::ExpectOneLine(o.err);
        EXPECT_EQ(o.out, "") << args;
        EXPECT_FALSE(std::filesystem::exists(Path("out.svtrack"))) << args;
    }
}

TEST_F(Cli, HelpAndVersion) {
    const Outcome help = Run("--help");
    EXPECT_EQ(help.code, 0);
    for (const char* verb : {"smooth", "resave", "inspect", "report"})
        EXPECT_NE(help.out.find(verb), std::string::npos) << verb;
    const Outcome version = Run("--version");
    EXPECT_EQ(version.code, 0);
    EXPECT_NE(version.out.find("1.1.0"), std::string::npos) << version.out;
}

TEST_F(Cli, InspectShowsTheSampleTree) {
    const Outcome o = Run(std::string("inspect --json ") + RAILGRACE_SAMPLE);
    ASSERT_EQ(o.code, 0) << o.err;
    const auto json = nlohmann::json::parse(o.out);
    // Each chunk's tag and depth; a chunk without children ends where the next begins: tag, size
    // field, size and child count (and the 4 bytes of INFO that its size leaves out).
    const auto& chunks = json.at("chunks");
    std::string tree;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const auto& c = chunks[i];
        tree += c.at("tag").get<std::string>() + std::to_string(c.at("depth").get<int>()) +
                (c.at("skipped").get<bool>() ? "? " : " ");
        if (i + 1 == chunks.size() || c.at("children") != 0) continue;
        EXPECT_EQ(chunks[i + 1].at("offset"), c.at("offset").get<std::int64_t>() +
                                                  c.at("size").get<std::int64_t>() + 12 +
                                                  (c.at("tag") == "INFO" ? 4 : 0))
            << c;
    }
    EXPECT_EQ(
        tree,
        "SKYV0 TRCK1 INFO2 BEZR2 SEGM2 SUPP2 FUND3 RASC3 FREN3 TUBE3 CATW3 SCEN1 SCOB2 TERA1 ");
    EXPECT_EQ(json.at("bytes"), std::filesystem::file_size(RAILGRACE_SAMPLE));
    EXPECT_EQ(json.at("vertices"), 180);
    EXPECT_EQ(chunks[3].at("records"), 180);
    EXPECT_EQ(json.at("terrain"), (nlohmann::json{{"columns", 24}, {"rows", 16}}));
    EXPECT_FALSE(json.at("info").get<std::string>().empty());

    const Outcome table = Run(std::string("inspect ") + RAILGRACE_SAMPLE);
    ASSERT_EQ(table.code, 0) << table.err;
    for (const char* text : {"\n      FUND ", "180 vertices", "terrain:  24 x 16"})
        EXPECT_NE(table.out.find(text), std::string::npos) << text << "\n" << table.out;
}

TEST_F(Cli, ResaveAndSmoothWriteTheirTracks) {
    // The sample is written by this program, so it is already in the saved form.
    const std::string sample = RAILGRACE_SAMPLE;
    Outcome o = Run("resave " + sample + " -o " + Path("copy"));
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "Saved " + Path("copy.svtrack") + ".\n");
    EXPECT_EQ(Slurp(Path("copy.svtrack")), Slurp(sample));
    o = Run("smooth " + sample + " -o " + Path("smooth") + " --passes 2");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("Smoothed 180 vertices in 2 passes"), std::string::npos) << o.out;
    TrackModel before, after;
    ASSERT_TRUE(LoadTrack(before, sample));
    ASSERT_TRUE(LoadTrack(after, Path("smooth.svtrack")));
    EXPECT_NE(before.bezrRecords, after.bezrRecords);
    after.bezrRecords = before.bezrRecords;
    EXPECT_EQ(before, after);  // nothing but the path changed
}

}  // namespace
}  // namespace railgrace
