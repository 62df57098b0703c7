// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The window and the image renderer live in a shared module that the program loads only
// for those two modes: the command-line modes then start without mapping any Qt library.
#pragma once

namespace nerova {

struct CommandLine;

/// The module's one exported function: runs the window or the render mode of cmd and
/// returns the exit status. argc and argv are the program's own.
using GuiMain = int (*)(int argc, char** argv, const CommandLine& cmd);

/// The exported name of the module's GuiMain.
inline constexpr const char* kGuiMainSymbol = "nerova_gui_main";

}  // namespace nerova
