// The calculator as a window program.
#pragma once

#include <string>
#include <vector>

/// Creates the application ("Nerova"), opens the main window and runs until it is
/// closed. files: the batch files (input, optional output) run at the first showing;
/// empty for none. Returns the application's exit code.
int runGui(int argc, char** argv, std::vector<std::string> files);
