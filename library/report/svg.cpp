// The report's pictures as SVG text (see svg.h).

#include "library/report/svg.h"

#include "library/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace velmar::report {

namespace {

// Colours. The plot areas' fills are flat and distinct, so that a rendering
// of the page can find each kind of plot by its colour.
constexpr const char* qq_panel = "#eaf1fb";
constexpr const char* strip_panel = "#f7f0e3";
constexpr const char* detect_colour = "#1f4e9c";
constexpr const char* nondetect_colour = "#c2410c";
constexpr const char* line_colour = "#4b5563";
constexpr const char* limit_colour = "#2e7d32";
constexpr const char* exposure_colour = "#b91c1c";

// Most ticks of an axis in decades before decades are skipped.
constexpr int most_decade_ticks = 12;
// Widest range, in decades, that gets ticks at 1, 2 and 5.
constexpr int most_125_decades = 3;
// An axis end moves out to the next tick when that lengthens the axis by at
// most this share.
constexpr double most_extension = 0.2;

// A coordinate with at most one decimal: enough at screen and print resolution.
std::string px(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    std::string s(text);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    if (s == "-0") s = "0";
    return s;
}

// m x 10^k as a label that reads back to the tick's value: plain decimals
// from 0.0001 to 100000, else "2e-7" or "1e+06".
Tick tick(int m, int k)
{
    std::string label;
    if (k >= 0 && k <= 5) {
        label = std::to_string(m) + std::string(static_cast<std::size_t>(k), '0');
    } else if (k < 0 && k >= -4) {
        label = "0." + std::string(static_cast<std::size_t>(-k - 1), '0') + std::to_string(m);
    } else {
        label = std::to_string(m) + (k > 0 ? "e+" : "e") + (k > 0 && k < 10 ? "0" : "") + std::to_string(k);
    }
    return {std::strtod(label.c_str(), nullptr), label};
}

// Screen position on a log axis with `pad` pixels kept free at both ends.
struct LogScale {
    LogAxis axis;
    double from, to; // pixels of axis.low and axis.high (either order)
    double at(double v) const
    {
        const double a = std::log10(axis.low), b = std::log10(axis.high);
        return from + (std::log10(v) - a) / (b - a) * (to - from);
    }
};

struct Range {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    void add(double v)
    {
        if (!(v > 0.0) || !std::isfinite(v)) return;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    LogAxis axis() const { return low <= high ? log_axis(low, high) : log_axis(1.0, 10.0); }
};

void text(std::string& s, double x, double y, const std::string& content, const char* anchor = "start",
          const char* extra = "")
{
    s += "<text x=\"" + px(x) + "\" y=\"" + px(y) + "\" text-anchor=\"" + anchor + "\"" + extra + ">" +
         escape(content) + "</text>";
}

void line(std::string& s, double x1, double y1, double x2, double y2, const char* colour, double width,
          const char* extra = "")
{
    s += "<line x1=\"" + px(x1) + "\" y1=\"" + px(y1) + "\" x2=\"" + px(x2) + "\" y2=\"" + px(y2) +
         "\" stroke=\"" + colour + "\" stroke-width=\"" + px(width) + "\"" + extra + "/>";
}

// A line drawn in the stroke of its enclosing group.
void bare_line(std::string& s, double x1, double y1, double x2, double y2)
{
    s += "<line x1=\"" + px(x1) + "\" y1=\"" + px(y1) + "\" x2=\"" + px(x2) + "\" y2=\"" + px(y2) + "\"/>";
}

// Grid lines (white over the plot area) and ticks with the axis lines, each
// kind in one group that carries its stroke.
struct Rules {
    std::string grid, ticks;
    void close(std::string& s) const
    {
        s += "<g stroke=\"#ffffff\">" + grid + "</g><g stroke=\"#333333\">" + ticks + "</g>";
    }
};

void rect(std::string& s, double x, double y, double w, double h, const char* fill, const char* stroke = "none",
          const char* extra = "")
{
    s += "<rect x=\"" + px(x) + "\" y=\"" + px(y) + "\" width=\"" + px(w) + "\" height=\"" + px(h) + "\" fill=\"" +
         fill + "\" stroke=\"" + stroke + "\"" + extra + "/>";
}

std::string svg_open(const char* cls, int width, int height, const std::string& title)
{
    const std::string w = std::to_string(width), h = std::to_string(height);
    return "<svg class=\"" + std::string(cls) + "\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + w + " " + h +
           "\" width=\"" + w + "\" height=\"" + h + "\" role=\"img\" font-family=\"sans-serif\" font-size=\"11\">"
           "<title>" + escape(title) + "</title>";
}

} // namespace

std::string escape(std::string_view in)
{
    std::string out;
    out.reserve(in.size());
    for (const char c : in) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

LogAxis log_axis(double low, double high)
{
    if (!(low > 0.0) || !(high >= low) || !std::isfinite(high)) low = 1.0, high = 10.0;
    if (low == high) low /= 1.5, high *= 1.5;
    const int first = static_cast<int>(std::floor(std::log10(low)));
    const int last = static_cast<int>(std::ceil(std::log10(high)));
    LogAxis axis{low, high, {}};
    std::vector<Tick> candidates;
    if (last - first <= most_125_decades) {
        for (int k = first - 1; k <= last; ++k)
            for (const int m : {1, 2, 5}) candidates.push_back(tick(m, k));
    } else {
        const int step = (last - first + most_decade_ticks - 1) / most_decade_ticks;
        int k = first;
        while (k % step != 0) --k; // decades at multiples of the step
        for (; k < last + step; k += step) candidates.push_back(tick(1, k));
    }
    // Ticks inside the values where there are at least two; else the axis
    // runs from the last candidate at or below low to the first at or above high.
    std::vector<Tick> inside;
    for (const Tick& t : candidates)
        if (t.value >= low && t.value <= high) inside.push_back(t);
    if (inside.size() >= 2) {
        // An end reaches out to the next tick where that adds little.
        const double reach = most_extension * std::log10(high / low);
        const auto below = std::find_if(candidates.rbegin(), candidates.rend(), [&](const Tick& t) { return t.value < low; });
        const auto above = std::find_if(candidates.begin(), candidates.end(), [&](const Tick& t) { return t.value > high; });
        if (below != candidates.rend() && std::log10(low / below->value) <= reach) {
            axis.low = below->value;
            inside.insert(inside.begin(), *below);
        }
        if (above != candidates.end() && std::log10(above->value / high) <= reach) {
            axis.high = above->value;
            inside.push_back(*above);
        }
        axis.ticks = inside;
        return axis;
    }
    std::size_t from = 0, to = candidates.size() - 1;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (candidates[i].value <= low) from = i;
    for (std::size_t i = candidates.size(); i-- > 0;)
        if (candidates[i].value >= high) to = i;
    axis.low = candidates[from].value;
    axis.high = candidates[to].value;
    axis.ticks.assign(candidates.begin() + static_cast<std::ptrdiff_t>(from),
                      candidates.begin() + static_cast<std::ptrdiff_t>(to) + 1);
    return axis;
}

std::string qq_plot_svg(const QqPlot& plot)
{
    constexpr int width = 460, height = 330;
    constexpr double left = 56, right = 446, top = 34, bottom = 286, pad = 8;

    Range values;
    double zLow = -2.0, zHigh = 2.0;
    for (const Point& p : plot.points) {
        values.add(p.value);
        zLow = std::min(zLow, std::floor(p.z));
        zHigh = std::max(zHigh, std::ceil(p.z));
    }
    const LogScale y{values.axis(), bottom - pad, top + pad};
    const auto x = [&](double z) { return left + pad + (z - zLow) / (zHigh - zLow) * (right - left - 2 * pad); };

    std::string s = svg_open("qq", width, height, "Normal Q-Q plot of the logs of the values");
    rect(s, left, top, right - left, bottom - top, qq_panel);

    // Grid and ticks: the values on the original scale, z at whole numbers;
    // no value ticks where there are no values to scale them.
    const std::vector<Tick> valueTicks = plot.points.empty() ? std::vector<Tick>{} : y.axis.ticks;
    Rules rules;
    std::string labels;
    for (const Tick& t : valueTicks) {
        const double v = y.at(t.value);
        bare_line(rules.grid, left, v, right, v);
        bare_line(rules.ticks, left - 4, v, left, v);
        text(labels, left - 6, v + 4, t.label, "end");
    }
    for (int z = static_cast<int>(zLow); z <= static_cast<int>(zHigh); ++z) {
        const double h = x(z);
        bare_line(rules.grid, h, top, h, bottom);
        bare_line(rules.ticks, h, bottom, h, bottom + 4);
        text(labels, h, bottom + 16, std::to_string(z), "middle");
    }
    bare_line(rules.ticks, left, bottom, right, bottom);
    bare_line(rules.ticks, left, top, left, bottom);
    rules.close(s);
    s += labels;
    text(s, (left + right) / 2, height - 8, "standard normal quantile", "middle");
    text(s, 14, (top + bottom) / 2, "value (log scale)", "middle",
         (" transform=\"rotate(-90 14 " + px((top + bottom) / 2) + ")\"").c_str());

    // The fitted line, cut to the plot area.
    if (plot.line && std::isfinite(plot.line->intercept) && std::isfinite(plot.line->slope)) {
        const double lnLow = std::log(y.axis.low), lnHigh = std::log(y.axis.high);
        double z1 = zLow, z2 = zHigh;
        if (plot.line->slope != 0.0) {
            const double a = (lnLow - plot.line->intercept) / plot.line->slope;
            const double b = (lnHigh - plot.line->intercept) / plot.line->slope;
            z1 = std::max(z1, std::min(a, b));
            z2 = std::min(z2, std::max(a, b));
        }
        const double ln1 = plot.line->intercept + plot.line->slope * z1;
        const double ln2 = plot.line->intercept + plot.line->slope * z2;
        if (z1 < z2 && ln1 >= lnLow - 1e-9 && ln1 <= lnHigh + 1e-9)
            line(s, x(z1), y.at(std::exp(ln1)), x(z2), y.at(std::exp(ln2)), line_colour, 1.5, " class=\"fit\"");
    }

    // The measurements: the one place where this picture draws circles.
    for (const Point& p : plot.points) {
        if (!(p.value > 0.0) || !std::isfinite(p.value) || !std::isfinite(p.z)) continue;
        s += "<circle cx=\"" + px(x(p.z)) + "\" cy=\"" + px(y.at(p.value)) + "\" r=\"3.5\"";
        if (p.hollow)
            s += std::string(" class=\"nondetect\" fill=\"none\" stroke=\"") + nondetect_colour + "\" stroke-width=\"1.5\"";
        else
            s += std::string(" class=\"detect\" fill=\"") + detect_colour + "\"";
        s += "><title>" + escape(brief(p.value) + (p.hollow ? " (nondetect, value imputed)" : "") +
                                 ", z = " + brief(p.z)) + "</title></circle>";
    }

    // Legend in squares and a line, above the plot area.
    bool anyHollow = false;
    for (const Point& p : plot.points) anyHollow = anyHollow || p.hollow;
    double lx = left;
    rect(s, lx, 12, 8, 8, detect_colour);
    text(s, lx + 12, 20, "detect");
    lx += 64;
    if (anyHollow) {
        rect(s, lx, 12, 8, 8, "none", nondetect_colour, " stroke-width=\"1.5\"");
        text(s, lx + 12, 20, "nondetect, at its ROS value");
        lx += 170;
    }
    if (plot.line) {
        line(s, lx, 16, lx + 16, 16, line_colour, 1.5);
        text(s, lx + 20, 20, plot.line->label);
    }
    if (plot.points.empty()) text(s, (left + right) / 2, (top + bottom) / 2, "no values", "middle");
    s += "</svg>";
    return s;
}

std::string strip_plot_svg(const StripPlot& plot)
{
    std::vector<Mark> marks;
    for (const Mark& m : plot.marks)
        if (m.value > 0.0 && std::isfinite(m.value)) marks.push_back(m);
    std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.value < b.value; });

    constexpr int width = 460;
    constexpr double left = 20, right = 440, pad = 8, row = 15, band = 56;
    const double top = 8 + row * static_cast<double>(marks.size()); // one label row per mark
    const double bottom = top + band;
    const int height = static_cast<int>(bottom) + 40;

    Range range;
    for (const Point& p : plot.points) range.add(p.value);
    for (const Mark& m : marks) range.add(m.value);
    const LogScale x{range.axis(), left + pad, right - pad};

    std::string s = svg_open("strip", width, height, "The values on a log scale, with the limits marked");
    rect(s, left, top, right - left, bottom - top, strip_panel);
    const bool empty = plot.points.empty() && marks.empty();
    Rules rules;
    std::string labels;
    for (const Tick& t : empty ? std::vector<Tick>{} : x.axis.ticks) {
        const double h = x.at(t.value);
        bare_line(rules.grid, h, top, h, bottom);
        bare_line(rules.ticks, h, bottom, h, bottom + 4);
        text(labels, h, bottom + 16, t.label, "middle");
    }
    bare_line(rules.ticks, left, bottom, right, bottom);
    rules.close(s);
    s += labels;
    text(s, (left + right) / 2, bottom + 32, "value (log scale)", "middle");

    // The values as diamonds, spread over the band in a fixed pattern.
    for (std::size_t i = 0; i < plot.points.size(); ++i) {
        const Point& p = plot.points[i];
        if (!(p.value > 0.0) || !std::isfinite(p.value)) continue;
        const double cy = (top + bottom) / 2 + (static_cast<double>((i * 7) % 9) - 4.0) * 5.0;
        s += "<path d=\"M" + px(x.at(p.value)) + " " + px(cy - 4) + "l4 4-4 4-4-4z\"";
        if (p.hollow)
            s += std::string(" class=\"nondetect\" fill=\"none\" stroke=\"") + nondetect_colour + "\" stroke-width=\"1.2\"";
        else
            s += std::string(" class=\"detect\" fill=\"") + detect_colour + "\" fill-opacity=\"0.75\"";
        s += "><title>" + escape(brief(p.value) + (p.hollow ? " (detection limit of a nondetect)" : "")) +
             "</title></path>";
    }

    // Each mark: a line from its label's row down through the band. A label
    // runs away from the middle; rows go from the outside in (the left half
    // ascending, then the right half descending), so that a label seldom
    // meets the line of another mark, and a white halo keeps it legible where
    // it does.
    const double middle = (left + right) / 2;
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < marks.size(); ++i)
        if (x.at(marks[i].value) < middle) rows.push_back(i);
    for (std::size_t i = marks.size(); i-- > 0;)
        if (x.at(marks[i].value) >= middle) rows.push_back(i);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Mark& m = marks[rows[r]];
        const double h = x.at(m.value), rowY = 8 + row * static_cast<double>(r);
        const char* colour = m.exposure_limit ? exposure_colour : limit_colour;
        line(s, h, rowY + 2, h, bottom, colour, m.exposure_limit ? 2.0 : 1.2,
             m.exposure_limit ? " stroke-dasharray=\"5 3\" class=\"exposure-limit\"" : " class=\"limit\"");
        const bool leftHalf = h < middle;
        text(s, leftHalf ? h + 4 : h - 4, rowY + 11, m.label, leftHalf ? "start" : "end",
             (std::string(" fill=\"") + colour + "\" stroke=\"#ffffff\" stroke-width=\"3\" paint-order=\"stroke\"")
                 .c_str());
    }
    if (empty) text(s, (left + right) / 2, (top + bottom) / 2, "no values", "middle");
    s += "</svg>";
    return s;
}

} // namespace velmar::report
