#pragma once
// Reading the user's answers on the console. A failed read is reported to the
// question, which asks again; the end of console input ends the program.

#include "records/records.h"

#include <stdexcept>
#include <string>

namespace interactive {

// Console input is exhausted: the program ends its open line and stops.
struct EndOfInput {};

// A condition that stops the program with an error report (exit status 1).
struct FatalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The longest answer line taken: a letter answer or a file name.
inline constexpr std::size_t longestAnswer = 255;

// One answer line read by a format; false when the read failed. An answer
// longer than the format's fields is refused with a message.
bool answer(records::Console& con, std::string_view format, std::initializer_list<records::Target> targets);

// Free-form values, over as many lines as needed; false when the read failed.
bool answerFree(records::Console& con, std::initializer_list<records::Target> targets);

// The first character of an answer line read by "(A1)", with the lower-case
// letters in `folded` turned to upper case; a failed read gives a blank.
char answerLetter(records::Console& con, std::string_view folded);

} // namespace interactive
