#pragma once
// Helpers shared by the numerical tests: one relative-error measure, and a
// reader for the reference tables that the scripts beside the data produce.

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

// |got - want| / |want|. Equal values (zeros and like infinities included)
// give 0; a zero reference gives |got|; a NaN on one side only, or an
// infinity against a finite value, gives infinity.
inline double relativeError(double got, double want)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    if (std::isnan(got) || std::isnan(want)) return std::isnan(got) && std::isnan(want) ? 0.0 : inf;
    if (got == want) return 0.0;
    if (std::isinf(got) || std::isinf(want)) return inf;
    if (want == 0.0) return std::fabs(got);
    return std::fabs(got - want) / std::fabs(want);
}

// Rows of whitespace-separated numbers; blank lines and lines starting with
// '#' are skipped. Decimal strings are read with correct rounding (strtod).
inline std::vector<std::vector<double>> readTable(const std::string& path)
{
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open reference table " + path);
    std::vector<std::vector<double>> rows;
    std::string line;
    while (std::getline(in, line)) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream fields(line);
        std::vector<double> row;
        std::string field;
        while (fields >> field) row.push_back(std::strtod(field.c_str(), nullptr));
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace testsupport
