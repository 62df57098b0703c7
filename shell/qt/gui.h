// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The calculator as a window program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nerova {

/// Names the running QApplication "Nerova", loads Qt's Japanese texts, opens the main
/// window with the macro service and runs until the window is closed. files: the batch
/// files (input, optional output) run at the first showing; empty for none. maxDigits:
/// the digit budget of one result (--max-digits), 0 for the settings file's, else the
/// machine's. Returns the application's exit code.
int runGui(std::vector<std::string> files, int64_t maxDigits);

}  // namespace nerova
