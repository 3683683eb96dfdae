#pragma once
// The report's two pictures as inline SVG, from plain data: a normal Q-Q plot
// of the logs and a strip plot of the values on a log axis. Pure functions:
// the same data give the same bytes. Every text is escaped for XML.

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmar::report {

// A tick of a log axis, labelled on the original scale ("0.05", "2", "1e+06").
struct Tick {
    double value;
    std::string label;
};

// An axis over values in [low, high] (0 < low <= high, finite): its ends and
// its ticks. Ranges of up to three decades get ticks at 1, 2 and 5 times
// powers of ten, wider ones at decades (every second, third, ... when there
// would be more than twelve). The axis spans the values where at least two
// ticks fall among them, an end reaching out to the next tick where that
// lengthens it by at most a fifth; else its ends are widened to the nearest
// ticks outside, so that every axis has at least two ticks.
struct LogAxis {
    double low;
    double high;
    std::vector<Tick> ticks;
};
LogAxis log_axis(double low, double high);

// One measurement: its value (a nondetect's value is its detection limit) and,
// on the Q-Q plot, the standard normal quantile of its plotting position.
struct Point {
    double value;
    double z = 0.0;
    bool hollow = false; // a nondetect: drawn as an open mark
};

// ln(value) = intercept + slope z.
struct FittedLine {
    double intercept;
    double slope;
    std::string label; // for the legend: "fitted lognormal", "ROS fit"
};

struct QqPlot {
    std::vector<Point> points;
    std::optional<FittedLine> line;
};

// <svg class="qq">: one <circle> per point (filled for detects, fill="none"
// with class "nondetect" for nondetects) and no other circle; the legend uses
// squares and a line. The vertical axis is logarithmic with ticks on the
// original scale; the horizontal one is the normal quantile z.
std::string qq_plot_svg(const QqPlot& plot);

// A value marked on the strip plot: a vertical line with its label.
struct Mark {
    double value;
    std::string label;
    bool exposure_limit = false; // the limit L: drawn apart from the confidence limits
};

struct StripPlot {
    std::vector<Point> points; // z is not used
    std::vector<Mark> marks;   // non-finite or non-positive values are left out
};

// <svg class="strip">: the values as diamonds on a logarithmic horizontal
// axis (hollow for nondetects), the marks as labelled vertical lines.
std::string strip_plot_svg(const StripPlot& plot);

// Text escaped for XML and HTML content and attributes (& < > " ').
std::string escape(std::string_view text);

} // namespace velmar::report
