// The calculator as a window program.
#pragma once

#include <string>
#include <vector>

namespace nerova {

/// Names the running QApplication "Nerova", loads Qt's Japanese texts, opens the main
/// window with the macro service and runs until the window is closed. files: the batch
/// files (input, optional output) run at the first showing; empty for none. Returns the
/// application's exit code.
int runGui(std::vector<std::string> files);

}  // namespace nerova
