#pragma once
// The report as one self-contained HTML page: inline CSS (screen and print),
// inline SVG pictures, no scripts and nothing loaded from elsewhere. Built
// from plain data, so that every face can fill it from its own results.

#include "library/report/svg.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmar::report {

// What was computed from what: written as the first lines of the file (an
// HTML comment) and again at the top of the page.
struct Heading {
    std::string program;  // "Velmar 1.0.0"
    std::string source;   // the file, or "standard input"
    std::string column;   // how the values were found: "column \"result\""
    std::string grouping; // "groups by column \"analyte\"", or empty
    std::string options;  // the options that shaped the results, as typed
    std::string date;     // when the report was written
};

// A labelled number; empty when it could not be computed.
struct Quantity {
    std::string label;
    std::optional<double> value;
    std::string note; // shown after the number ("W", "a share", ...), may be empty
    bool as_given = false; // an input: shown with the digits that read back to it, not rounded
};

struct NormalityTest {
    std::string name;           // "Shapiro-Wilk"
    std::string statistic_name; // "W"
    std::optional<double> statistic;
    std::optional<double> p;
    std::string note; // why it is missing, or what it was computed from
};

// One method of the panel of upper confidence limits.
struct MethodRow {
    std::string method; // "exact UMAU", "Student-t", ...
    std::optional<double> value;
    std::optional<double> coverage;    // simulated coverage
    std::optional<double> coverage_se; // its standard error
    std::string status;                // why there is no value, or an outcome to read
    bool approximate = false;
};

struct Group {
    std::string name;  // the group's name, or a name for all the values
    int n = 0;
    int nondetects = 0;
    long long skipped = 0; // NA and empty cells
    double level = 0.95;
    std::vector<Quantity> data;      // the data summary
    std::vector<std::string> warnings;
    std::vector<NormalityTest> tests;
    std::vector<MethodRow> methods;
    std::vector<Quantity> exposure;  // with an exposure limit; empty otherwise
    std::string missing;             // what this report could not show, in a sentence; may be empty
    QqPlot qq;
    StripPlot strip;
};

// The whole page. Every text of the data (group names, file names,
// warnings) is escaped.
std::string html_page(const Heading& heading, std::span<const Group> groups);

// A number to `digits` significant digits, trailing zeros kept ("0.8300"),
// "-" when absent or not finite.
std::string number(std::optional<double> value, int digits = 4);

} // namespace velmar::report
