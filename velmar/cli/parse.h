#pragma once
// Reading the numbers a user types on the command line: plain numbers,
// confidence levels (95 means 0.95) and lists ("3,5,10" or "3:1001:1").
// Every failure throws UsageError with a message naming the option.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmar::cli {

// A command line that cannot be run as given (exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Data that cannot be used (exit status 1).
struct DataError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The whole text as a finite double, or nothing (velmar::read_number's rules).
bool parse_number(std::string_view text, double& value);

// A finite number for the option `option`.
double number_option(std::string_view option, std::string_view text);

// A confidence level: a value in (0, 1), or a percentage in (1, 100).
double level_option(std::string_view option, std::string_view text);

// Comma-separated values, or a range start:stop:step (step > 0, stop
// included when the steps reach it). Range values are start + i x step
// computed in decimal when the texts are decimals, so that 0.1:5:0.1 gives
// 0.3, not 0.30000000000000004.
std::vector<double> list_option(std::string_view option, std::string_view text);

// A list of levels, each read as level_option reads it.
std::vector<double> level_list_option(std::string_view option, std::string_view text);

// A finite number above 0.
double positive_option(std::string_view option, std::string_view text);

// A whole number from 0 to `most`, in decimal digits.
int count_option(std::string_view option, std::string_view text, int most);

// A seed: a whole number from 0 to 2^64 - 1, in decimal digits.
std::uint64_t seed_option(std::string_view option, std::string_view text);

} // namespace velmar::cli
