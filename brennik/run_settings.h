#pragma once
// The run settings of the verification program and the reader of its input
// file "input.dat" (in the working folder), one record a line.

#include <optional>
#include <string>

namespace verify {

inline constexpr char inputName[] = "input.dat";
inline constexpr char intermediateName[] = "newveri.int";
inline constexpr int alphaCount = 10; // alpha indices run from 1 to alphaCount
inline constexpr int nuCount = 6;

inline constexpr int oneSided = 1;
inline constexpr int twoSided = 2;

struct RunSettings {
    int WhichLimit = 0;
    int alphaFirst = 0;
    int alphaLast = 0;
    int nuFirst = 0;
    int nuLast = 0;
    double AdapQuadTol = 0.0;
    double FunctionTol = 0.0;
    double ResultTol = 0.0;
    std::string results; // file name, trailing blanks removed
    std::string title;   // 72 characters
};

// What is wrong with the input file, and in which record.
struct InputError {
    int record;
    std::string problem;
};

// Reads and checks "input.dat": WhichLimit must be 1 or 2 (records 2 to 6
// are read only then), the indices must lie in their tables, AdapQuadTol in
// (0, 0.5), and the results file needs a name that is neither the input file
// nor "newveri.int". Lines may end in LF, CR LF or a bare CR. Writes nothing.
std::optional<InputError> readRunSettings(RunSettings& run);

} // namespace verify
