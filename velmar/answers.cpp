#include "velmar/answers.h"

#include <cctype>

namespace velmar {

namespace {

bool accepted(records::ReadStatus status)
{
    if (status == records::ReadStatus::end) throw EndOfInput{};
    return status == records::ReadStatus::ok;
}

} // namespace

bool answer(records::Console& con, std::string_view format, std::initializer_list<records::Target> targets)
{
    return accepted(con.read(format, targets));
}

bool answerFree(records::Console& con, std::initializer_list<records::Target> targets)
{
    return accepted(con.readFree(targets));
}

char answerLetter(records::Console& con, std::string_view folded)
{
    std::string letter(1, ' ');
    if (!answer(con, "(A1)", {letter})) return ' ';
    const char c = letter[0];
    if (folded.find(c) != std::string_view::npos)
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c;
}

} // namespace velmar
