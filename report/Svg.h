// A small SVG writer, and the report's picture: the path in plan and in profile with curvature
// combs, before and after smoothing.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/Report.h"

namespace railgrace {

// A coordinate or length as SVG wants it: one decimal, never "nan" or "inf" (those become 0, so
// the document stays valid whatever went wrong before).
std::string SvgNumber(double value);

// Text for element content and attribute values: markup characters escaped, control characters
// and bytes that are not UTF-8 replaced.
std::string EscapeXml(std::string_view text);

// Path data, "M x y L x y ...".
class SvgPath {
public:
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    bool Empty() const { return data_.empty(); }
    const std::string& Data() const { return data_; }

private:
    std::string data_;
};

// Elements are appended in drawing order; Finish closes what is still open and puts the document
// together.
class SvgWriter {
public:
    using Attributes = std::initializer_list<std::pair<std::string_view, std::string>>;

    SvgWriter(double width, double height, std::string_view title);
    void Open(std::string_view tag, Attributes attributes = {});
    void Close();
    void Add(std::string_view tag, Attributes attributes);
    void AddText(double x, double y, std::string_view text, Attributes attributes = {});
    // The picture's height, when it is known only once everything is laid out.
    void SetHeight(double height) { height_ = height; }
    std::string Finish();

private:
    void StartTag(std::string_view tag, Attributes attributes);
    void AddAttributes(Attributes attributes);

    double width_, height_;
    std::string title_;
    std::string out_;
    std::vector<std::string> open_;
};

// The whole picture of a report as an SVG document.
std::string ReportPicture(const TrackReport& report);

// Writes the picture to path as a track is saved: a temporary file beside it, flushed and renamed
// over it, so that a failure leaves an old picture as it was and no partial file. Throws
// FileError naming the path and the system's reason.
void WriteReportPicture(const TrackReport& report, const std::string& path);

}  // namespace railgrace
