// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The line loop of the batch run, on one thread or several.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace nerova {

/// Appends the output record of one batch line to out: a line starting with "#" as it
/// is, any other as "line = value" (the improper fraction, or the failure message); with
/// "\n". Nothing is appended when it throws (out of memory, a cancellation).
void appendBatchRecord(std::string& out, std::string_view line);

/// Reads lines with next (false at the end of the input) and hands their records to
/// write in input order. With jobs above 1, lines are evaluated on that many threads
/// while at most a bounded number of them is read ahead (so memory stays bounded however
/// long the input); the records are the same as on one thread.
/// When write throws, no further line is started, the lines in work are abandoned and
/// the exception passes on. When next throws, the records of the lines read before it
/// are written first (a failing write then passes instead), as on one thread.
///
/// Cancelling: the calling thread runs the message pump before each line, however short
/// (so a user interface stays responsive and its cancel reaches the loop); once *cancel
/// is true (set from anywhere, a signal handler included), every thread's pump throws
/// TCancelledException. A cancellation ends the whole run: records written before it stay
/// (a prefix of the output, whole lines), no record is written after it, and
/// TCancelledException passes on. It is never a line's record.
void evaluateLines(const std::function<bool(std::string&)>& next,
                   const std::function<void(std::string_view)>& write, unsigned jobs,
                   const std::atomic<bool>* cancel = nullptr);

}  // namespace nerova
