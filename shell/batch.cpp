// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/batch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ios>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <streambuf>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/batchjobs.h"
#include "shell/calcowner.h"
#include "shell/language.h"
#include "shell/stdstreams.h"
#include "shell/textcalc.h"

namespace nerova {

namespace {

constexpr int kCtrlZ = 26;
constexpr int kEof = std::char_traits<char>::eof();

[[noreturn]] void Fail(Message message, const std::string& name) {
    throw TInOutException(message, name);
}

std::optional<struct stat> Identity(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return st;
}

std::optional<struct stat> Identity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return st;
}

// Two names of one regular file. A device (/dev/null on both ends) loses nothing.
bool SameFile(const std::optional<struct stat>& a, const std::optional<struct stat>& b) {
    return a && b && S_ISREG(a->st_mode) && a->st_dev == b->st_dev && a->st_ino == b->st_ino;
}

// Cuts the file at path (when it is still the file id) after its last line end: what a
// failed write left of the line it was writing goes, the whole lines before it stay.
void CutToLastWholeLine(const std::string& path, const std::optional<struct stat>& id) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    const std::optional<struct stat> now = Identity(fd);
    if (now && id && S_ISREG(now->st_mode) && now->st_dev == id->st_dev && now->st_ino == id->st_ino) {
        off_t end = now->st_size;
        char block[65536];
        off_t keep = 0;
        while (end > 0 && keep == 0) {
            const off_t from = std::max<off_t>(0, end - static_cast<off_t>(sizeof block));
            const ssize_t n = ::pread(fd, block, static_cast<size_t>(end - from), from);
            if (n != end - from) break;
            for (ssize_t i = n; i > 0; --i) {
                if (block[i - 1] == '\n') {
                    keep = from + i;
                    break;
                }
            }
            end = from;
        }
        if (keep < now->st_size && ::ftruncate(fd, keep) == 0) ::fsync(fd);
    }
    ::close(fd);
}

}  // namespace

bool LineReader::Fill() {
    pos_ = end_ = 0;
    if (buf_.sgetc() == kEof) return false;
    // A buffered stream holds at least the character just seen; an unbuffered one
    // (standard input in step with C's) is taken a character at a time.
    const std::streamsize held = buf_.in_avail();
    if (held <= 0) {
        chunk_[0] = static_cast<char>(buf_.sbumpc());
        end_ = 1;
    } else {
        const auto want = std::min(static_cast<size_t>(held), chunk_.size());
        end_ = static_cast<size_t>(buf_.sgetn(chunk_.data(), static_cast<std::streamsize>(want)));
    }
    return end_ != 0;
}

bool LineReader::Next(std::string& line) {
    line.clear();
    if (ended_) return false;
    // The rest of a line found too long: skipped, however long, without a second message.
    while (skipping_) {
        if (pos_ == end_ && !Fill()) {
            ended_ = true;
            return false;
        }
        const char* const from = chunk_.data() + pos_;
        const char* const to = chunk_.data() + end_;
        const char* const at = std::find_if(from, to, [](char c) { return c == '\n' || c == '\r'; });
        pos_ += static_cast<size_t>(at - from);
        if (at != to) skipping_ = false;  // the line end itself is a blank, skipped below
    }
    // Every byte read counts toward the limit: the blanks and NULs before a line are part
    // of it (a stream of them without a line end is a line too long, not an endless
    // wait), while a line end starts the count again.
    size_t counted = 0;
    for (;;) {
        if (pos_ == end_ && !Fill()) {
            ended_ = true;
            return false;
        }
        const auto c = static_cast<unsigned char>(chunk_[pos_]);
        // A Ctrl-Z ends the input only where a line would start; inside a line it is
        // an ordinary character.
        if (c == kCtrlZ) {
            ended_ = true;
            return false;
        }
        if (c > ' ') break;
        ++pos_;
        if (c == '\n' || c == '\r') {
            counted = 0;
        } else if (++counted > maxLine_) {
            skipping_ = true;
            throw TLineTooLongException();
        }
    }
    for (;;) {
        if (pos_ == end_ && !Fill()) {
            ended_ = true;
            break;
        }
        const char* const from = chunk_.data() + pos_;
        const char* const to = chunk_.data() + end_;
        // The line's end: its '\n', or a '\r' before it (a line may end with either).
        // The C library's scans take the bytes a vector at a time.
        const auto* newline = static_cast<const char*>(std::memchr(from, '\n', static_cast<size_t>(to - from)));
        const char* at = newline != nullptr ? newline : to;
        if (const void* cr = std::memchr(from, '\r', static_cast<size_t>(at - from))) at = static_cast<const char*>(cr);
        const auto n = static_cast<size_t>(at - from);
        pos_ += n;
        // Thrown as soon as the limit is passed; a line that goes on has its rest
        // skipped by the next call.
        if (n > maxLine_ - counted - line.size()) {
            line.clear();
            line.shrink_to_fit();
            if (at == to) {
                skipping_ = true;
            } else {
                ++pos_;
                if (*at == '\r' && (pos_ != end_ || Fill()) && chunk_[pos_] == '\n') ++pos_;
            }
            throw TLineTooLongException();
        }
        line.append(from, n);
        if (at == to) continue;
        ++pos_;
        if (*at == '\r' && (pos_ != end_ || Fill()) && chunk_[pos_] == '\n') ++pos_;
        break;
    }
    return true;
}

std::string batchProgressNotice(std::size_t done, std::size_t read) {
    return text(Message::BatchProgressNotice, groupedDigits(done), groupedDigits(read));
}

std::string batchEndNotice(std::size_t done, bool cancelled) {
    return text(cancelled ? Message::BatchCancelledNotice : Message::BatchDoneNotice, groupedDigits(done));
}

void runBatch(std::istream& in, const std::string& inName, std::ostream& out,
              const std::string& outName, unsigned jobs, const BatchControl& control) {
    if (!in.rdbuf()) Fail(kFileCannotRead, inName);
    LineReader reader(*in.rdbuf());
    std::size_t read = 0, done = 0;
    const auto next = [&](std::string& line) {
        try {
            const bool more = reader.Next(line);
            read += more;
            return more;
        } catch (const std::ios_base::failure&) {
            Fail(kFileCannotRead, inName);
        } catch (const TLineTooLongException&) {
            Fail(kLineTooLong, inName);
        }
    };
    const auto write = [&](std::string_view record) {
        out.write(record.data(), static_cast<std::streamsize>(record.size()));
        if (!out) Fail(kFileCannotWrite, outName);
        ++done;
        if (control.progress) control.progress(done, read);
    };
    try {
        evaluateLines(next, write, jobs, control.cancel);
    } catch (const TCancelledException&) {
        // The finished lines are kept whole: they reach the file before the run ends.
        out.flush();
        throw;
    }
    out.flush();
    if (!out) Fail(kFileCannotWrite, outName);
}

void runBatch(const std::string& inPath, const std::string& outPath, std::istream& stdIn,
              std::ostream& stdOut, unsigned jobs, const BatchControl& control) {
    std::ifstream inFile;
    std::istream* in = &stdIn;
    const std::string inName = inPath == "-" ? text(kStandardInputName) : inPath;
    std::optional<struct stat> inId;
    if (inPath != "-") {
        errno = 0;
        inFile.open(inPath, std::ios::in | std::ios::binary);
        if (!inFile.is_open()) {
            const int error = errno;
            std::error_code ec;
            if (error == ENOENT || error == ENOTDIR || !std::filesystem::exists(inPath, ec)) {
                throw TInOutException(kFileNotFound);
            }
            Fail(kFileCannotOpen, inPath);
        }
        in = &inFile;
        inId = Identity(inPath);
    } else if (readsStandardInput(stdIn)) {
        inId = Identity(STDIN_FILENO);
    }
    // A folder opens but does not read; nothing is created or emptied for an input that
    // fails before its first character.
    if (inId && S_ISDIR(inId->st_mode)) Fail(kFileCannotRead, inName);
    try {
        if (in->rdbuf()) in->rdbuf()->sgetc();
    } catch (const std::ios_base::failure&) {
        Fail(kFileCannotRead, inName);
    }

    std::ofstream outFile;
    std::ostream* out = &stdOut;
    const bool toStdOut = outPath.empty() || outPath == "-";
    const std::string outName = toStdOut ? text(kStandardOutputName) : outPath;
    // Writing onto the input would empty it, or (appending) read its own output for ever.
    const std::optional<struct stat> outId =
        toStdOut ? (writesStandardOutput(stdOut) ? Identity(STDOUT_FILENO) : std::nullopt) : Identity(outPath);
    if (SameFile(inId, outId)) Fail(kFileSameAsInput, outName);
    if (!toStdOut) {
        outFile.open(outPath, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!outFile.is_open()) Fail(kFileCannotCreate, outPath);
        out = &outFile;
    }
    const std::optional<struct stat> createdId = toStdOut ? std::nullopt : Identity(outPath);
    try {
        runBatch(*in, inName, *out, outName, jobs, control);
    } catch (const TInOutException&) {
        // A write that failed (a full disk) may have left part of a line: the file
        // ends at its last whole line.
        if (!toStdOut && outFile.bad()) {
            outFile.close();
            CutToLastWholeLine(outPath, createdId);
        }
        throw;
    }
}

}  // namespace nerova
