// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The program file the user started, after which the settings file, the history and the
// macro service are named. `nerova` hands it over to the window program it becomes for
// the window and the render mode, whose own file is another.
#pragma once

#include <string>

namespace nerova {

/// The program file as the user started it, for the names derived from it (the settings
/// file, the macro service): argv0 when it names the same file as running (directly, or
/// through PATH when it holds no "/"), else running, the path of the running program
/// file with its links resolved. A renamed copy made as a symbolic link thus keeps its
/// own name; an argv[0] that names nothing or another file is not trusted.
std::string programFile(const std::string& argv0, const std::string& running);

/// The environment variable in which `nerova` hands programFile over to the window
/// program, which replaces it (execv, same process) and so runs from a file of its own.
inline constexpr const char* kProgramFileVariable = "NEROVA_PROGRAM_FILE";

/// The window program's first step, before any thread starts: keeps the program file
/// handed over in kProgramFileVariable (none when unset or empty) and removes the
/// variable, so that no program started from the window inherits it.
void takeHandedProgramFile();

/// The program file the user started: the one takeHandedProgramFile kept, else (the
/// window program started on its own, or before it) programFile(argv0, running).
std::string startedProgramFile(const std::string& argv0, const std::string& running);

}  // namespace nerova
