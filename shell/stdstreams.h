// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The process's standard input, output and error as C++ streams for the command line,
// built at their first use instead of at the program's start: the streams' locale costs a
// start that needs none of them (`nerova -e 1+1` writes through C's stdout) about a sixth
// of its time. Like std::cin, std::cout and std::cerr in their default mode, they read
// and write through C's stdin, stdout and stderr without a buffer of their own, so their
// text and C's stdio keep their order.
#pragma once

#include <iosfwd>

namespace nerova {

/// Standard input; reading it first flushes standardOutput(), as std::cin does std::cout.
std::istream& standardInput();
/// Standard output.
std::ostream& standardOutput();
/// Standard error, flushed after every output operation and tied to standardOutput().
std::ostream& standardError();

/// Whether in reads C's stdin: standardInput(), or std::cin in its default mode.
bool readsStandardInput(const std::istream& in);
/// Whether out writes C's stdout: standardOutput(), or std::cout in its default mode.
bool writesStandardOutput(const std::ostream& out);

}  // namespace nerova
