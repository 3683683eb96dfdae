#pragma once
// Format strings parsed into a flat list of edit descriptors (repeat counts and
// groups expanded), shared by formatted output and formatted input.

#include <string_view>
#include <vector>

namespace records {

struct Descriptor {
    enum class Kind { text, integer, fixed, exponent, scale, none };
    Kind kind = Kind::none;
    int width = -1;   // -1 for A without a width
    int decimals = 0; // F and E
    int scale = 0;    // kP
    bool isData() const { return kind == Kind::text || kind == Kind::integer || kind == Kind::fixed ||
                                 kind == Kind::exponent; }
};

// Parses "(F13.8,A4,3(F13.4,F10.4),1p,E12.4)" and the like: descriptors A, Aw,
// Iw, Fw.d, Ew.d, kP and a backslash (which has no effect), case-insensitive,
// with repeat counts and parenthesised groups. A malformed format is a fault of
// the program, reported by std::invalid_argument.
std::vector<Descriptor> parseFormat(std::string_view format);

} // namespace records
