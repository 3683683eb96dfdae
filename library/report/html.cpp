// The report's HTML page (see html.h).

#include "library/report/html.h"

#include "library/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace velmar::report {

namespace {

// One style sheet for screen and paper. The print rules fit the narrower of
// A4 and Letter (about 180 mm of text); @page keeps the printer's paper.
constexpr const char* style = R"(
:root { color-scheme: light; }
body { font: 14px/1.45 sans-serif; color: #111; background: #fff; max-width: 980px; margin: 20px auto; padding: 0 16px; }
h1 { font-size: 22px; margin: 0 0 6px; }
h2 { font-size: 18px; margin: 0 0 8px; }
h3 { font-size: 14px; margin: 10px 0 4px; }
header.run { border-bottom: 2px solid #333; padding-bottom: 8px; }
header.run dl { display: grid; grid-template-columns: max-content 1fr; gap: 1px 14px; margin: 0; }
header.run dt { font-weight: bold; }
header.run dd { margin: 0; overflow-wrap: anywhere; }
section.group { border: 1px solid #bbb; border-radius: 4px; padding: 10px 16px 14px; margin: 18px 0; }
.columns { display: flex; flex-wrap: wrap; gap: 0 36px; }
table { border-collapse: collapse; margin: 2px 0 8px; }
th, td { padding: 2px 10px 2px 0; text-align: left; border-bottom: 1px solid #e3e3e3; vertical-align: top; }
td.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
table.methods th, table.methods td { padding-right: 16px; }
table.methods th:first-child { white-space: nowrap; }
.block { max-width: 100%; overflow-x: auto; }
.warnings { background: #fff6e5; border-left: 4px solid #d97706; padding: 4px 12px; margin: 8px 0; }
.warnings ul { margin: 4px 0; padding-left: 18px; }
.missing { color: #555; font-style: italic; }
.plots { display: flex; flex-wrap: wrap; gap: 12px 24px; align-items: flex-start; margin-top: 8px; }
.plots figure { margin: 0; flex: 1 1 380px; max-width: 460px; }
.plots svg { display: block; width: 100%; height: auto; }
figcaption { font-size: 12px; color: #444; }
@media print {
  body { max-width: none; margin: 0; padding: 0; font-size: 9pt; }
  .columns { gap: 0 22px; }
  th, td { padding: 1px 8px 1px 0; }
  section.group { border: none; padding: 0; margin: 14px 0 0; }
  section.group + section.group { break-before: page; }
  .plots { break-inside: avoid; }
  .plots figure { flex: 1 1 45%; max-width: 50%; }
  .block, figure, .warnings { break-inside: avoid; }
}
@page { size: portrait; margin: 14mm; }
)";

std::string percent(double level)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g%%", level * 100.0);
    return text;
}

// Text for a comment: nothing in it can close the comment early.
std::string comment_text(const std::string& s)
{
    std::string out;
    for (const char c : s) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '\n' || c == '\r') out += ' ';
        else out += c;
    }
    return out;
}

void quantities(std::string& h, const std::vector<Quantity>& rows)
{
    for (const Quantity& q : rows) {
        const std::string shown = q.as_given && q.value ? shortest(*q.value) : number(q.value);
        h += "<tr><th>" + escape(q.label) + "</th><td class=\"num\">" + shown + "</td><td>" + escape(q.note) +
             "</td></tr>";
    }
}

void group_section(std::string& h, const Group& g)
{
    h += "<section class=\"group\" data-group=\"" + escape(g.name) + "\">\n<h2>" + escape(g.name) + "</h2>\n";
    if (!g.warnings.empty()) {
        h += "<div class=\"warnings\"><strong>Warnings</strong><ul>";
        for (const std::string& w : g.warnings) h += "<li>" + escape(w) + "</li>";
        h += "</ul></div>\n";
    }

    h += "<div class=\"columns\">\n<div class=\"block\"><h3>Data</h3><table class=\"data\">";
    h += "<tr><th>values</th><td class=\"num\">" + std::to_string(g.n) + "</td><td></td></tr>";
    h += "<tr><th>nondetects</th><td class=\"num\">" + std::to_string(g.nondetects) + "</td><td></td></tr>";
    if (g.skipped > 0)
        h += "<tr><th>skipped (NA or empty)</th><td class=\"num\">" + std::to_string(g.skipped) + "</td><td></td></tr>";
    quantities(h, g.data);
    h += "</table></div>\n";

    if (!g.tests.empty()) {
        h += "<div class=\"block\"><h3>Lognormality of the values</h3><table class=\"tests\"><tr><th>test</th><th>statistic</th>"
             "<th>p</th><th></th></tr>";
        for (const NormalityTest& t : g.tests) {
            h += "<tr><th>" + escape(t.name) + "</th><td class=\"num\">" +
                 (t.statistic ? escape(t.statistic_name) + " = " + number(t.statistic) : "-") +
                 "</td><td class=\"num\">" + number(t.p, 3) + "</td><td>" + escape(t.note) + "</td></tr>";
        }
        h += "</table></div>\n";
    }

    if (!g.exposure.empty()) {
        h += "<div class=\"block\"><h3>Exposure</h3><table class=\"exposure\">";
        quantities(h, g.exposure);
        h += "</table></div>\n";
    }
    h += "</div>\n";

    if (!g.methods.empty()) {
        h += "<div class=\"block\"><h3>Upper confidence limits of the mean at " + percent(g.level) +
             "</h3>\n<table class=\"methods\"><tr><th>method</th><th>upper limit</th><th>simulated coverage</th>"
             "<th>standard error</th><th></th></tr>";
        for (const MethodRow& m : g.methods) {
            std::string note = m.status;
            if (m.approximate) note = note.empty() ? "approximate" : "approximate; " + note;
            h += "<tr><th>" + escape(m.method) + "</th><td class=\"num\">" + number(m.value, 5) + "</td><td class=\"num\">" +
                 number(m.coverage, 3) + "</td><td class=\"num\">" + number(m.coverage_se, 3) + "</td><td>" + escape(note) +
                 "</td></tr>";
        }
        h += "</table></div>\n";
    }
    if (!g.missing.empty()) h += "<p class=\"missing\">" + escape(g.missing) + "</p>\n";

    const bool marksExposureLimit =
        std::any_of(g.strip.marks.begin(), g.strip.marks.end(), [](const Mark& m) { return m.exposure_limit; });
    h += "<div class=\"plots\">\n<figure>" + qq_plot_svg(g.qq) +
         "<figcaption>Normal Q-Q plot of the logs: a lognormal sample lies near a straight line.</figcaption></figure>\n"
         "<figure>" + strip_plot_svg(g.strip) +
         "<figcaption>The values on a log axis with the upper limits of the panel" +
         (marksExposureLimit ? " and the exposure limit L" : "") + ".</figcaption></figure>\n</div>\n";
    h += "</section>\n";
}

} // namespace

std::string number(std::optional<double> value, int digits)
{
    if (!value || !std::isfinite(*value)) return "-";
    char text[48];
    std::snprintf(text, sizeof text, "%#.*g", digits, *value); // '#' keeps trailing zeros: 0.830, not 0.83
    std::string s(text);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string html_page(const Heading& heading, std::span<const Group> groups)
{
    const std::string data = heading.source + ", " + heading.column +
                             (heading.grouping.empty() ? std::string() : ", " + heading.grouping);
    std::string h = "<!DOCTYPE html>\n<!-- " + comment_text(heading.program) + " report\n";
    h += "     data:    " + comment_text(data) + "\n";
    h += "     options: " + comment_text(heading.options.empty() ? "(none)" : heading.options) + "\n";
    h += "     groups:  " + std::to_string(groups.size()) + "\n";
    h += "     written: " + comment_text(heading.date) + "\n-->\n";
    h += "<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<meta name=\"generator\" content=\"" +
         escape(heading.program) + "\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>" + escape("Lognormal mean report: " + heading.source) + "</title>\n<style>" + style +
         "</style>\n</head>\n<body>\n";
    h += "<header class=\"run\"><h1>Confidence limits for the lognormal mean</h1><dl>";
    h += "<dt>data</dt><dd>" + escape(data) + "</dd>";
    h += "<dt>options</dt><dd>" + escape(heading.options.empty() ? "(none)" : heading.options) + "</dd>";
    h += "<dt>groups</dt><dd>" + std::to_string(groups.size()) + "</dd>";
    h += "<dt>program</dt><dd>" + escape(heading.program) + "</dd>";
    h += "<dt>written</dt><dd>" + escape(heading.date) + "</dd></dl></header>\n";
    for (const Group& g : groups) group_section(h, g);
    h += "</body>\n</html>\n";
    return h;
}

} // namespace velmar::report
