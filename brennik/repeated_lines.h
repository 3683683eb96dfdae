#pragma once
// Collapses runs of diagnostic lines of one kind. A limit search can write
// the same line on nearly every step (" q1 error met, i is" with the step
// number); on the console that buries the results under hundreds of
// thousands of lines. Lines of one kind are lines from the same statement:
// the same format and texts, whatever their numbers. The lines of a run are
// held and counted; when a line of another kind comes or the run is flushed
// (after each limit computation), the last of them is written, with the
// count when there were several:
//
//  q1 error met, i is           57  (56 such lines in a row, the last shown)
//
// A line that comes alone is written as it stands.
// Single-threaded: the program's diagnostics pass through one instance.

#include "diag/sink.h"

namespace verify {

class RepeatedLines {
public:
    // Puts itself in front of the diagnostic writer installed now.
    RepeatedLines();
    // Flushes and puts the previous writer back.
    ~RepeatedLines();
    RepeatedLines(const RepeatedLines&) = delete;
    RepeatedLines& operator=(const RepeatedLines&) = delete;

    // Ends the current run of lines: writes the last one held, with its
    // count when there are several.
    static void flush();

private:
    diag::Writer previous_;
};

} // namespace verify
