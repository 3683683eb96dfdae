// Velmar: exact confidence limits for mu + lambda x sigma-squared of a normal
// distribution, by question and answer on the console; with arguments, a
// command line for data files and scripts.
#include "velmar/answers.h"
#include "velmar/dialogue.h"
#include "velmar/cli/cli.h"
#include "velmar/startup.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc > 1) return velmar::cli::run(argc, argv, std::cin, std::cout, std::cerr);
    records::Console con(std::cin, std::cout);
    con.useUtf8(records::localeIsUtf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG")));
    con.receiveDiagnostics();
    try {
        velmar::writeTitle(con);
        const engine::Settings settings = velmar::loadOptionFile(con);
        velmar::offerExplanation(con);
        velmar::mainLoop(con, settings);
    } catch (const velmar::EndOfInput&) {
        con.finish();
        return 0;
    } catch (const velmar::FatalError& error) {
        con.line({error.what()});
        con.finish();
        return 1;
    }
}
