// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Batch evaluation: every line of a text file, written with its value.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/messages.h"

namespace nerova {

/// A file that cannot be opened, read or written. The message is one of the codes
/// below; all but kFileNotFound carry the file's name as their argument.
class TInOutException : public MessageError {
public:
    using MessageError::MessageError;
};

inline constexpr Message kFileNotFound = Message::FileNotFound;
inline constexpr Message kFileCannotOpen = Message::FileCannotOpen;
inline constexpr Message kFileCannotRead = Message::FileCannotRead;
inline constexpr Message kFileCannotCreate = Message::FileCannotCreate;
inline constexpr Message kFileCannotWrite = Message::FileCannotWrite;
inline constexpr Message kFileSameAsInput = Message::FileSameAsInput;
inline constexpr Message kLineTooLong = Message::LineTooLong;
/// The names that messages give the standard streams.
inline constexpr Message kStandardInputName = Message::StandardInputName;
inline constexpr Message kStandardOutputName = Message::StandardOutputName;

/// The longest line that is read, in bytes: far beyond any expression worth typing, and
/// a bound on the memory that reading a line takes.
inline constexpr size_t kMaxLineBytes = size_t{64} << 20;

/// A line over the reader's limit; its rest has been skipped, so reading can go on.
class TLineTooLongException : public TInOutException {
public:
    TLineTooLongException() : TInOutException(kLineTooLong) {}
};

/// Reads the lines of a stream buffer, as the batch run and the prompt take them: a line
/// ends at "\r\n", "\n" or "\r"; characters of code 32 or less (NUL included) before a
/// line are skipped, so blank lines vanish, but they count toward the line's limit; a
/// Ctrl-Z met there ends the input. What the
/// buffer holds already is taken over in one copy and scanned here, so a line costs no
/// stream sentry and no call per character; the reader never waits for more input than
/// the buffer would (a pipe answered line by line keeps working). Once reading, the
/// reader owns the buffer: characters it took over are no longer in it.
class LineReader {
public:
    explicit LineReader(std::streambuf& buf, size_t maxLine = kMaxLineBytes)
        : buf_(buf), maxLine_(maxLine), chunk_(kChunkBytes) {}

    /// The next line, without its line end; false at the end of the input. Throws
    /// TLineTooLongException as soon as more than maxLine bytes have been read since the
    /// last line end (blanks and NULs before the line included), without waiting for the
    /// line to end: the next call skips its rest first. Throws what the buffer throws (a
    /// file buffer's failing read).
    bool Next(std::string& line);

private:
    static constexpr size_t kChunkBytes = size_t{16} << 10;

    /// Takes over what the buffer holds (at least one character, waiting for it as a
    /// character read would); false at the end of the input.
    bool Fill();

    std::streambuf& buf_;
    const size_t maxLine_;
    std::vector<char> chunk_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool ended_ = false;
    bool skipping_ = false;  // the rest of a line too long is still to be skipped
};

/// What the caller of a batch run may add: a cancel flag (see evaluateLines: once it is
/// true the run ends with TCancelledException, the records of the lines finished before
/// written) and a progress report, called after each record is written with the lines
/// written and the lines read so far.
struct BatchControl {
    const std::atomic<bool>* cancel = nullptr;
    std::function<void(std::size_t done, std::size_t read)> progress;
};

/// The information line during a window's batch run: 一括計算中… 1,234 / 1,240 行.
std::string batchProgressNotice(std::size_t done, std::size_t read);
/// The information line after a window's batch run ended, cancelled or not.
std::string batchEndNotice(std::size_t done, bool cancelled);

/// Evaluates the lines of in (read by LineReader) into out. A line starting with "#" is
/// copied; any other becomes "line = value" (the improper fraction, or the failure
/// message). Output lines end with "\n". Throws TInOutException naming inName or outName
/// when reading or writing fails, or a line is too long; lines already written stay written.
/// With jobs above 1 the lines are evaluated on that many threads (see evaluateLines); the
/// output is the same.
void runBatch(std::istream& in, const std::string& inName, std::ostream& out,
              const std::string& outName, unsigned jobs = 1, const BatchControl& control = {});

/// Evaluates the file inPath ("-": stdIn) into the file outPath, which is created or
/// emptied; an empty outPath (or "-") writes to stdOut. The input is opened and its first
/// character read first: when that fails (a missing file, a folder), the output is not
/// touched; nor is it when it is the input file itself (emptying it would lose the input,
/// appending to it would read the output for ever). std::cin and std::cout passed as
/// stdIn and stdOut are compared by the files they are. Throws TInOutException
/// (kFileNotFound for a missing input file, kFileSameAsInput naming the output). When a
/// write to the output file fails (a full disk), the file is cut back to its last whole
/// line before the exception leaves.
void runBatch(const std::string& inPath, const std::string& outPath, std::istream& stdIn,
              std::ostream& stdOut, unsigned jobs = 1, const BatchControl& control = {});

}  // namespace nerova
