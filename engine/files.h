// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Writing a whole file and knowing that every byte arrived: for every layer that writes
// one (the command line's markup, the renderer's images).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace nerova {

/// Opens file for writing (created or emptied), lets write fill it, closes it and tells
/// whether every byte reached the file (false for a missing folder, a full disk, ...).
/// Exceptions of write pass, with the file closed.
bool writeFileWith(const std::string& file, const std::function<void(std::ostream&)>& write);

}  // namespace nerova
