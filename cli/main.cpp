// railgrace-cli: the track tools from a terminal or a script.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/Inspect.h"
#include "report/Report.h"
#include "report/Svg.h"
#include "smooth/Smooth.h"
#include "track/Errors.h"
#include "track/FileIo.h"
#include "track/Text.h"
#include "track/TrackIo.h"
#include "track/Utf8Path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

using namespace railgrace;
namespace fs = std::filesystem;

enum ExitCode : int {
    kDone = 0,
    kRefused = 1,  // not a track file: its name or its first tag
    kUsage = 2,
    kDamaged = 3,       // a damaged file, or the file system refused
    kSmoothFailed = 4,  // smoothing refused the track or stopped; nothing was saved
};

constexpr int kMaxPasses = 1000;

// One line on standard error. Names and texts in it may come from a file or the command line, so
// no control character reaches the terminal raw.
void Say(const std::string& message) {
    std::cerr << EscapeControls(message) << "\n";
}

// A wrong command line, said in one line with the way to the usage.
int UsageError(const std::string& message) {
    Say(message + "; run \"railgrace-cli --help\" for the usage.");
    return kUsage;
}

// Loads path into model; when the loader refuses, says why in one line.
bool LoadOrExplain(TrackModel& model, const std::string& path, std::vector<WalkEntry>* walk) {
    if (LoadTrack(model, path, walk)) return true;
    std::error_code error;
    if (!fs::exists(Utf8Path(path), error)) {
        Say(path + ": there is no such file.");
    } else if (!HasTrackExtension(path)) {
        Say(path + " is not a track file: its name does not end in .svtrack.");
    } else {
        Say(path + " is not a track file: it does not begin with \"SKYV\".");
    }
    return false;
}

// Why name cannot be a file to write, in words; nothing when it can.
std::optional<std::string> NotAFileToWrite(const std::string& option, const std::string& name) {
    if (name.empty()) return option + " is empty: it needs the name of a file";
    const std::string quoted = option + " \"" + name + "\"";
    const fs::path filename = Utf8Path(name).filename();
    if (filename.empty() || filename == "." || filename == "..") {
        return quoted + " names a folder, not a file";
    }
    std::error_code error;
    const fs::file_status status = fs::status(Utf8Path(name), error);
    if (fs::is_directory(status)) return quoted + " is a folder, not a file";
    // Renaming over a device or a pipe would put a file in its place.
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return quoted + " is a device or a pipe, not a file";
    }
    return std::nullopt;
}

// The same file, also when reached through another path or a link.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(Utf8Path(a), Utf8Path(b), error);
}

int Resave(const std::string& in, const std::string& out) {
    TrackModel model;
    if (!LoadOrExplain(model, in, nullptr)) return kRefused;
    const std::string written = SaveTrack(model, out);
    std::cout << "Saved " << EscapeControls(written) << ".\n";
    return kDone;
}

int Smooth(const std::string& in, const std::string& out, int passes) {
    TrackModel model;
    if (!LoadOrExplain(model, in, nullptr)) return kRefused;
    SmoothSummary summary;
    for (int pass = 0; pass < passes; ++pass) summary = SmoothTrack(model);
    const std::string written = SaveTrack(model, out);
    std::cout << "Smoothed " << summary.vertices << " vertices in " << passes
              << (passes == 1 ? " pass" : " passes") << " (last pass: " << summary.movedVertices
              << " moved, " << summary.turnedVertices << " with turned handles, "
              << summary.straight3d << " straight in space, " << summary.straightPlan
              << " straight in plan); saved " << EscapeControls(written) << ".\n";
    return kDone;
}

int Inspect(const std::string& in, bool json) {
    Inspection inspection;
    if (!LoadOrExplain(inspection.model, in, &inspection.walk)) return kRefused;
    inspection.fileName = Utf8String(Utf8Path(in).filename());
    inspection.fileBytes = std::filesystem::file_size(Utf8Path(in));
    if (json) {
        PrintInspectionJson(std::cout, inspection);
    } else {
        PrintInspection(std::cout, inspection);
    }
    return kDone;
}

struct ReportRequest {
    bool smooth = false;
    int passes = 1;
    bool json = false;
    std::string svg;
};

// Nothing is saved; a smoothing fault still shows the figures before smoothing.
int Report(const std::string& in, const ReportRequest& request) {
    TrackModel model;
    if (!LoadOrExplain(model, in, nullptr)) return kRefused;
    const TrackReport report = MakeReport(Utf8String(Utf8Path(in).filename()), model.bezrRecords,
                                          request.smooth ? request.passes : 0);
    if (!request.svg.empty()) WriteReportPicture(report, request.svg);
    if (request.json) {
        PrintReportJson(std::cout, report);
    } else {
        PrintReport(std::cout, report);
        if (!request.svg.empty()) {
            std::cout << "Drew the picture in " << EscapeControls(request.svg) << ".\n";
        }
    }
    if (report.smoothError.empty()) return kDone;
    Say(report.smoothError);
    return kSmoothFailed;
}

// --passes as a decimal whole number from 1 to kMaxPasses. CLI11 alone would read 010 as octal
// and 0x10 as hexadecimal, and call "abc" out of range.
CLI::Validator PassCount() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
                return "\"" + text + "\" is not a whole number";
            }
            const std::string given = text;
            text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
            if (text == "0" || text.size() > 4 || std::stoi(text) > kMaxPasses) {
                return given + " is not from 1 to " + std::to_string(kMaxPasses);
            }
            return "";
        },
        "1 to " + std::to_string(kMaxPasses), "PassCount");
}

constexpr std::string_view kVerbs[] = {"smooth", "resave", "inspect", "report"};
constexpr std::string_view kValueOptions[] = {"-o", "--output", "--passes", "--svg"};
constexpr std::string_view kFlags[] = {"--json", "--smooth", "-h", "--help", "--version"};

bool OneOf(std::string_view arg, std::span<const std::string_view> names) {
    return std::find(names.begin(), names.end(), arg) != names.end();
}

// The argument that CLI11 took for an option no verb has: a file whose name begins with "-", or
// a misspelt option.
std::optional<std::string> UnknownOption(int argc, const char* const* argv) {
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (OneOf(arg, kValueOptions)) {
            ++i;  // its value may begin with "-"
            continue;
        }
        const std::string_view name = arg.substr(0, arg.find('='));
        if (arg.size() < 2 || arg[0] != '-' || OneOf(name, kValueOptions) || OneOf(arg, kFlags) ||
            arg.starts_with("-o")) {
            continue;
        }
        return std::string(arg);
    }
    return std::nullopt;
}

// A parse error in users' words.
int ExplainParseError(const CLI::ParseError& e, int argc, const char* const* argv) {
    if (argc > 1 && argv[1][0] != '-' && !OneOf(argv[1], kVerbs)) {
        return UsageError("unknown command '" + std::string(argv[1]) +
                          "': the commands are smooth, resave, inspect and report");
    }
    if (const auto unknown = UnknownOption(argc, argv)) {
        std::string message = "unknown option '" + *unknown + "'";
        // What looks like a file name most likely is one.
        if (unknown->find('.') != std::string::npos || !unknown->starts_with("--")) {
            message += "; to name a file that begins with \"-\", write ./" + *unknown +
                       " or put -- before it";
        }
        return UsageError(message);
    }
    const std::string what = e.what();
    if (e.get_name() == "ArgumentMismatch" && what.ends_with(" missing")) {
        return UsageError(what.substr(0, what.find(':')) + " needs a value");
    }
    return UsageError(what);
}

// Whatever went to standard output reached it: a full disk or a closed output is an error.
int FinishOutput(int code) {
    errno = 0;
    std::cout.flush();
    if (std::cout) return code;
    const int error = errno;
    Say(std::string("Cannot write the output: ") +
        (error != 0 ? std::strerror(error) : "standard output is closed or full") + ".");
    return code == kDone ? kDamaged : code;
}

int Main(int argc, const char* const* argv) {
    GuardStandardStreams();
    CLI::App app{"Railgrace: smooths the path of Skyvault roller-coaster tracks (.svtrack).",
                 "railgrace-cli"};
    app.set_version_flag("--version", "railgrace-cli " RAILGRACE_VERSION);
    app.require_subcommand(1);
    // Options begin with "-" on every system: on Windows a name beginning with "/" is a path on
    // the current drive, not an option.
    app.allow_windows_style_options(false);

    std::string in;
    std::string out;
    bool json = false;

    int passes = 1;
    CLI::App* smooth =
        app.add_subcommand("smooth", "Load a track, smooth its path and save it under a new name.");
    smooth->add_option("IN", in, "Track file to read")->required();
    smooth->add_option("-o,--output", out, "Track file to write")->required();
    smooth
        ->add_option("--passes", passes, "How many times to smooth (as pressing the button again)")
        ->transform(PassCount());

    CLI::App* resave = app.add_subcommand("resave", "Load a track and save it again, unchanged.");
    resave->add_option("IN", in, "Track file to read")->required();
    resave->add_option("-o,--output", out, "Track file to write")->required();

    CLI::App* inspect =
        app.add_subcommand("inspect", "Show a track file's chunks as the loader reads them.");
    inspect->add_option("IN", in, "Track file to read")->required();
    inspect->add_flag("--json", json, "Write JSON instead of a table");

    ReportRequest reportRequest;
    CLI::App* report = app.add_subcommand(
        "report", "Show how smoothly the path bends at each vertex, and what smoothing changes.");
    report->add_option("IN", in, "Track file to read")->required();
    CLI::Option* smoothFirst =
        report->add_flag("--smooth", reportRequest.smooth,
                         "Also show the figures after smoothing (nothing is saved)");
    report->add_option("--passes", reportRequest.passes, "How many times --smooth smooths")
        ->transform(PassCount())
        ->needs(smoothFirst);
    report->add_flag("--json", reportRequest.json, "Write JSON instead of a table");
    CLI::Option* svg = report->add_option(
        "--svg", reportRequest.svg,
        "Draw the path in plan and profile, with curvature combs, into this SVG file");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return FinishOutput(app.exit(e));
    } catch (const CLI::CallForAllHelp& e) {
        return FinishOutput(app.exit(e));
    } catch (const CLI::CallForVersion& e) {
        return FinishOutput(app.exit(e));
    } catch (const CLI::ParseError& e) {
        return ExplainParseError(e, argc, argv);
    }

    // Names that can name no file are refused before anything is read or written.
    if (in.empty()) return UsageError("IN is empty: it needs the name of a track file");
    std::optional<std::string> problem;
    if (*smooth || *resave) {
        problem = NotAFileToWrite("--output", out);
        if (!problem) problem = NotAFileToWrite("--output", TrackFileName(out));
    } else if (*svg) {
        problem = NotAFileToWrite("--svg", reportRequest.svg);
        if (!problem && SameFile(in, reportRequest.svg)) {
            problem = "--svg \"" + reportRequest.svg + "\" is the track being read";
        }
    }
    if (problem) return UsageError(*problem);

    int code = kDone;
    try {
        if (*smooth) code = Smooth(in, out, passes);
        if (*resave) code = Resave(in, out);
        if (*report) code = Report(in, reportRequest);
        if (*inspect) code = Inspect(in, json);
    } catch (const SmoothError& e) {
        Say(std::string(e.what()) + " Nothing was saved.");
        code = kSmoothFailed;
    } catch (const std::exception& e) {
        Say(e.what());
        code = kDamaged;
    }
    return FinishOutput(code);
}

}  // namespace

#ifdef _WIN32
// The arguments arrive as UTF-16 (wmain, linked with -municode), so names in any language reach
// the program whole; the ANSI argv of main would have replaced every character outside the code
// page with "?". (A manifest asking for the UTF-8 code page would do the same for argv, but only
// from Windows 10 1903 on.) Output goes out as UTF-8 bytes with plain line ends, as on Linux.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> utf8;
    for (int i = 0; i < argc; ++i) utf8.push_back(Utf8String(std::filesystem::path(argv[i])));
    std::vector<const char*> args;
    for (const std::string& arg : utf8) args.push_back(arg.c_str());
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const UINT console = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
    const int code = Main(argc, args.data());
    ::SetConsoleOutputCP(console);
    return code;
}
#else
int main(int argc, char** argv) {
    RemoveTemporaryFilesOnSignals();
    return Main(argc, argv);
}
#endif
