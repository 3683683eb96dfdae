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
        interactive::writeTitle(con);
        const engine::Settings settings = interactive::loadOptionFile(con);
        interactive::offerExplanation(con);
        interactive::mainLoop(con, settings);
    } catch (const interactive::EndOfInput&) {
        con.finish();
        return 0;
    } catch (const interactive::FatalError& error) {
        con.line({error.what()});
        con.finish();
        return 1;
    }
}
