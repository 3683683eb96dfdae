// The report's SVG pictures and HTML page: what a reader and a checker of the
// file rely on (one circle per measurement, hollow nondetects, readable log
// ticks, one section per group, escaped names, nothing loaded from outside).

#include "library/report/html.h"
#include "library/report/svg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace velmar::report;

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

QqPlot sample_qq(int detects, int nondetects)
{
    QqPlot plot;
    for (int i = 0; i < detects + nondetects; ++i)
        plot.points.push_back({0.5 * (i + 1), -1.8 + 0.2 * i, i < nondetects});
    plot.line = FittedLine{-0.2, 0.9, "fitted lognormal"};
    return plot;
}

TEST(LogAxis, TicksReadBackCoverTheValuesAndStayFew)
{
    struct Case {
        double low, high;
        double axis_low, axis_high;
        std::size_t ticks;
    };
    const Case cases[] = {
        {1.1, 1.9, 1, 2, 2},                  // inside one step: widened to its ends
        {0.3, 40, 0.2, 50, 8},                // 1-2-5 over two decades, ends reaching out
        {0.49, 4.4, 0.49, 5, 4},              // the low end stays: 0.2 is too far
        {0.0031, 0.0049, 0.002, 0.005, 2},
        {7, 7, 7 / 1.5, 7 * 1.5, 2},          // all values equal
        {2e-3, 3e5, 1e-3, 1e6, 10},           // decades
        {0.6, 1.5e3, 0.6, 1.5e3, 4},          // decades, ends too far to reach
        {1e-150, 1e150, 1e-150, 1e150, 13},   // every 25th decade
    };
    for (const Case& c : cases) {
        const LogAxis a = log_axis(c.low, c.high);
        SCOPED_TRACE(std::to_string(c.low) + " .. " + std::to_string(c.high));
        EXPECT_DOUBLE_EQ(a.low, c.axis_low);
        EXPECT_DOUBLE_EQ(a.high, c.axis_high);
        EXPECT_EQ(a.ticks.size(), c.ticks);
        EXPECT_LE(a.low, c.low);
        EXPECT_GE(a.high, c.high);
        for (std::size_t i = 0; i < a.ticks.size(); ++i) {
            EXPECT_EQ(std::strtod(a.ticks[i].label.c_str(), nullptr), a.ticks[i].value) << a.ticks[i].label;
            if (i > 0) {
                EXPECT_LT(a.ticks[i - 1].value, a.ticks[i].value);
            }
        }
    }
    EXPECT_EQ(log_axis(0.3, 40).ticks[0].label, "0.2");
    EXPECT_EQ(log_axis(0.6, 1.5e3).ticks.back().label, "1000");
    EXPECT_EQ(log_axis(2e-3, 3e7).ticks.back().label, "1e+08");
    EXPECT_EQ(log_axis(1e-150, 1e150).ticks[0].label, "1e-150");
}

TEST(QqPlot, OneCircleForEachMeasurementNondetectsHollowNoNestedSvg)
{
    for (const auto& [detects, nondetects] : {std::pair{12, 0}, std::pair{9, 6}, std::pair{1, 0}}) {
        const std::string svg = qq_plot_svg(sample_qq(detects, nondetects));
        SCOPED_TRACE(svg);
        EXPECT_EQ(svg.rfind("<svg class=\"qq\"", 0), 0u);
        EXPECT_EQ(count(svg, "<svg"), 1u);
        EXPECT_EQ(count(svg, "</svg>"), 1u);
        EXPECT_EQ(count(svg, "<circle"), static_cast<std::size_t>(detects + nondetects));
        EXPECT_EQ(count(svg, "<circle cx=\""), static_cast<std::size_t>(detects + nondetects));
        EXPECT_EQ(count(svg, "class=\"nondetect\" fill=\"none\""), static_cast<std::size_t>(nondetects));
        EXPECT_EQ(count(svg, "class=\"detect\""), static_cast<std::size_t>(detects));
        EXPECT_EQ(count(svg, "nondetect, at its ROS value"), nondetects > 0 ? 1u : 0u); // legend entry
        EXPECT_EQ(count(svg, "class=\"fit\""), 1u);
    }
    // Ticks on the original scale: values 0.5 .. 7.5 get 0.5, 1, 2 and 5.
    const std::string svg = qq_plot_svg(sample_qq(15, 0));
    for (const char* label : {">0.5</text>", ">1</text>", ">2</text>", ">5</text>"})
        EXPECT_NE(svg.find(label), std::string::npos) << label;
}

TEST(QqPlot, TheFittedLineStaysInsideThePlotArea)
{
    QqPlot plot = sample_qq(10, 0);
    plot.line = FittedLine{0.0, 40.0, "steep"}; // leaves the value range almost at once
    const std::string svg = qq_plot_svg(plot);
    const std::size_t at = svg.find("class=\"fit\"");
    ASSERT_NE(at, std::string::npos);
    const std::size_t start = svg.rfind("<line", at);
    double y1 = 0, y2 = 0;
    ASSERT_EQ(std::sscanf(svg.c_str() + start, "<line x1=\"%*f\" y1=\"%lf\" x2=\"%*f\" y2=\"%lf\"", &y1, &y2), 2);
    for (const double y : {y1, y2}) {
        EXPECT_GE(y, 34.0 - 0.05); // the plot area's top and bottom
        EXPECT_LE(y, 286.0 + 0.05);
    }
}

TEST(StripPlot, MarksLabelledExposureLimitApartNoCircles)
{
    StripPlot plot;
    for (int i = 0; i < 8; ++i) plot.points.push_back({1.0 + i, 0.0, i == 2});
    plot.marks = {{12.5, "exact UMAU 12.5"}, {9.0, "Student-t 9"}, {5.0, "L = 5", true},
                  {std::nan(""), "no limit"}, {-1.0, "not drawable"}};
    const std::string svg = strip_plot_svg(plot);
    EXPECT_EQ(svg.rfind("<svg class=\"strip\"", 0), 0u);
    EXPECT_EQ(count(svg, "<circle"), 0u);
    EXPECT_EQ(count(svg, "<path d="), 8u);
    EXPECT_EQ(count(svg, "class=\"nondetect\" fill=\"none\""), 1u);
    EXPECT_EQ(count(svg, "class=\"limit\""), 2u);
    EXPECT_EQ(count(svg, "class=\"exposure-limit\""), 1u);
    for (const char* label : {"exact UMAU 12.5", "Student-t 9", "L = 5", ">10</text>"})
        EXPECT_NE(svg.find(label), std::string::npos) << label;
    EXPECT_EQ(svg.find("no limit"), std::string::npos);
}

TEST(HtmlPage, OneSectionPerGroupNamesEscapedNothingLoaded)
{
    Heading heading{"Velmar 1.0.0", "a<b>.csv", "column \"x\"", "groups by column \"g\"", "--level 0.95 -->",
                    "2026-01-01T00:00:00Z"};
    std::vector<Group> groups(3);
    groups[0].name = "lead";
    groups[1].name = "<script>alert(\"x\")</script> & co";
    groups[2].name = "zinc";
    groups[1].warnings = {"values < 0.5 are <b>many</b>"};
    for (Group& g : groups) {
        g.qq = sample_qq(5, 2);
        g.methods = {{"exact UMAU", 4.56789, 0.951, 0.0048, "", false}};
    }
    const std::string html = html_page(heading, groups);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<!-- Velmar 1.0.0 report\n", 0), 0u);
    EXPECT_EQ(count(html, "<section class=\"group\""), 3u);
    EXPECT_EQ(count(html, "class=\"group\""), 3u);
    EXPECT_NE(html.find("data-group=\"&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; co\""), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_EQ(count(html, "-->"), 1u); // the heading comment ends once, where it should
    EXPECT_EQ(count(html, "<circle"), 21u);
    EXPECT_NE(html.find("4.5679"), std::string::npos);
    for (const char* outside : {"src=", "href=", "url(", "@import", "<link"})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    EXPECT_NE(html.find("@media print"), std::string::npos);
    EXPECT_NE(html.find("@page"), std::string::npos);
}

} // namespace
