// The calculator as a window program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Creates the application ("Nerova"), opens the main window and runs until it is
/// closed. files: the batch files (input, optional output) run at the first showing;
/// empty for none. maxDigits: the digit budget of one result (--max-digits), 0 for the
/// settings file's, else the machine's. Returns the application's exit code.
int runGui(int argc, char** argv, std::vector<std::string> files, int64_t maxDigits);
