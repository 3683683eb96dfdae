// Brennik's input file under arbitrary bytes: each input is written as
// "input.dat" in the working folder and read by the program's reader, which
// must accept or refuse it without a crash, a hang or a sanitizer report.
// What it accepts must be fit to run; the grid itself is never run here.
// It writes "input.dat" where it runs: give it a folder of its own
// (tests/run_fuzz.sh runs it in a temporary one).

#include "brennik/run_settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(verify::inputName, "wb");
    if (!f) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;

    verify::RunSettings run;
    const std::optional<verify::InputError> e = verify::readRunSettings(run);
    if (e) {
        if (e->record < 1 || e->record > 6 || e->problem.empty()) std::abort();
        return 0;
    }
    const bool fit = (run.WhichLimit == verify::oneSided || run.WhichLimit == verify::twoSided) &&
                     run.alphaFirst >= 1 && run.alphaLast <= verify::alphaCount && run.alphaLast >= 1 &&
                     run.alphaFirst <= verify::alphaCount && run.nuFirst >= 1 && run.nuFirst <= verify::nuCount &&
                     run.nuLast >= 1 && run.nuLast <= verify::nuCount && run.AdapQuadTol > 0.0 &&
                     run.AdapQuadTol < 0.5 && !run.results.empty() && run.results != verify::inputName &&
                     run.results != verify::intermediateName && run.title.size() == 72;
    if (!fit) std::abort();
    return 0;
}
