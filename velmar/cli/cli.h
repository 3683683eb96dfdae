#pragma once
// Velmar's command line: subcommands lognormal, limit, table and verify.

#include <iosfwd>

namespace velmar::cli {

// Runs the command line; returns the exit status: 0 success, 1 bad data or a
// failed computation, 2 a usage error. Results go to `out` (or the --output
// file) in one piece at the end, messages to `err`.
int run(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace velmar::cli
