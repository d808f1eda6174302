// The report's picture read back: its combs stand where a reader expects them, and its texts
// cannot break the document.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Svg.h"

namespace railgrace {
namespace {

struct Pt {
    double x, y;
};

// The points of the path data of the element with this class inside the group with this id.
std::vector<Pt> PointsOf(const std::string& svg, const std::string& group, const std::string& cls) {
    const std::size_t start = svg.find("<g id=\"" + group + "\"");
    const std::size_t element = svg.find("class=\"" + cls + "\"", start);
    const std::size_t data = svg.find(" d=\"", element) + 4;
    std::istringstream numbers(svg.substr(data, svg.find('"', data) - data));
    std::vector<Pt> points;
    std::string word;
    std::vector<double> values;
    while (numbers >> word) {
        if (word[0] == 'M') word.erase(0, 1);
        values.push_back(std::stod(word));
    }
    for (std::size_t i = 0; i + 1 < values.size(); i += 2)
        points.push_back({values[i], values[i + 1]});
    return points;
}

BezierVertex OnCircle(double angle, double r, double handle) {
    const double c = std::cos(angle), s = std::sin(angle);
    BezierVertex v;
    v.posX = static_cast<float>(r * c), v.posY = 20, v.posZ = static_cast<float>(r * s);
    v.cp1X = static_cast<float>(r * c + handle * s), v.cp1Y = 20;
    v.cp1Z = static_cast<float>(r * s - handle * c);
    v.cp2X = static_cast<float>(r * c - handle * s), v.cp2Y = 20;
    v.cp2Z = static_cast<float>(r * s + handle * c);
    return v;
}

TEST(ReportPicture, CombOfACircleStandsOutsideItAndIsEvenAllRound) {
    // Twelve segments make a circle of nearly constant curvature.
    std::vector<BezierVertex> circle;
    const double step = 2 * std::numbers::pi / 12;
    for (int i = 0; i < 12; ++i)
        circle.push_back(OnCircle(i * step, 50, 50 * 4.0 / 3 * std::tan(step / 4)));
    const std::string svg = ReportPicture(MakeReport("circle.svtrack", circle, 0));

    const std::vector<Pt> path = PointsOf(svg, "plan", "path after");
    const std::vector<Pt> tips = PointsOf(svg, "plan", "comb outline after");
    ASSERT_GT(path.size(), 12u);
    ASSERT_GT(tips.size(), 12u);
    const auto [left, right] =
        std::minmax_element(path.begin(), path.end(), [](Pt a, Pt b) { return a.x < b.x; });
    const auto [top, bottom] =
        std::minmax_element(path.begin(), path.end(), [](Pt a, Pt b) { return a.y < b.y; });
    const Pt centre{(left->x + right->x) / 2, (top->y + bottom->y) / 2};
    double radius = 0;
    for (const Pt& p : path) radius = std::max(radius, std::hypot(p.x - centre.x, p.y - centre.y));
    double shortest = 1e9, longest = 0;
    for (const Pt& p : tips) {
        const double reach = std::hypot(p.x - centre.x, p.y - centre.y) - radius;
        shortest = std::min(shortest, reach);
        longest = std::max(longest, reach);
    }
    EXPECT_GT(shortest, 10);  // outside, and long enough to see
    EXPECT_LT(longest, 1.1 * shortest);
}

// Whether xmllint accepts the document as well-formed XML.
bool WellFormed(const std::string& document) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("railgrace-picture-" + std::to_string(::getpid()) + ".svg");
    std::ofstream(file, std::ios::binary) << document;
    const std::string command =
        std::string(RAILGRACE_XMLLINT) + " --noout '" + file.string() + "' 2>/dev/null";
    const bool accepted = std::system(command.c_str()) == 0;
    std::filesystem::remove(file);
    return accepted;
}

TEST(ReportPicture, EmptyAndTinyTracksGiveValidPictures) {
    for (std::size_t n = 0; n <= 2; ++n) {
        std::vector<BezierVertex> path;
        for (std::size_t i = 0; i < n; ++i)
            path.push_back(OnCircle(3.0 * static_cast<double>(i), 30, 10));
        for (const int passes : {0, 1}) {
            const std::string svg = ReportPicture(MakeReport("tiny.svtrack", path, passes));
            EXPECT_TRUE(WellFormed(svg)) << n << " vertices, " << passes << " passes";
            EXPECT_NE(svg.find("id=\"legend\""), std::string::npos);
        }
    }
}

TEST(ReportPicture, StrayBytesAndMarkupInTextsAreReplacedOrEscaped) {
    SvgWriter writer(10, 10, "bad \xFF\xC3 bytes\x01 and \xED\xA0\x80 a surrogate, \xC3\xA9 kept");
    writer.AddText(1, 2, "\"quoted\" & <b> > 1", {{"class", "a\"b<"}});
    const std::string document = writer.Finish();
    EXPECT_NE(
        document.find("<title>bad \xEF\xBF\xBD\xEF\xBF\xBD bytes\xEF\xBF\xBD and "
                      "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD a surrogate, \xC3\xA9 kept</title>"),
        std::string::npos)
        << document;
    EXPECT_NE(document.find(">&quot;quoted&quot; &amp; &lt;b&gt; &gt; 1</text>"), std::string::npos)
        << document;
    EXPECT_NE(document.find("class=\"a&quot;b&lt;\""), std::string::npos) << document;
    EXPECT_TRUE(WellFormed(document));
}

TEST(ReportPicture, NumbersThatAreNotFiniteNeverReachTheDocument) {
    EXPECT_EQ(SvgNumber(std::nan("")), "0");
    EXPECT_EQ(SvgNumber(-HUGE_VAL), "0");
    EXPECT_EQ(SvgNumber(12.345), "12.3");
    // A track holding such coordinates still gives a picture without them.
    std::vector<BezierVertex> path(3);
    for (int i = 0; i < 3; ++i) path[static_cast<std::size_t>(i)] = OnCircle(i * 2.0, 30, 10);
    path[1].posX = std::numeric_limits<float>::quiet_NaN();
    path[2].cp1Z = std::numeric_limits<float>::infinity();
    const std::string svg = ReportPicture(MakeReport("odd.svtrack", path, 1));
    EXPECT_TRUE(WellFormed(svg));
    // Every coordinate and path is made of digits, points, minus signs, spaces and moves.
    for (const char* attribute : {" d=\"", " x=\"", " y=\"", " width=\"", " height=\""}) {
        for (std::size_t at = svg.find(attribute); at != std::string::npos;
             at = svg.find(attribute, at + 1)) {
            const std::size_t begin = svg.find('"', at) + 1;
            const std::string value = svg.substr(begin, svg.find('"', begin) - begin);
            EXPECT_EQ(value.find_first_not_of("0123456789.- M"), std::string::npos) << value;
        }
    }
}

}  // namespace
}  // namespace railgrace
