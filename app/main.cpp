// Nerova's entry point: the command-line modes run without any window; with no
// arguments (or with batch file names) the calculator window starts.
#include <iostream>

#include "cli.h"

int main(int argc, char** argv) {
    const nerova::CommandLine cmd = nerova::parseCommandLine(argc, argv);
    switch (cmd.mode) {
    case nerova::CommandLine::Mode::Window:
        // The calculator window starts here, with cmd.files for the batch run at its first
        // showing. Until it exists, runCommandLine stands in for it (batch, or the prompt).
        break;
    case nerova::CommandLine::Mode::Render:
        // --render: typeset cmd.renderText into cmd.renderFile (cmd.font, cmd.pointSize).
        break;
    default:
        break;
    }
    return nerova::runCommandLine(cmd, std::cin, std::cout, std::cerr);
}
