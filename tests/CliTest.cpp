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
    std::filesystem::create_directory(dir / "folder");
    std::filesystem::copy_file(sample, dir / "t.svtrack");
    std::ofstream(dir / "empty.svtrack") << "";
    const std::string missing = Path("missing.svtrack"), nowhere = Path("no/such/folder/out");
    const std::string none = "\"\"";  // an empty argument, in sh as in cmd.exe
    // The arguments, the exit code and a regular expression for the message.
    std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"resave " + missing + " -o out", 1, missing + ": there is no such file"},
        {"resave notes.txt -o out", 1, "notes.txt is not a track file: its name does not end in"},
        {"resave other.svtrack -o out", 1, "other.svtrack is not a track file: it does not begin"},
        {"inspect cut.svtrack", 3, "^cut.svtrack: BEZR chunk at byte [0-9]+: .*vertex [0-9]"},
        {"inspect empty.svtrack", 3, "^empty.svtrack: the file ends inside its first tag"},
        {"resave " + sample + " -o " + nowhere, 3,
         nowhere + ".svtrack: (No such file|The system cannot find the path|Path not found)"},
        {"report " + sample + " --svg " + nowhere, 3,
         "^Cannot save " + nowhere +
             ": (No such file|The system cannot find the path|Path not found)"},
        {"smooth " + kink + " -o out", 4, "vertex 1.*Nothing was saved"},
        {"", 2, "^A subcommand is required; run \"railgrace-cli --help\""},
        {"frobnicate x.svtrack", 2, "^unknown command 'frobnicate'"},
        {"resave only-in.svtrack", 2, "--output is required"},
        {"resave t.svtrack -o", 2, "^--output needs a value"},
        {"smooth t.svtrack -o out --passes 0", 2, "--passes: 0 is not from 1 to 1000"},
        {"smooth t.svtrack -o out --passes 0x10", 2, "--passes: \"0x10\" is not a whole number"},
        {"inspect --bogus a", 2, "^unknown option '--bogus'"},
        {"inspect -dash.svtrack", 2, "write ./-dash.svtrack or put -- before it"},
        {"inspect " + none, 2, "^IN is empty"},
        {"report --passes 2 " + sample, 2, "--passes requires --smooth"},
        {"report", 2, "IN is required"},
        // Names that name no file, and a picture that would replace the track it shows.
        {"resave t.svtrack -o " + none, 2, "^--output is empty"},
        {"resave t.svtrack -o .", 2, R"(^--output "\." names a folder, not a file)"},
        {"smooth t.svtrack -o folder/", 2, R"(^--output "folder/" names a folder)"},
        {"smooth t.svtrack -o folder", 2, R"(^--output "folder" is a folder)"},
        {"report t.svtrack --svg folder", 2, R"(^--svg "folder" is a folder)"},
        {"report t.svtrack --svg ../" + dir.filename().string() + "/t.svtrack", 2,
         "is the track being read"},
    };
#ifndef _WIN32  // devices, links, names and closed outputs as POSIX has them
    std::filesystem::create_symlink("t.svtrack", dir / "link.svg");
    cases.insert(
        cases.end(),
        {{"inspect 'a\nb\x1B[2J\x9B.svtrack'", 1,
          R"(^a\\nb\\x1B\[2J\\x9B.svtrack: there is no such)"},
         {"report t.svtrack --svg /dev/null", 2, "is a device or a pipe, not a file"},
         {"report t.svtrack --svg link.svg", 2, R"(^--svg "link.svg" is the track being read)"},
         // A full or closed standard output, met in the middle of a long output or at its end.
         {"inspect t.svtrack >/dev/full", 3, "^Cannot write the output"},
         {"report t.svtrack >&-", 3, "^Cannot write the output"},
         {"--version >/dev/full", 3, "^Cannot write the output"}});
#endif
    for (const auto& [args, code, says] : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.code, code) << args;
        EXPECT_TRUE(std::regex_search(o.err, std::regex(says))) << args << "\n" << o.err;
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;  // one line
        EXPECT_EQ(o.out, "") << args;
        EXPECT_FALSE(std::filesystem::exists(Path("out.svtrack"))) << args;
    }
    // Nothing was written: no hidden files such as ".svtrack", and the track is as it was.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    EXPECT_EQ(Slurp(Path("t.svtrack")), Slurp(sample));
}

// What each command says when it succeeds, and the tracks it writes; inspect shows the chunks as
// a tree, in a table and in JSON. Passes are counted in decimal, whatever the leading zeros.
// Control characters in a file's texts and names never reach the terminal raw, and a name that is
// not UTF-8 still gives valid JSON.
TEST_F(Cli, SuccessesSayWhatTheyDid) {
    const std::string sample = RAILGRACE_SAMPLE;
    std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"--help", {"\nUsage: railgrace-cli [OPTIONS]", "smooth", "resave", "inspect", "report"}},
        {"--version", {"1.1.0"}},
        {"inspect " + sample, {"180 vertices", "terrain:  24 x 16"}},
        {"inspect --json " + sample, {"\"depth\": 3,\n      \"offset\": 13345", "\"rows\": 16"}},
        {"resave " + sample + " -o " + Path("copy"), {"Saved " + Path("copy.svtrack") + ".\n"}},
        {"smooth " + sample + " -o smooth --passes 010", {"Smoothed 180 vertices in 10 passes"}},
    };
    TrackModel before, after;
    ASSERT_TRUE(LoadTrack(before, sample));
#ifndef _WIN32  // Windows file names hold neither control characters nor bytes outside UTF-8
    TrackModel odd = before;
    odd.infoText = U"a\nb\r\x1B[2J\a\x7F\x9D";
    // Appended piece by piece: GCC 12 at -O3 takes "'" + a temporary for overlapping copies.
    std::string name = "'";
    name += SaveTrack(odd, Path("x\x1B]0;\a\xFF.svtrack")) + "'";
    const std::string shown = R"(x\x1B]0;\x07\xFF.svtrack: )";
    cases.push_back({"inspect " + name, {shown, R"(info:     "a\nb\r\x1B[2J\x07\x7F\x9D")"}});
    cases.push_back({"report " + name, {shown}});
    EXPECT_EQ(nlohmann::json::parse(Run("inspect --json " + name).out).at("file"),
              "x\x1B]0;\a\xEF\xBF\xBD.svtrack");
#endif
    for (const auto& [args, texts] : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.code, 0) << args << "\n" << o.err;
        EXPECT_EQ(o.out.find_first_of(std::string("\r\x1B\a\x7F\0", 5)), std::string::npos);
        for (const std::string& text : texts)
            EXPECT_NE(o.out.find(text), std::string::npos) << args << ": " << text << "\n" << o.out;
    }
    // Each chunk's tag, indented by its depth, in the order of the file.
    EXPECT_NE(std::regex_replace(Run("inspect " + sample).out, std::regex(" +[0-9].*"), "")
                  .find("\nSKYV\n  TRCK\n    INFO\n    BEZR\n    SEGM\n    SUPP\n      FUND\n      "
                        "RASC\n      FREN\n      TUBE\n      CATW\n  SCEN\n    SCOB\n  TERA\n"),
              std::string::npos);
    // The sample is written by this program, so it is already in the saved form.
    EXPECT_EQ(Slurp(Path("copy.svtrack")), Slurp(sample));
    ASSERT_TRUE(LoadTrack(after, Path("smooth.svtrack")));
    EXPECT_NE(before.bezrRecords, after.bezrRecords);
    after.bezrRecords = before.bezrRecords;
    EXPECT_EQ(before, after);  // nothing but the path changed
}

}  // namespace
}  // namespace railgrace
