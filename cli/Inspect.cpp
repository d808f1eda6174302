#include "cli/Inspect.h"

#include <iomanip>
#include <nlohmann/json.hpp>
#include <string_view>

namespace railgrace {
namespace {

// What the records of each chunk kind are called in the listing.
std::string_view RecordWord(std::string_view tag) {
    if (tag == "TRCK" || tag == "SCEN") return "entries";
    if (tag == "BEZR") return "vertices";
    if (tag == "SEGM") return "segments";
    if (tag == "SCOB") return "objects";
    if (tag == "TERA") return "heights";
    return "records";
}

// Nesting depth of every chunk, from the child counts as the walk met them.
std::vector<int> Depths(const std::vector<WalkEntry>& walk) {
    std::vector<int> depths;
    std::vector<std::int64_t> open;  // children still expected, per open level
    for (const WalkEntry& entry : walk) {
        depths.push_back(static_cast<int>(open.size()));
        if (!open.empty()) --open.back();
        if (!entry.skipped && entry.childCount > 0) open.push_back(entry.childCount);
        while (!open.empty() && open.back() <= 0) open.pop_back();
    }
    return depths;
}

std::string VersionText(const TrackModel& model) {
    const auto& v = model.versionBytes;
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
           std::to_string(v[3]);
}

}  // namespace

void PrintInspection(std::ostream& out, const Inspection& in) {
    out << EscapeControls(in.fileName) << ": " << in.fileBytes << " bytes, version bytes "
        << VersionText(in.model) << "\n\n";
    out << std::left << std::setw(18) << "chunk" << std::right << std::setw(12) << "offset"
        << std::setw(12) << "size" << std::setw(10) << "children"
        << "  records\n";
    const std::vector<int> depths = Depths(in.walk);
    for (std::size_t i = 0; i < in.walk.size(); ++i) {
        const WalkEntry& e = in.walk[i];
        const std::string indent(static_cast<std::size_t>(depths[i]) * 2, ' ');
        out << std::left << std::setw(18) << indent + EscapeControls(e.tag) << std::right
            << std::setw(12) << e.offset << std::setw(12) << e.size << std::setw(10) << e.childCount
            << "  ";
        if (e.skipped) {
            out << "(unknown kind, skipped)";
        } else if (e.records >= 0) {
            out << e.records << " " << RecordWord(e.tag);
        }
        out << "\n";
    }
    const TrackModel& m = in.model;
    out << "\ninfo:     \"" << EscapeControls(ToUtf8(m.infoText)) << "\"\n";
    out << "vertices: " << m.bezrRecords.size() << "\n";
    out << "terrain:  ";
    if (m.terrainPresent) {
        out << m.terrainColumns << " x " << m.terrainRows << "\n";
    } else {
        out << "none\n";
    }
}

void PrintInspectionJson(std::ostream& out, const Inspection& in) {
    using nlohmann::json;
    json chunks = json::array();
    const std::vector<int> depths = Depths(in.walk);
    for (std::size_t i = 0; i < in.walk.size(); ++i) {
        const WalkEntry& e = in.walk[i];
        json chunk = {{"tag", e.tag},       {"offset", e.offset},
                      {"size", e.size},     {"children", e.childCount},
                      {"depth", depths[i]}, {"skipped", e.skipped}};
        if (e.records >= 0) chunk["records"] = e.records;
        chunks.push_back(std::move(chunk));
    }
    const TrackModel& m = in.model;
    json result = {
        {"file", in.fileName},
        {"bytes", in.fileBytes},
        {"versionBytes", m.versionBytes},
        {"chunks", std::move(chunks)},
        {"info", ToUtf8(m.infoText)},
        {"vertices", m.bezrRecords.size()},
        {"terrain", m.terrainPresent ? json{{"columns", m.terrainColumns}, {"rows", m.terrainRows}}
                                     : json(nullptr)},
    };
    // A file name or an unknown tag need not be UTF-8; the JSON must be.
    out << result.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
}

}  // namespace railgrace
