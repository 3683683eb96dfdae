#include "velmar/answers.h"

#include <cctype>

namespace interactive {

namespace {

bool accepted(records::ReadStatus status)
{
    if (status == records::ReadStatus::end) throw EndOfInput{};
    return status == records::ReadStatus::ok;
}

} // namespace

bool answer(records::Console& con, std::string_view format, std::initializer_list<records::Target> targets)
{
    const records::ReadStatus status = con.read(format, targets);
    if (status == records::ReadStatus::error && con.lastReadTooLong()) {
        con.line({"Too long: at most " + std::to_string(records::inputColumns(format)) +
                  " characters are read here; please enter it again."});
        return false;
    }
    return accepted(status);
}

bool answerFree(records::Console& con, std::initializer_list<records::Target> targets)
{
    return accepted(con.readFree(targets));
}

char answerLetter(records::Console& con, std::string_view folded)
{
    // The whole line is read, so that an over-long answer is refused like
    // any other; its first character is the letter.
    std::string letter(longestAnswer, ' ');
    if (!answer(con, "(A255)", {letter})) return ' ';
    const char c = letter[0];
    if (folded.find(c) != std::string_view::npos)
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c;
}

} // namespace interactive
