// Nerova's entry point: the command-line modes run without any window (no GUI application
// object is created for them); with no arguments, or with batch file names, the calculator
// window starts.
#include <iostream>

#include "cli.h"
#include "gui.h"
#include "render.h"

int main(int argc, char** argv) {
    const nerova::CommandLine cmd = nerova::parseCommandLine(argc, argv);
    switch (cmd.mode) {
    case nerova::CommandLine::Mode::Window:
        return runGui(argc, argv, cmd.files);
    case nerova::CommandLine::Mode::Render:
        return renderToPng(cmd.renderText, cmd.renderFile, cmd.font, cmd.pointSize, std::cerr) == 0 ? 0 : 2;
    default:
        return nerova::runCommandLine(cmd, std::cin, std::cout, std::cerr);
    }
}
