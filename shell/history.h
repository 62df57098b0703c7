// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The inputs of the history list, kept across restarts in the user's state folder.
#pragma once

#include <string>
#include <vector>

namespace nerova {

class TCalcCommands;

/// The history file for a program file: $XDG_STATE_HOME/<program name>/history
/// (~/.local/state when XDG_STATE_HOME is unset or not absolute), the program name being
/// the program file's name without its folder.
std::string historyPath(const std::string& programPath);

/// The saved inputs, most recent first, at most maxEntries of them. A missing, unreadable,
/// oversized or broken file gives an empty list. Never throws.
std::vector<std::string> loadHistory(const std::string& path, size_t maxEntries);

/// Saves entries (most recent first) to path atomically, creating its folder. Throws
/// std::runtime_error with "<path> に書き込めません" when it cannot.
void saveHistory(const std::string& path, const std::vector<std::string>& entries);

/// Deletes the saved history, if any. Never throws.
void forgetHistory(const std::string& path);

/// Adds the history saved at path (at most TCalcCommands::kMaxHistory entries) to the
/// commands' history, keeping its order. Never throws for the file (see loadHistory).
void restoreHistory(const std::string& path, TCalcCommands& commands);

/// Saves the commands' history to path (see saveHistory, whose exception passes).
void keepHistory(const std::string& path, const TCalcCommands& commands);

}  // namespace nerova
