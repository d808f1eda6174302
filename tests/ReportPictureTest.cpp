// The report's picture read back: its combs stand where a reader expects them, and its texts
// and numbers cannot break the document.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <limits>
#include <numbers>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "report/Svg.h"
#include "track/TrackIo.h"

namespace railgrace {
namespace {

// A vertex at height 20 on the circle of radius r about the vertical axis, at this angle from +X
// towards +Z, with handles of this length along the circle.
BezierVertex OnCircle(double angle, double r = 30, double handle = 10) {
    const auto f = [](double v) { return static_cast<float>(v); };
    const double x = r * std::cos(angle), z = r * std::sin(angle);
    const double dx = -handle * std::sin(angle), dz = handle * std::cos(angle);
    return {f(x), 20, f(z), f(x - dx), 20, f(z - dz), f(x + dx), 20, f(z + dz)};
}

// Whether xmllint accepts the document as well-formed XML.
bool WellFormed(const std::string& document) {
    std::signal(SIGPIPE, SIG_IGN);  // xmllint may stop reading at the first error
    FILE* lint = ::popen((std::string(RAILGRACE_XMLLINT) + " --noout - 2>/dev/null").c_str(), "w");
    std::fwrite(document.data(), 1, document.size(), lint);
    return ::pclose(lint) == 0;
}

TEST(ReportPicture, CombOfACircleStandsOutsideItAndIsEvenAllRound) {
    // Twelve segments make a circle of nearly constant curvature.
    std::vector<BezierVertex> circle;
    const double step = 2 * std::numbers::pi / 12;
    for (int i = 0; i < 12; ++i)
        circle.push_back(OnCircle(i * step, 50, 200 / 3.0 * std::tan(step / 4)));
    const std::string svg = ReportPicture(MakeReport("circle.svtrack", circle, 0));
    // The bristles in plan, each a move to its foot on the path and a line to its tip. The feet
    // lie evenly round the circle, so their mean is its centre.
    const std::size_t element =
        svg.find("class=\"comb bristles after\"", svg.find("<g id=\"plan\""));
    const std::size_t data = svg.find(" d=\"", element) + 4;
    std::string text = svg.substr(data, svg.find('"', data) - data);
    std::replace(text.begin(), text.end(), 'M', ' ');
    std::istringstream numbers(text);
    std::vector<std::array<double, 4>> bristles;
    double cx = 0, cy = 0;
    for (std::array<double, 4> b{}; numbers >> b[0] >> b[1] >> b[2] >> b[3]; cx += b[0], cy += b[1])
        bristles.push_back(b);
    ASSERT_GT(bristles.size(), 12u);
    cx /= static_cast<double>(bristles.size());
    cy /= static_cast<double>(bristles.size());
    double shortest = 1e9, longest = 0;
    for (const auto& [footX, footY, tipX, tipY] : bristles) {
        const double reach = std::hypot(tipX - cx, tipY - cy) - std::hypot(footX - cx, footY - cy);
        shortest = std::min(shortest, reach);
        longest = std::max(longest, reach);
    }
    EXPECT_GT(shortest, 10);  // outside, and long enough to see
    EXPECT_LT(longest, 1.1 * shortest);
}

// The box a text of the picture takes: its width estimated from its length and font size.
struct TextBox {
    double left, right, top, bottom;
    std::string text;
};

// The value of the attribute in an element's opening tag, or absent.
std::string Attribute(const std::string& element, const std::string& name, const char* absent) {
    std::smatch value;
    const std::regex attribute(" " + name + "=\"([^\"]*)\"");
    return std::regex_search(element, value, attribute) ? value[1].str() : absent;
}

std::vector<TextBox> TextBoxes(const std::string& svg) {
    std::vector<TextBox> boxes;
    const std::regex element("<text([^>]*)>([^<]*)</text>");
    for (std::sregex_iterator m(svg.begin(), svg.end(), element), last; m != last; ++m) {
        const std::string attributes = (*m)[1], text = (*m)[2];
        // Characters as shown: an entity is one, a UTF-8 character is one whatever its bytes.
        const std::string shown = std::regex_replace(text, std::regex("&[^;]*;"), "&");
        const auto characters = static_cast<double>(
            std::count_if(shown.begin(), shown.end(), [](char c) { return (c & 0xC0) != 0x80; }));
        const double x = std::stod(Attribute(attributes, "x", "0"));
        const double y = std::stod(Attribute(attributes, "y", "0"));
        const double size = std::stod(Attribute(attributes, "font-size", "12"));
        const double width = characters * 0.6 * size;
        const bool end = Attribute(attributes, "text-anchor", "start") == "end";
        boxes.push_back({end ? x - width : x, end ? x : x + width, y - size, y + 0.3 * size, text});
    }
    return boxes;
}

// Sample, kinked, empty and tiny tracks, coordinates that are no numbers and names long, full of
// markup or of bytes that are no UTF-8, smoothed or not: the picture is well-formed, every
// coordinate and path is made of digits, points, minus signs, spaces and moves, and of its
// headings, scales, legend, summary and faults no two texts overlap and none leaves the picture.
TEST(ReportPicture, EveryTrackGivesAValidPictureWhoseTextsDoNotOverlap) {
    EXPECT_EQ(SvgNumber(12.345), "12.3");
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
            EXPECT_TRUE(WellFormed(svg));
            for (const char* attribute : {" d=\"", " x=\"", " y=\"", " width=\"", " height=\""}) {
                for (std::size_t at = svg.find(attribute); at != std::string::npos;
                     at = svg.find(attribute, at + 1)) {
                    const std::size_t begin = svg.find('"', at) + 1;
                    const std::string value = svg.substr(begin, svg.find('"', begin) - begin);
                    EXPECT_EQ(value.find_first_not_of("0123456789.- M"), std::string::npos)
                        << value;
                }
            }
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
