// railgrace-cli: the track tools from a terminal or a script.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <string>

#include "cli/Inspect.h"
#include "cli/Report.h"
#include "cli/Svg.h"
#include "smooth/Smooth.h"
#include "track/Errors.h"
#include "track/FileIo.h"
#include "track/TrackIo.h"
#include "track/Utf8Path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

using namespace railgrace;

enum ExitCode : int {
    kDone = 0,
    kRefused = 1,  // not a track file: its name or its first tag
    kUsage = 2,
    kDamaged = 3,       // a damaged file, or the file system refused
    kSmoothFailed = 4,  // smoothing refused the track or stopped; nothing was saved
};

// Loads path into model; when the loader refuses, says why in one line.
bool LoadOrExplain(TrackModel& model, const std::string& path, std::vector<WalkEntry>* walk) {
    if (LoadTrack(model, path, walk)) return true;
    std::error_code error;
    if (path.empty()) {
        std::cerr << "No track file was named.\n";
    } else if (!std::filesystem::exists(Utf8Path(path), error)) {
        std::cerr << path << ": there is no such file.\n";
    } else if (!HasTrackExtension(path)) {
        std::cerr << path << " is not a track file: its name does not end in .svtrack.\n";
    } else {
        std::cerr << path << " is not a track file: it does not begin with \"SKYV\".\n";
    }
    return false;
}

int Resave(const std::string& in, const std::string& out) {
    TrackModel model;
    if (!LoadOrExplain(model, in, nullptr)) return kRefused;
    const std::string written = SaveTrack(model, out);
    std::cout << "Saved " << written << ".\n";
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
              << " straight in plan); saved " << written << ".\n";
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
        if (!request.svg.empty()) std::cout << "Drew the picture in " << request.svg << ".\n";
    }
    if (report.smoothError.empty()) return kDone;
    std::cerr << report.smoothError << "\n";
    return kSmoothFailed;
}

int Main(int argc, const char* const* argv) {
    CLI::App app{"Railgrace: smooths the path of Skyvault roller-coaster tracks (.svtrack)."};
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
        ->check(CLI::Range(1, 1000));

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
        ->check(CLI::Range(1, 1000))
        ->needs(smoothFirst);
    report->add_flag("--json", reportRequest.json, "Write JSON instead of a table");
    report->add_option(
        "--svg", reportRequest.svg,
        "Draw the path in plan and profile, with curvature combs, into this SVG file");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << e.what() << "; run \"railgrace-cli --help\" for the usage.\n";
        return kUsage;
    }

    try {
        if (*smooth) return Smooth(in, out, passes);
        if (*resave) return Resave(in, out);
        if (*report) return Report(in, reportRequest);
        return Inspect(in, json);
    } catch (const SmoothError& e) {
        std::cerr << e.what() << " Nothing was saved.\n";
        return kSmoothFailed;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return kDamaged;
    }
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
