// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/batch.h"
#include "tests/text_rows.h"
#include "shell/batchjobs.h"
#include "shell/calcowner.h"

#include "engine/pump.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string RunOn(const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out;
    nerova::runBatch(in, "in", out, "out");
    return out.str();
}

TEST(BatchTest, LinesAndTheirValues) {
    const nerova::test::TextRow rows[] = {
        // A comment, an empty line, a line with leading blanks, a failing line.
        {"# test\r\n\r\n  1/2+1/3\r\n1/0\r\n", "# test\n1/2+1/3 = 5/6\n1/0 = 0で割ろうとした\n"},
        {"1+1\n2+2\n", "1+1 = 2\n2+2 = 4\n"},        // "\n" alone ends a line
        {"1+1\r2+2\r", "1+1 = 2\n2+2 = 4\n"},        // and "\r" alone
        {"1+1\r\n2+2\n3+3\r4+4", "1+1 = 2\n2+2 = 4\n3+3 = 6\n4+4 = 8\n"},  // mixed; no final end
        {"\t\x01 1/3 \n", "1/3  = 1/3\n"},           // control characters before skipped, blanks after kept
        {"1\n\x1a" "2\n", "1 = 1\n"},                // Ctrl-Z at a line start ends the input
        {"1\n \x1a" "2\n", "1 = 1\n"},               // also after skipped blanks
        {"1+2\x1a+3\n4\n", "1+2\x1a+3 = 3\n4 = 4\n"},  // within a line it is a character
        {"#\n##x\n", "#\n##x\n"},
        {"", ""},
        {"\r\n\n \t\r", ""},
        {"x", "x = 数字がない\n"},
    };
    for (const auto& r : rows) EXPECT_EQ(RunOn(r.input), r.expected) << r.input;
}

class BatchFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("nerova_batch_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string ReadAll(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    static std::string ErrorOf(const std::string& in, const std::string& out) {
        std::istringstream stdIn;
        std::ostringstream stdOut;
        try {
            nerova::runBatch(in, out, stdIn, stdOut);
        } catch (const nerova::TInOutException& e) {
            return e.what();
        }
        return "no error";
    }

    fs::path dir_;
};

TEST_F(BatchFileTest, FileToFile) {
    Write(Path("in.txt"), "1/3+1/6\n# done\n");
    Write(Path("out.txt"), "old contents that must go\n");
    std::istringstream stdIn;
    std::ostringstream stdOut;
    nerova::runBatch(Path("in.txt"), Path("out.txt"), stdIn, stdOut);
    EXPECT_EQ(ReadAll(Path("out.txt")), "1/3+1/6 = 1/2\n# done\n");
    EXPECT_EQ(stdOut.str(), "");
}

TEST_F(BatchFileTest, StandardStreams) {
    Write(Path("in.txt"), "2^10\n");
    std::istringstream stdIn("1+1\n");
    std::ostringstream stdOut;
    nerova::runBatch(Path("in.txt"), "", stdIn, stdOut);  // no output file: standard output
    nerova::runBatch("-", "-", stdIn, stdOut);            // "-": standard input and output
    EXPECT_EQ(stdOut.str(), "2^10 = 1024\n1+1 = 2\n");
}

TEST_F(BatchFileTest, MissingInputLeavesTheOutputAlone) {
    Write(Path("out.txt"), "keep\n");
    EXPECT_EQ(ErrorOf(Path("missing.txt"), Path("out.txt")), nerova::sourceText(nerova::kFileNotFound));
    EXPECT_EQ(ErrorOf(Path("no/such/dir/in.txt"), Path("out.txt")), nerova::sourceText(nerova::kFileNotFound));
    EXPECT_EQ(ReadAll(Path("out.txt")), "keep\n");
}

// Creating the output would empty the input before it is read.
TEST_F(BatchFileTest, OutputThatIsTheInputIsRefused) {
    Write(Path("in.txt"), "1+1\n");
    fs::create_hard_link(Path("in.txt"), Path("link.txt"));
    EXPECT_EQ(ErrorOf(Path("in.txt"), Path("in.txt")),
              std::string(nerova::sourceText(nerova::kFileSameAsInput)) + ": " + Path("in.txt"));
    EXPECT_EQ(ErrorOf(Path("in.txt"), Path("link.txt")),
              std::string(nerova::sourceText(nerova::kFileSameAsInput)) + ": " + Path("link.txt"));
    EXPECT_EQ(ReadAll(Path("in.txt")), "1+1\n");
}

TEST_F(BatchFileTest, ErrorsNameTheFile) {
    Write(Path("in.txt"), "1\n");
    const std::string noDir = Path("no/such/dir/out.txt");
    EXPECT_EQ(ErrorOf(Path("in.txt"), noDir), std::string(nerova::sourceText(nerova::kFileCannotCreate)) + ": " + noDir);
    EXPECT_EQ(ErrorOf(Path("in.txt"), dir_.string()),
              std::string(nerova::sourceText(nerova::kFileCannotCreate)) + ": " + dir_.string());
    // A directory opens but cannot be read.
    EXPECT_EQ(ErrorOf(dir_.string(), Path("out.txt")),
              std::string(nerova::sourceText(nerova::kFileCannotRead)) + ": " + dir_.string());
    if (fs::exists("/dev/full")) {
        EXPECT_EQ(ErrorOf(Path("in.txt"), "/dev/full"), std::string(nerova::sourceText(nerova::kFileCannotWrite)) + ": /dev/full");
    }
}

// A stream buffer that takes a fixed number of bytes, then fails.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(size_t room) : room_(room) {}
    std::string written;

protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return 0;
        if (written.size() >= room_) return traits_type::eof();
        written += static_cast<char>(c);
        return c;
    }

private:
    size_t room_;
};

// Every line the reader gives, "!" standing for a line over the limit (which leaves the
// line empty).
std::vector<std::string> ReadAll(std::streambuf& buffer, size_t limit) {
    nerova::LineReader reader(buffer, limit);
    std::vector<std::string> got;
    for (;;) {
        std::string line;
        try {
            if (!reader.Next(line)) break;
            got.push_back(line);
        } catch (const nerova::TLineTooLongException&) {
            EXPECT_TRUE(line.empty());
            got.push_back("!");
        }
    }
    return got;
}

TEST(LineReaderTest, LongLinesAreSkippedAndReadingGoesOn) {
    struct Row {
        std::string input;
        std::vector<std::string> lines;  // "!" stands for a line over the limit
    } rows[] = {
        {"abcd\nxy\n", {"abcd", "xy"}},              // at the limit: read
        {"abcde\nxy\n", {"!", "xy"}},                // one byte over: skipped to its end
        {"abcdefghij\r\nxy", {"!", "xy"}},           // the line end after it is taken whole
        {"xy\r123456789", {"xy", "!"}},               // over the limit at the end of input
        {std::string(1, '\0') + std::string("1\0" "2\n", 4), {std::string("1\0" "2", 3)}},  // NULs before a line skipped, inside kept
        // Every byte read counts: blanks and NULs before a line are part of its length,
        // a line end starts the count again.
        {std::string(3, '\0') + "1\nxy\n", {"1", "xy"}},
        {std::string(4, '\0') + "1\nxy\n", {"!", "xy"}},
        {std::string(100, '\0') + "1\nxy\n", {"!", "xy"}},
        {"   \n \t \n\r\n    \nab\n", {"ab"}},
        {std::string(9, ' '), {"!"}},
    };
    for (const auto& row : rows) {
        std::istringstream in(row.input);
        EXPECT_EQ(ReadAll(*in.rdbuf(), 4), row.lines) << row.input;
    }
}

// A buffer that holds a few characters at a time (0: none, every character read by a
// call), as a pipe does: lines, "\r\n" pairs and the limit then straddle the reader's takes.
class PiecewiseBuffer : public std::streambuf {
public:
    PiecewiseBuffer(std::string text, size_t piece) : text_(std::move(text)), piece_(piece) {}

protected:
    int_type underflow() override {
        if (at_ >= text_.size()) return traits_type::eof();
        if (piece_ != 0) {
            const size_t n = std::min(piece_, text_.size() - at_);
            setg(text_.data() + at_, text_.data() + at_, text_.data() + at_ + n);
            at_ += n;
            return traits_type::to_int_type(*gptr());
        }
        return traits_type::to_int_type(text_[at_]);
    }
    int_type uflow() override {
        if (piece_ != 0) return std::streambuf::uflow();
        if (at_ >= text_.size()) return traits_type::eof();
        return traits_type::to_int_type(text_[at_++]);
    }

private:
    std::string text_;
    size_t piece_;
    size_t at_ = 0;
};

TEST(LineReaderTest, LinesAcrossTheBuffersTakes) {
    const std::string inputs[] = {
        "ab\r\ncd\rx\n\n  y\r", "1+1\r\n2+2\r\n3+3\r\n", "\r\r\n\n\t z",
        "abcdefgh\r\nok\r\n", "abcdef\nabcdefg\n12", std::string("a\x1A" "b\n\x1A" "c\n", 7),
        "\x80\xff\n \x01" "q",
    };
    const std::vector<std::vector<std::string>> expected = {
        {"ab", "cd", "x", "y"}, {"1+1", "2+2", "3+3"}, {"z"}, {"!", "ok"},
        {"abcdef", "!", "12"}, {"a\x1A" "b"}, {"\x80\xff", "q"},
    };
    for (size_t i = 0; i < std::size(inputs); ++i) {
        std::istringstream whole(inputs[i]);
        EXPECT_EQ(ReadAll(*whole.rdbuf(), 6), expected[i]) << i;
        for (size_t piece : {0, 1, 2, 3, 5}) {
            PiecewiseBuffer buffer(inputs[i], piece);
            EXPECT_EQ(ReadAll(buffer, 6), expected[i]) << i << " in pieces of " << piece;
        }
    }
}

TEST(BatchTest, LineOverTheLimitEndsTheRunNamingTheFile) {
    std::istringstream in("1+1\n" + std::string(nerova::kMaxLineBytes + 1, '1') + "\n2+2\n");
    std::ostringstream out;
    try {
        nerova::runBatch(in, "in.txt", out, "out");
        ADD_FAILURE() << "no exception";
    } catch (const nerova::TInOutException& e) {
        EXPECT_EQ(std::string(e.what()), std::string(nerova::sourceText(nerova::kLineTooLong)) + ": in.txt");
    }
    EXPECT_EQ(out.str(), "1+1 = 2\n");
}

TEST(BatchTest, WriteFailureKeepsTheLinesWritten) {
    std::string input;
    for (int i = 1; i <= 100; ++i) input += std::to_string(i) + "\n";
    std::istringstream in(input);
    FailingBuffer buffer(30);
    std::ostream out(&buffer);
    try {
        nerova::runBatch(in, "in", out, "result.txt");
        ADD_FAILURE() << "the write failure went unnoticed";
    } catch (const nerova::TInOutException& e) {
        EXPECT_EQ(std::string(e.what()), std::string(nerova::sourceText(nerova::kFileCannotWrite)) + ": result.txt");
    }
    EXPECT_EQ(buffer.written.substr(0, 24), "1 = 1\n2 = 2\n3 = 3\n4 = 4\n");
    EXPECT_LE(buffer.written.size(), 30u);
}

// --- several threads -------------------------------------------------------------------

std::string RunOn(const std::string& input, unsigned jobs) {
    std::istringstream in(input);
    std::ostringstream out;
    nerova::runBatch(in, "in", out, "out", jobs);
    return out.str();
}

// Lines of every kind, cheap and dear mixed so that tasks finish out of order, and more
// of them than the threads read ahead.
std::string MixedInput() {
    const char* kinds[] = {"# comment %", "%+1/3", "1/0", "  (%", "2^(1/2)", "\r\n\r",
                           "7^1500*%/3^900", "%^-1", "", "x%", "-%+%", "1:2/%"};
    std::string input;
    for (int i = 1; i <= 700; ++i) {
        std::string line = kinds[i % 12];
        for (size_t at; (at = line.find('%')) != std::string::npos;) line.replace(at, 1, std::to_string(i));
        input += line + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
    }
    return input;
}

TEST(BatchJobsTest, SameOutputOnAnyNumberOfThreads) {
    const std::string input = MixedInput();
    const std::string oneThread = RunOn(input, 1);
    ASSERT_NE(oneThread.find("7 = 数字がない"), std::string::npos);  // the input mixes failures in
    for (unsigned jobs : {2u, 3u, 8u}) EXPECT_EQ(RunOn(input, jobs), oneThread) << jobs << " threads";
    for (const char* edge : {"", "\n\n", "# only\n", "1+1", "1\n\x1a" "2\n"}) {
        EXPECT_EQ(RunOn(edge, 4), RunOn(edge, 1)) << edge;
    }
}

// A write that fails stops the run with the same message and the same bytes written as
// on one thread, wherever it fails.
TEST(BatchJobsTest, WriteFailureAsOnOneThread) {
    const std::string input = MixedInput();
    for (size_t room : {0u, 1u, 100u, 5000u, 40000u}) {
        std::string message[2], written[2];
        for (int i = 0; i < 2; ++i) {
            std::istringstream in(input);
            FailingBuffer buffer(room);
            std::ostream out(&buffer);
            try {
                nerova::runBatch(in, "in", out, "result.txt", i == 0 ? 1 : 3);
            } catch (const nerova::TInOutException& e) {
                message[i] = e.what();
            }
            written[i] = buffer.written;
        }
        EXPECT_EQ(message[1], message[0]) << room;
        EXPECT_EQ(message[0], std::string(nerova::sourceText(nerova::kFileCannotWrite)) + ": result.txt") << room;
        EXPECT_EQ(written[1], written[0]) << room;
    }
}

// An input buffer that gives a fixed number of bytes, then fails as a file buffer does.
class FailingInput : public std::streambuf {
public:
    FailingInput(std::string text, size_t failAt) : text_(std::move(text)), failAt_(failAt) {}

protected:
    int underflow() override {
        if (at_ >= failAt_) throw std::ios_base::failure("read");
        return at_ < text_.size() ? traits_type::to_int_type(text_[at_]) : traits_type::eof();
    }
    int uflow() override {
        const int c = underflow();
        if (c != traits_type::eof()) ++at_;
        return c;
    }

private:
    std::string text_;
    size_t failAt_;
    size_t at_ = 0;
};

// A read that fails writes the lines read before it, then stops with the read message.
TEST(BatchJobsTest, ReadFailureAsOnOneThread) {
    const std::string input = MixedInput();
    for (size_t failAt : {size_t{0}, size_t{10}, input.size() / 3, input.size() - 1}) {
        std::string message[2], written[2];
        for (int i = 0; i < 2; ++i) {
            FailingInput buffer(input, failAt);
            std::istream in(&buffer);
            std::ostringstream out;
            try {
                nerova::runBatch(in, "data.txt", out, "out", i == 0 ? 1 : 4);
            } catch (const nerova::TInOutException& e) {
                message[i] = e.what();
            }
            written[i] = out.str();
        }
        EXPECT_EQ(message[0], std::string(nerova::sourceText(nerova::kFileCannotRead)) + ": data.txt") << failAt;
        EXPECT_EQ(message[1], message[0]) << failAt;
        EXPECT_EQ(written[1], written[0]) << failAt;
    }
}

// A cancel ends the whole run, on any number of threads: what was written is a whole
// prefix of the uncancelled output, no line's record is the cancellation, no line after
// it is written, and the cancellation passes on. Lines of any length see it (a short
// line never reaches the pump inside the engine).
TEST(BatchCancelTest, CancelEndsTheWholeRunKeepingWholeLines) {
    std::string input;
    for (int i = 0; i < 400; ++i) input += i % 50 == 7 ? "3^3^9+" + std::to_string(i) + "\n" : std::to_string(i) + "+1\n";
    const std::string full = RunOn(input, 1);
    for (unsigned jobs : {1u, 4u}) {
        for (std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{9}, std::size_t{200}}) {
            std::atomic<bool> cancel{at == 0};
            std::size_t progressed = 0, readAtLeast = 0;
            nerova::BatchControl control{&cancel, [&](std::size_t done, std::size_t read) {
                                             progressed = done;
                                             readAtLeast = std::max(readAtLeast, read);
                                             EXPECT_LE(done, read);
                                             if (done == at) cancel = true;
                                         }};
            std::istringstream in(input);
            std::ostringstream out;
            EXPECT_THROW(nerova::runBatch(in, "in", out, "out", jobs, control), nerova::TCancelledException)
                << jobs << " threads, cancelled after " << at;
            const std::string written = out.str();
            EXPECT_EQ(full.compare(0, written.size(), written), 0) << jobs << " threads, " << at;
            EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), static_cast<long>(at)) << jobs << ", " << at;
            EXPECT_EQ(progressed, at);
            EXPECT_EQ(written.find(nerova::sourceText(nerova::kCancelled)), std::string::npos);
        }
    }
}

// The window's pump throws the cancellation itself (after Esc), at whatever line it is
// asked to: the run ends there, and the line in progress leaves no record.
TEST(BatchCancelTest, APumpThatCancelsEndsTheRun) {
    const std::string input = "1\n2\n# note\n3^3^12\n4\n5\n";
    static int calls;
    for (int cancelAt : {1, 2, 3, 5}) {
        calls = 0;
        static int limit;
        limit = cancelAt;
        const pump::Scope scope([](void*) {
            if (++calls >= limit) throw nerova::TCancelledException();
        }, nullptr);
        std::istringstream in(input);
        std::ostringstream out;
        EXPECT_THROW(nerova::runBatch(in, "in", out, "out"), nerova::TCancelledException) << cancelAt;
        // The pump runs before each line: lines before the cancelling call are written.
        const std::string expected[] = {"", "1 = 1\n", "1 = 1\n2 = 2\n", "1 = 1\n2 = 2\n# note\n"};
        EXPECT_EQ(out.str(), expected[std::min(cancelAt - 1, 3)]) << cancelAt;
    }
}

// Owner: one at a time, cancel only while running and forgotten at the end, and the end
// announced after the pump handler is gone; a cancel thrown by the owner's pump.
TEST(CalcOwnerTest, OneAtATimeAndCancelEndsOnlyItsCalculation) {
    nerova::CalcOwner owner;
    std::vector<bool> seen;
    owner.setBusyObserver([&](bool busy) {
        seen.push_back(busy);
        EXPECT_EQ(pump::Current().handler, nullptr) << "busy " << busy;
    });
    owner.cancel();  // nothing runs: forgotten
    bool inner = false;
    EXPECT_TRUE(owner.run([&] {
        EXPECT_TRUE(owner.busy());
        EXPECT_FALSE(owner.run([&] { inner = true; }));
        pump::ProcessMessages();  // no cancel requested: goes on
    }));
    EXPECT_FALSE(inner);
    EXPECT_THROW(owner.run([&] {
        owner.cancel();
        EXPECT_TRUE(owner.cancelRequested());
        pump::ProcessMessages();
        ADD_FAILURE() << "the pump did not cancel";
    }), nerova::TCancelledException);
    EXPECT_FALSE(owner.busy());
    EXPECT_FALSE(owner.cancelRequested());
    // The interface's own event processing is never left by a cancellation.
    bool nested = true;
    owner.setEventPump([&] { return !nested; });
    EXPECT_TRUE(owner.run([&] {
        owner.cancel();
        pump::ProcessMessages();
    }));
    owner.quit();
    EXPECT_FALSE(owner.run([] {}));
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true, false, true, false}));
}

}  // namespace
