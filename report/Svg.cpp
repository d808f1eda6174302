#include "report/Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>

#include "track/FileIo.h"

namespace railgrace {

// ---- The writer ----

std::string SvgNumber(double value) {
    if (!std::isfinite(value)) return "0";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", std::clamp(value, -1e7, 1e7));
    return text;
}

namespace {

// Length of the well-formed UTF-8 character at the start of text that XML admits; 0 when there
// is none.
std::size_t XmlCharacterLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return lead >= 0x20 || lead == '\t' || lead == '\n' ? 1 : 0;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range; the others are 80..BF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    }
    if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    if (lead == 0xEF && byte(1) == 0xBF && byte(2) >= 0xBE) return 0;  // U+FFFE, U+FFFF
    return length;
}

// Appends the pieces one by one. Chains of std::string operator+ on temporaries set off GCC 12's
// -Wrestrict inside std::string at -O3 (a false alarm, GCC bug 105329); appending piece by piece
// is also the cheaper way to grow a long document.
void Append(std::string& out, std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) out.append(piece);
}

}  // namespace

std::string EscapeXml(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = XmlCharacterLength(text.substr(i));
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD, the replacement character
            ++i;
            continue;
        }
        switch (text[i]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

void SvgPath::MoveTo(double x, double y) {
    Append(data_, {data_.empty() ? "M" : " M", SvgNumber(x), " ", SvgNumber(y)});
}

void SvgPath::LineTo(double x, double y) {
    Append(data_, {" ", SvgNumber(x), " ", SvgNumber(y)});  // after M, further pairs draw lines
}

SvgWriter::SvgWriter(double width, double height, std::string_view title)
    : width_(width), height_(height), title_(title) {
    open_.emplace_back("svg");  // opened in Finish, once the height is known
}

void SvgWriter::StartTag(std::string_view tag, Attributes attributes) {
    out_.append(open_.size() * 2, ' ');
    Append(out_, {"<", tag});
    AddAttributes(attributes);
}

void SvgWriter::AddAttributes(Attributes attributes) {
    for (const auto& [name, value] : attributes)
        Append(out_, {" ", name, "=\"", EscapeXml(value), "\""});
}

void SvgWriter::Open(std::string_view tag, Attributes attributes) {
    StartTag(tag, attributes);
    out_ += ">\n";
    open_.emplace_back(tag);
}

void SvgWriter::Close() {
    if (open_.empty()) return;
    const std::string tag = open_.back();
    open_.pop_back();
    out_.append(open_.size() * 2, ' ');
    Append(out_, {"</", tag, ">\n"});
}

void SvgWriter::Add(std::string_view tag, Attributes attributes) {
    StartTag(tag, attributes);
    out_ += "/>\n";
}

void SvgWriter::AddText(double x, double y, std::string_view text, Attributes attributes) {
    StartTag("text", {{"x", SvgNumber(x)}, {"y", SvgNumber(y)}});
    AddAttributes(attributes);
    Append(out_, {">", EscapeXml(text), "</text>\n"});
}

std::string SvgWriter::Finish() {
    while (open_.size() > 1) Close();
    std::string body = std::move(out_);
    open_.clear();
    out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string w = SvgNumber(width_), h = SvgNumber(height_);
    Open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                 {"width", w},
                 {"height", h},
                 {"viewBox", "0 0 " + w + " " + h},
                 {"font-family", "sans-serif"},
                 {"font-size", "12"}});
    Add("rect", {{"width", w}, {"height", h}, {"fill", "white"}});
    StartTag("title", {});
    Append(out_, {">", EscapeXml(title_), "</title>\n", body});
    Close();
    return std::move(out_);
}

// ---- The picture ----

namespace {

constexpr double kWidth = 1000;
constexpr double kMargin = 20;
constexpr double kPanelWidth = kWidth - 2 * kMargin;
constexpr double kPad = 50;                  // room around a curve for its comb
constexpr double kBristle = 24;              // a typical bristle, for the curvature of most samples
constexpr double kLongestBristle = 48;       // longer ones are cut, to stay in the panel
constexpr double kPlanHeight = 560;          // at most, panel included
constexpr double kProfileCurveHeight = 150;  // at most, panel excluded
constexpr double kLine = 18;                 // the pitch of 12-pixel text
constexpr double kFontSize = 12, kTitleSize = 16;
// A character's width as a share of the font size: generous for a sans-serif font, so that texts
// laid out by it never run into each other.
constexpr double kCharacterWidth = 0.6;
constexpr int kSamplesPerSegment = 10;

struct Style {
    const char* name;
    const char* path;
    const char* comb;
};
constexpr Style kBefore{"before", "#8a8a8a", "#c4c4c4"};
constexpr Style kAfter{"after", "#1565c0", "#ef6c00"};

// Characters of UTF-8 text, whatever their bytes.
std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The first count characters of UTF-8 text, as bytes.
std::size_t BytesOfCharacters(std::string_view text, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t seen = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && seen++ == count) break;
    }
    return at;
}

// text in lines that fit width at this font size: broken between words, and inside a word only
// where the word alone is longer than a line (a long file name).
std::vector<std::string> Wrap(std::string_view text, double width, double size) {
    const auto fits = static_cast<std::size_t>(std::max(1.0, width / (kCharacterWidth * size)));
    std::vector<std::string> lines;
    std::string line;
    std::size_t used = 0;  // characters in line
    const auto lineDone = [&] {
        lines.push_back(std::move(line));
        line.clear();
        used = 0;
    };
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        std::string_view word = text.substr(start, end - start);
        start = end + 1;
        while (CharacterCount(word) > fits) {
            if (used > 0) lineDone();
            const std::size_t cut = BytesOfCharacters(word, fits);
            line = word.substr(0, cut);
            lineDone();
            word.remove_prefix(cut);
        }
        const std::size_t count = CharacterCount(word);
        if (used > 0 && used + 1 + count > fits) lineDone();
        if (used > 0) {
            line += ' ';
            ++used;
        }
        line += word;
        used += count;
    }
    if (used > 0 || lines.empty()) lines.push_back(std::move(line));
    return lines;
}

// Writes text in lines of at most width from the top of free space at top, and returns the new
// top of free space: each line takes one and a half times its font size.
double AddLines(SvgWriter& svg, double x, double top, std::string_view text, double size,
                SvgWriter::Attributes attributes, double width = kPanelWidth) {
    for (const std::string& line : Wrap(text, width, size)) {
        svg.AddText(x, top + 1.2 * size, line, attributes);
        top += 1.5 * size;
    }
    return top;
}

double LinesHeight(std::string_view text, double size, double width = kPanelWidth) {
    return 1.5 * size * static_cast<double>(Wrap(text, width, size).size());
}

// A sample as a view draws it: the curve (u, w), its direction, and its curvature, positive when
// it turns from +u towards +w.
struct Drawn {
    double u, w, du, dw, curvature;
};

// A panel of the picture: places (u, w) at one scale for both, w growing downwards (plan, where
// it is Z) or upwards (profile, where it is height).
struct View {
    std::string id, heading;
    std::function<Drawn(const PathSample&)> draw;
    bool wUp = false;
    double top = 0, height = 0;
    double originX = 0, originY = 0, scale = 1;
    double combScale = 0;      // picture units per unit of curvature; 0 draws no comb
    double combReference = 0;  // the curvature drawn kBristle long
    double markerSize = 1;

    double X(double u) const { return originX + scale * u; }
    double Y(double w) const { return wUp ? originY - scale * w : originY + scale * w; }
};

struct Bounds {
    double minU = std::numeric_limits<double>::infinity(), maxU = -minU;
    double minW = minU, maxW = -minU;

    void Add(double u, double w) {
        if (!std::isfinite(u) || !std::isfinite(w)) return;
        minU = std::min(minU, u);
        maxU = std::max(maxU, u);
        minW = std::min(minW, w);
        maxW = std::max(maxW, w);
    }
    bool Empty() const { return minU > maxU; }
    double SpanU() const { return Empty() ? 0 : maxU - minU; }
    double SpanW() const { return Empty() ? 0 : maxW - minW; }
};

using SampleSets = std::vector<const std::vector<PathSample>*>;

Bounds BoundsOf(const SampleSets& sets, const std::function<Drawn(const PathSample&)>& draw) {
    Bounds b;
    for (const auto* samples : sets) {
        for (const PathSample& s : *samples) {
            const Drawn d = draw(s);
            b.Add(d.u, d.w);
        }
    }
    return b;
}

// Scales the comb so that most bristles are about kBristle long: a few very sharp spots would
// otherwise shrink every other bristle to nothing.
void ScaleComb(View& view, const SampleSets& sets) {
    std::vector<double> curvatures;
    for (const auto* samples : sets) {
        for (const PathSample& s : *samples) {
            const double k = std::abs(view.draw(s).curvature);
            if (std::isfinite(k) && k > 0) curvatures.push_back(k);
        }
    }
    if (curvatures.empty()) return;
    const auto at = curvatures.begin() + static_cast<std::ptrdiff_t>(curvatures.size() * 95 / 100);
    std::nth_element(curvatures.begin(), at, curvatures.end());
    view.combReference = *at;
    view.combScale = kBristle / *at;
}

View PlanView(const SampleSets& sets, double top) {
    View v{"plan", "Plan, seen from above: X to the right, Z downwards", [](const PathSample& s) {
               return Drawn{s.point.x, s.point.z, s.velocity.x, s.velocity.z, s.planCurvature};
           }};
    const Bounds b = BoundsOf(sets, v.draw);
    const double room = kPanelWidth - 2 * kPad, roomHeight = kPlanHeight - 2 * kPad;
    if (b.SpanU() > 0 || b.SpanW() > 0) {
        v.scale = std::min(b.SpanU() > 0 ? room / b.SpanU() : HUGE_VAL,
                           b.SpanW() > 0 ? roomHeight / b.SpanW() : HUGE_VAL);
    }
    v.top = top;
    v.height = b.SpanW() * v.scale + 2 * kPad;
    v.originX =
        kMargin + kPad + (room - b.SpanU() * v.scale) / 2 - (b.Empty() ? 0 : b.minU) * v.scale;
    v.originY = top + kPad - (b.Empty() ? 0 : b.minW) * v.scale;
    ScaleComb(v, sets);
    return v;
}

// The largest of 1, 2, 3 ... 9, 10, 20, 50, 100, 200, 500, 1000 that is at most limit, and at
// least 1.
double NiceFactorUpTo(double limit) {
    if (limit < 10) return std::max(1.0, std::floor(limit));
    double nice = 10;
    for (double decade = 1; decade <= 1000; decade *= 10) {
        for (const double step : {1.0, 2.0, 5.0}) {
            if (step * decade <= limit && step * decade <= 1000) nice = step * decade;
        }
    }
    return nice;
}

View ProfileView(const SampleSets& sets, double top) {
    const auto raw = [](const PathSample& s) { return Drawn{s.distance, s.point.y, 0, 0, 0}; };
    const Bounds b = BoundsOf(sets, raw);
    const double room = kPanelWidth - 2 * kPad;
    double scale = b.SpanU() > 0 ? room / b.SpanU() : 1;
    double exaggeration = 1;
    if (b.SpanW() * scale > kProfileCurveHeight) {
        scale = kProfileCurveHeight / b.SpanW();
    } else if (b.SpanW() > 0) {
        exaggeration = NiceFactorUpTo(kProfileCurveHeight / (b.SpanW() * scale));
    }
    std::string heading = "Profile: height Y against distance along the path";
    if (exaggeration > 1)
        heading +=
            ", heights drawn " + std::to_string(static_cast<int>(exaggeration)) + " times taller";
    View v{"profile", heading, [exaggeration](const PathSample& s) {
               return Drawn{s.distance, exaggeration * s.point.y,
                            std::hypot(s.velocity.x, s.velocity.y, s.velocity.z),
                            exaggeration * s.velocity.y, s.profileCurvature};
           }};
    v.wUp = true;
    v.markerSize = 0.6;  // vertices lie closer together along the distance than in plan
    v.scale = scale;
    v.top = top;
    v.height = b.SpanW() * exaggeration * scale + 2 * kPad;
    v.originX = kMargin + kPad;
    v.originY = top + kPad + (b.Empty() ? 0 : b.maxW) * exaggeration * scale;
    ScaleComb(v, sets);
    return v;
}

using Px = std::pair<double, double>;  // a point of the picture
using Run = std::vector<Px>;           // points joined by a line

bool Finite(const Drawn& d) {
    return std::isfinite(d.u) && std::isfinite(d.w);
}

// The tip of the bristle at d, on the outside of the bend: the left normal (-dw, du) points
// inside where the curvature is positive.
std::optional<Px> BristleTip(const View& v, const Drawn& d) {
    const double speed = std::hypot(d.du, d.dw);
    const double length = std::clamp(d.curvature * v.combScale, -kLongestBristle, kLongestBristle);
    if (!std::isfinite(length) || !Finite(d) || !(speed > 0) || !std::isfinite(speed)) {
        return std::nullopt;
    }
    const double reach = length / v.scale / speed;
    return Px{v.X(d.u + d.dw * reach), v.Y(d.w - d.du * reach)};
}

double DistanceToSegment(Px p, Px a, Px b) {
    const double dx = b.first - a.first, dy = b.second - a.second;
    const double lengthSquared = dx * dx + dy * dy;
    double t = 0;
    if (lengthSquared > 0) {
        t = ((p.first - a.first) * dx + (p.second - a.second) * dy) / lengthSquared;
        t = std::clamp(t, 0.0, 1.0);
    }
    return std::hypot(p.first - (a.first + t * dx), p.second - (a.second + t * dy));
}

// Adds the run as one line, leaving out every point that lies within a fiftieth of a pixel of
// the line drawn instead (so that the picture stays smooth when zoomed in): straight track
// needs two points, not dozens.
void AddRun(SvgPath& path, const Run& run) {
    constexpr double kTolerance = 0.02;
    if (run.empty()) return;
    path.MoveTo(run[0].first, run[0].second);
    std::size_t kept = 0;
    for (std::size_t i = 1; i < run.size(); ++i) {
        if (i + 1 < run.size()) {
            bool onLine = true;
            for (std::size_t k = kept + 1; k <= i && onLine; ++k) {
                onLine = DistanceToSegment(run[k], run[kept], run[i + 1]) < kTolerance;
            }
            if (onLine) continue;
        }
        path.LineTo(run[i].first, run[i].second);
        kept = i;
    }
}

// The curve or its comb's outline as runs of points, broken where a point cannot be drawn.
std::vector<Run> Runs(const View& v, const std::vector<PathSample>& samples, bool comb) {
    std::vector<Run> runs(1);
    for (const PathSample& s : samples) {
        const Drawn d = v.draw(s);
        const std::optional<Px> p = comb        ? BristleTip(v, d)
                                    : Finite(d) ? std::optional(Px{v.X(d.u), v.Y(d.w)})
                                                : std::nullopt;
        if (p) {
            runs.back().push_back(*p);
        } else if (!runs.back().empty()) {
            runs.emplace_back();
        }
    }
    return runs;
}

void DrawBristles(SvgWriter& svg, const View& v, const std::vector<PathSample>& samples,
                  const Style& style) {
    if (v.combScale == 0) return;
    SvgPath bristles;
    for (const PathSample& s : samples) {
        const Drawn d = v.draw(s);
        const std::optional<Px> tip = BristleTip(v, d);
        const Px foot{v.X(d.u), v.Y(d.w)};
        if (!tip || std::hypot(tip->first - foot.first, tip->second - foot.second) < 0.3) continue;
        bristles.MoveTo(foot.first, foot.second);
        bristles.LineTo(tip->first, tip->second);
    }
    svg.Add("path", {{"class", std::string("comb bristles ") + style.name},
                     {"d", bristles.Data()},
                     {"stroke", style.comb},
                     {"stroke-width", "0.5"}});
}

void DrawOutline(SvgWriter& svg, const View& v, const std::vector<PathSample>& samples,
                 const Style& style) {
    if (v.combScale == 0) return;
    SvgPath outline;
    for (const Run& run : Runs(v, samples, true)) AddRun(outline, run);
    svg.Add("path", {{"class", std::string("comb outline ") + style.name},
                     {"d", outline.Data()},
                     {"fill", "none"},
                     {"stroke", style.comb},
                     {"stroke-width", "1"}});
}

void DrawCurve(SvgWriter& svg, const View& v, const std::vector<PathSample>& samples,
               const Style& style) {
    SvgPath line;
    for (const Run& run : Runs(v, samples, false)) AddRun(line, run);
    svg.Add("path", {{"class", std::string("path ") + style.name},
                     {"d", line.Data()},
                     {"fill", "none"},
                     {"stroke", style.path},
                     {"stroke-width", "1.5"},
                     {"stroke-linejoin", "round"}});
}

// How a vertex is marked in the picture; the first that applies.
enum class VertexKind { kDegenerate, kBreak, kStraightInSpace, kStraightInPlan, kPlain };

struct KindStyle {
    VertexKind kind;
    const char* name;
    const char* fill;
    const char* stroke;
    const char* legend;
};
constexpr KindStyle kKinds[] = {
    {VertexKind::kDegenerate, "degenerate", "none", "#c62828",
     "degenerate joint (figures missing)"},
    {VertexKind::kBreak, "break", "none", "#c62828", "tangent break above 0.5°"},
    {VertexKind::kStraightInSpace, "straight-space", "#263238", "none",
     "vertex straight in space: smoothing leaves it"},
    {VertexKind::kStraightInPlan, "straight-plan", "white", "#263238",
     "vertex straight in plan only"},
    {VertexKind::kPlain, "plain", "#263238", "none", "other vertex"},
};

VertexKind KindOf(const VertexFigures& f) {
    if (!f.degenerate.empty()) return VertexKind::kDegenerate;
    if (f.tangentBreak && *f.tangentBreak > kVisibleBreakDegrees) return VertexKind::kBreak;
    if (f.straight && f.straight->inSpace) return VertexKind::kStraightInSpace;
    if (f.straight && f.straight->inPlan) return VertexKind::kStraightInPlan;
    return VertexKind::kPlain;
}

void AddMarker(SvgPath& path, VertexKind kind, double x, double y, double size) {
    const auto square = [&](double half) {
        path.MoveTo(x - half, y - half);
        path.LineTo(x + half, y - half);
        path.LineTo(x + half, y + half);
        path.LineTo(x - half, y + half);
        path.LineTo(x - half, y - half);
    };
    switch (kind) {
        case VertexKind::kDegenerate:
            path.MoveTo(x - 5 * size, y - 5 * size);
            path.LineTo(x + 5 * size, y + 5 * size);
            path.MoveTo(x - 5 * size, y + 5 * size);
            path.LineTo(x + 5 * size, y - 5 * size);
            break;
        case VertexKind::kBreak:  // a ring, as a polygon fine enough to look round
            for (int k = 0; k <= 16; ++k) {
                const double a = k * std::numbers::pi / 8;
                const double px = x + 6 * size * std::cos(a), py = y + 6 * size * std::sin(a);
                k == 0 ? path.MoveTo(px, py) : path.LineTo(px, py);
            }
            break;
        case VertexKind::kStraightInSpace:
        case VertexKind::kStraightInPlan:
            square(3 * size);
            break;
        case VertexKind::kPlain:
            square(1.2 * size);
            break;
    }
}

void AddMarkerElement(SvgWriter& svg, const KindStyle& k, const SvgPath& path) {
    svg.Add("path", {{"class", std::string("vertex ") + k.name},
                     {"d", path.Data()},
                     {"fill", k.fill},
                     {"stroke", k.stroke},
                     {"stroke-width", "1.2"}});
}

void DrawVertices(SvgWriter& svg, const View& v, const PathFigures& path,
                  const std::vector<PathSample>& samples) {
    for (const KindStyle& k : kKinds) {
        SvgPath marks;
        for (std::size_t i = 0; i < path.figures.size(); ++i) {
            if (KindOf(path.figures[i]) != k.kind) continue;
            const Drawn d = v.draw(samples[i * (kSamplesPerSegment + 1)]);
            if (std::isfinite(d.u) && std::isfinite(d.w))
                AddMarker(marks, k.kind, v.X(d.u), v.Y(d.w), v.markerSize);
        }
        if (!marks.Empty()) AddMarkerElement(svg, k, marks);
    }
}

std::string CombCaption(const View& v) {
    if (v.combScale == 0) return "no curvature to comb";
    char text[160];
    std::snprintf(text, sizeof text,
                  "comb: a bristle of %.0f px is a curvature of %.4g per metre (radius %.4g m)",
                  kBristle, v.combReference, 1 / v.combReference);
    return text;
}

struct Drawing {
    const TrackReport& report;
    std::vector<PathSample> before, after;
};

// The heading and the comb's scale, each on lines of its own, so that neither can run into the
// other whatever the figures.
double HeadingsHeight(const View& v) {
    return LinesHeight(v.heading, kFontSize) + LinesHeight(CombCaption(v), kFontSize) + 4;
}

// Moves the panel so that its headings begin at top.
void PlaceBelow(View& v, double top) {
    const double by = top + HeadingsHeight(v) - v.top;
    v.top += by;
    v.originY += by;
}

void DrawPanel(SvgWriter& svg, const View& v, const Drawing& d) {
    svg.Open("g", {{"id", v.id}});
    const double captionTop = AddLines(svg, kMargin, v.top - HeadingsHeight(v), v.heading,
                                       kFontSize, {{"font-weight", "bold"}});
    AddLines(svg, kMargin, captionTop, CombCaption(v), kFontSize, {});
    svg.Add("rect", {{"x", SvgNumber(kMargin)},
                     {"y", SvgNumber(v.top)},
                     {"width", SvgNumber(kPanelWidth)},
                     {"height", SvgNumber(v.height)},
                     {"fill", "none"},
                     {"stroke", "#dddddd"}});
    // Both combs' bristles below both outlines, so that neither comb hides the other's shape.
    const bool smoothed = d.report.after.has_value();
    const std::vector<PathSample>& shown = smoothed ? d.after : d.before;
    if (smoothed) DrawBristles(svg, v, d.before, kBefore);
    DrawBristles(svg, v, shown, kAfter);
    if (smoothed) DrawOutline(svg, v, d.before, kBefore);
    DrawOutline(svg, v, shown, kAfter);
    if (smoothed) DrawCurve(svg, v, d.before, kBefore);
    DrawCurve(svg, v, shown, kAfter);
    DrawVertices(svg, v, smoothed ? *d.report.after : d.report.before, shown);
    svg.Close();
}

void AddLineSwatch(SvgWriter& svg, double x, double y, const char* colour, double width) {
    SvgPath line;
    line.MoveTo(x, y - 4);
    line.LineTo(x + 30, y - 4);
    svg.Add("path", {{"d", line.Data()}, {"stroke", colour}, {"stroke-width", SvgNumber(width)}});
}

void AddCombSwatch(SvgWriter& svg, double x, double y, const char* colour) {
    SvgPath comb;
    for (int k = 0; k <= 6; ++k) {
        comb.MoveTo(x + 5 * k, y);
        comb.LineTo(x + 5 * k, y - 3 - k);
    }
    comb.MoveTo(x, y - 3);
    comb.LineTo(x + 30, y - 9);
    svg.Add("path", {{"d", comb.Data()}, {"fill", "none"}, {"stroke", colour}});
}

double DrawLegend(SvgWriter& svg, const TrackReport& r, double top) {
    svg.Open("g", {{"id", "legend"}});
    double y = top;
    svg.AddText(kMargin, y, "Legend", {{"font-weight", "bold"}});
    const double x = kMargin, textX = kMargin + 40;
    const auto row = [&](const std::string& text) {
        y += kLine;
        svg.AddText(textX, y, text);
    };
    const std::string passes = std::to_string(r.passes) + (r.passes == 1 ? " pass" : " passes");
    if (r.after) {
        row("path before smoothing");
        AddLineSwatch(svg, x, y, kBefore.path, 1.5);
        row("curvature comb before smoothing");
        AddCombSwatch(svg, x, y, kBefore.comb);
        row("path after " + passes + " of smoothing");
        AddLineSwatch(svg, x, y, kAfter.path, 1.5);
        row("curvature comb after smoothing");
        AddCombSwatch(svg, x, y, kAfter.comb);
    } else {
        row("path");
        AddLineSwatch(svg, x, y, kAfter.path, 1.5);
        row("curvature comb");
        AddCombSwatch(svg, x, y, kAfter.comb);
    }
    for (const KindStyle& k : kKinds) {
        row(k.legend);
        SvgPath marker;
        AddMarker(marker, k.kind, x + 15, y - 4, 1);
        AddMarkerElement(svg, k, marker);
    }
    svg.Close();
    return y;
}

double DrawSummary(SvgWriter& svg, const TrackReport& r, double top) {
    svg.Open("g", {{"id", "summary"}});
    const double x = kWidth / 2 + 40;
    double y = top;
    svg.AddText(x, y, "Summary", {{"font-weight", "bold"}});
    if (r.after) {
        svg.AddText(x + 300, y, "before", {{"text-anchor", "end"}});
        svg.AddText(x + 400, y, "after", {{"text-anchor", "end"}});
    }
    for (const SummaryRow& row : SummaryRows(r)) {
        y += kLine;
        svg.AddText(x, y, row.label, {{"xml:space", "preserve"}});
        svg.AddText(x + 300, y, row.before, {{"text-anchor", "end"}});
        if (r.after) svg.AddText(x + 400, y, row.after, {{"text-anchor", "end"}});
    }
    svg.Close();
    return y;
}

// How to read the combs, and the faults (red): full width under everything else, as they may be
// long.
std::vector<std::string> Notes() {
    return {
        "Bristles stand on the outside of each bend, as long as the curvature there. A step in "
        "a comb at a vertex is a jump in curvature; smoothing evens it out."};
}

std::vector<std::string> FaultLines(const TrackReport& r) {
    std::vector<std::string> lines;
    if (!r.before.marksError.empty()) lines.push_back("Straight marks: " + r.before.marksError);
    if (r.after && !r.after->marksError.empty()) {
        lines.push_back("Straight marks after smoothing: " + r.after->marksError);
    }
    if (!r.smoothError.empty()) {
        lines.push_back("Nothing after smoothing: pass " + std::to_string(r.failedPass) + " of " +
                        std::to_string(r.passes) + " stopped. " + r.smoothError);
    }
    return lines;
}

std::string Title(const TrackReport& r) {
    std::string title = r.fileName + ": " + std::to_string(r.before.figures.size()) + " vertices";
    if (r.after) {
        title += ", before smoothing in grey, after " + std::to_string(r.passes) +
                 (r.passes == 1 ? " pass" : " passes") + " in colour";
    }
    return title;
}

}  // namespace

std::string ReportPicture(const TrackReport& report) {
    Drawing d{report, SamplePath(report.before.vertices, kSamplesPerSegment), {}};
    if (report.after) d.after = SamplePath(report.after->vertices, kSamplesPerSegment);
    SampleSets sets{&d.before};
    if (report.after) sets.push_back(&d.after);

    // Laid out from the top down: each part begins where the one above it ends.
    SvgWriter svg(kWidth, 0, Title(report));
    double top = AddLines(svg, kMargin, kMargin, Title(report), kTitleSize,
                          {{"font-size", SvgNumber(kTitleSize)}, {"font-weight", "bold"}});
    View plan = PlanView(sets, 0);
    PlaceBelow(plan, top + 12);
    DrawPanel(svg, plan, d);
    View profile = ProfileView(sets, 0);
    PlaceBelow(profile, plan.top + plan.height + 16);
    DrawPanel(svg, profile, d);
    const double bottomTop = profile.top + profile.height + 30;
    top = std::max(DrawLegend(svg, report, bottomTop), DrawSummary(svg, report, bottomTop)) + 12;
    for (const std::string& note : Notes()) top = AddLines(svg, kMargin, top, note, kFontSize, {});
    for (const std::string& line : FaultLines(report)) {
        top =
            AddLines(svg, kMargin, top, line, kFontSize, {{"class", "fault"}, {"fill", "#c62828"}});
    }
    svg.SetHeight(top + kMargin);
    return svg.Finish();
}

void WriteReportPicture(const TrackReport& report, const std::string& path) {
    const std::string document = ReportPicture(report);
    ReplaceFile(path, {reinterpret_cast<const std::uint8_t*>(document.data()), document.size()});
}

}  // namespace railgrace
