// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/cli.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <exception>
#include <istream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string_view>
#include <thread>

#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "engine/tabai.h"
#include "shell/batch.h"
#include "shell/budget.h"
#include "shell/language.h"
#include "shell/version.h"

namespace nerova {

namespace {

using Markup = CommandLine::Markup;

struct FormName {
    std::string_view name;
    ResultForm form;
    Markup markup;
};

constexpr FormName kForms[] = {
    {"improper", ResultForm::Improper, Markup::None},   {"mixed", ResultForm::Mixed, Markup::None},
    {"plus", ResultForm::Plus, Markup::None},           {"float", ResultForm::Float, Markup::None},
    {"decimal", ResultForm::Decimal, Markup::None},     {"recurring", ResultForm::Recurring, Markup::None},
    {"latex", ResultForm::Improper, Markup::Latex},     {"mathml", ResultForm::Improper, Markup::Mathml},
};

CommandLine Error(std::string message) {
    CommandLine cmd;
    cmd.mode = CommandLine::Mode::Error;
    cmd.error = std::move(message);
    return cmd;
}

// "--name=value" gives value and true; "--name" gives false.
bool SplitValue(const std::string& arg, std::string_view name, std::string& value) {
    if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

const char* kHelp =
    "Nerova: exact fractions, on the command line.\n"
    "\n"
    "  nerova -e EXPR [-e EXPR]... [--form FORM]\n"
    "      Evaluate each EXPR and print its value, one a line. A failed calculation\n"
    "      prints its message on standard error and the exit status is 1.\n"
    "      FORM: improper (default, 7/2), mixed (3:1/2), plus (3+1/2), float (3.5),\n"
    "      decimal (cut off with …), recurring (periods in brackets: 0.[3]),\n"
    "      latex (\\frac{7}{2}), mathml (<math>…</math>).\n"
    "  nerova --batch IN [OUT] [--jobs N]\n"
    "      Evaluate every line of the file IN (\"-\": standard input) into OUT, or onto\n"
    "      standard output; lines starting with \"#\" are copied. Exit status 2 when a\n"
    "      file cannot be read or written. Lines are evaluated on N threads (default:\n"
    "      one per core) and written in their order.\n"
    "  nerova --repl        Interactive prompt (end it with Ctrl-D).\n"
    "  nerova --render TEXT FILE [--font FAMILY] [--size POINTS]\n"
    "      Typeset TEXT (\"-\": standard input) as the fraction display does and save it;\n"
    "      FILE's extension chooses: .png image, .svg scalable image, .tex LaTeX,\n"
    "      .mml MathML. Exit status 2 when FILE cannot be written.\n"
    "  nerova [IN [OUT]]    The calculator window; with file names it first runs the batch.\n"
    "  nerova --help | --version\n"
    "  --max-digits N   With any mode: refuse a result of more than N decimal digits\n"
    "      (default: what a quarter of the memory holds).\n"
    "\n"
    "Expressions: integers, decimals 2.5, fractions 1/3, recurring decimals 0.1[6],\n"
    "mixed numbers 1:2/3, + - * / ^ (integer powers) and parentheses.\n";

// Reads the prompt's lines. On a terminal (standard input and output both) a line is
// edited in place: left and right, Home and End, Backspace and Delete, Ctrl-U, and up and
// down through the earlier lines. Anywhere else lines are read plainly, without a prompt,
// as the batch run reads them (in memory bounded by the line limit).
class TerminalLineReader {
public:
    TerminalLineReader(std::istream& in, std::ostream& out)
        : out_(out),
          terminal_(&in == &std::cin && &out == &std::cout && isatty(STDIN_FILENO) &&
                    isatty(STDOUT_FILENO)) {
        if (!terminal_ && in.rdbuf()) lines_.emplace(*in.rdbuf());
    }

    // The next line; false at the end of the input. Throws TLineTooLongException.
    bool ReadLine(const char* prompt, std::string& line) {
        if (!terminal_) return lines_ && lines_->Next(line);
        return EditLine(prompt, line);
    }

    void Remember(const std::string& line) {
        if (!terminal_ || (!history_.empty() && history_.back() == line)) return;
        history_.push_back(line);
        if (history_.size() > kMaxHistory) history_.erase(history_.begin());
    }

private:
    static constexpr size_t kMaxHistory = 500;

    // Raw input for one line: no echo, no line buffering, Ctrl-C read as a key. The
    // terminal is put back on every path.
    class RawMode {
    public:
        RawMode() : ok_(tcgetattr(STDIN_FILENO, &saved_) == 0) {
            if (!ok_) return;
            termios raw = saved_;
            raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG | IEXTEN));
            raw.c_iflag &= static_cast<tcflag_t>(~(IXON | ICRNL));
            raw.c_cc[VMIN] = 1;
            raw.c_cc[VTIME] = 0;
            tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        }
        ~RawMode() {
            if (ok_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        }
        RawMode(const RawMode&) = delete;
        RawMode& operator=(const RawMode&) = delete;

    private:
        termios saved_{};
        bool ok_;
    };

    static int Key() {
        unsigned char c;
        return read(STDIN_FILENO, &c, 1) == 1 ? c : -1;
    }
    static bool Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

    // Redraws the line, then writes its part before the cursor once more: the terminal
    // itself then puts the cursor where it belongs, whatever the widths of the characters.
    void Show(const char* prompt, const std::string& line, size_t cursor) {
        std::string screen = "\r";
        screen += prompt;
        screen += line;
        screen += "\x1b[K\r";
        screen += prompt;
        screen.append(line, 0, cursor);
        out_ << screen;
        out_.flush();
    }

    bool EditLine(const char* prompt, std::string& line) {
        out_.flush();
        const RawMode raw;
        line.clear();
        size_t cursor = 0;
        size_t recalled = history_.size();  // history_.size(): the line being typed
        std::string typed;
        Show(prompt, line, cursor);
        for (;;) {
            const int c = Key();
            if (c < 0 || c == 3 || (c == 4 && line.empty())) {  // end, Ctrl-C, Ctrl-D
                out_ << "\r\n";
                out_.flush();
                return false;
            }
            if (c == '\r' || c == '\n') {
                out_ << "\r\n";
                out_.flush();
                return true;
            }
            if (c == 127 || c == 8) {  // Backspace
                while (cursor > 0) {
                    const char removed = line[--cursor];
                    line.erase(cursor, 1);
                    if (!Continuation(removed)) break;
                }
            } else if (c == 21) {  // Ctrl-U
                line.erase(0, cursor);
                cursor = 0;
            } else if (c == 1) {  // Ctrl-A
                cursor = 0;
            } else if (c == 5) {  // Ctrl-E
                cursor = line.size();
            } else if (c == 27) {
                int k = Key();
                if (k != '[' && k != 'O') continue;
                k = Key();
                std::string code(1, static_cast<char>(k));
                while (k >= '0' && k <= '9') {
                    k = Key();
                    code += static_cast<char>(k);
                }
                if (code == "A" || code == "B") {
                    if (recalled == history_.size()) typed = line;
                    if (code == "A" && recalled > 0) --recalled;
                    if (code == "B" && recalled < history_.size()) ++recalled;
                    line = recalled == history_.size() ? typed : history_[recalled];
                    cursor = line.size();
                } else if (code == "C") {
                    if (cursor < line.size()) ++cursor;
                    while (cursor < line.size() && Continuation(line[cursor])) ++cursor;
                } else if (code == "D") {
                    if (cursor > 0) --cursor;
                    while (cursor > 0 && Continuation(line[cursor])) --cursor;
                } else if (code == "H" || code == "1~") {
                    cursor = 0;
                } else if (code == "F" || code == "4~") {
                    cursor = line.size();
                } else if (code == "3~" && cursor < line.size()) {
                    size_t end = cursor + 1;
                    while (end < line.size() && Continuation(line[end])) ++end;
                    line.erase(cursor, end - cursor);
                }
            } else if (c >= 32 && line.size() < kMaxLineBytes) {
                line.insert(cursor++, 1, static_cast<char>(c));
            }
            Show(prompt, line, cursor);
        }
    }

    std::ostream& out_;
    const bool terminal_;
    std::optional<LineReader> lines_;
    std::vector<std::string> history_;
};

// The status of a mode that wrote onto out: a failed write (a full disk, a closed pipe)
// turns it into 2 with a message, as the batch run reports it.
int Finish(int status, std::ostream& out, std::ostream& err) {
    out.flush();
    if (out) return status;
    err << "nerova: " << text(kFileCannotWrite, text(kStandardOutputName)) << '\n';
    return 2;
}

int RunEval(const CommandLine& cmd, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (const std::string& expression : cmd.expressions) {
        const TextResult result = evalText(expression, cmd.form);
        if (result.ok) {
            if (cmd.markup == Markup::Latex) writeLatex(result.text, out);
            else if (cmd.markup == Markup::Mathml) writeMathml(result.text, out);
            else out << result.text;
            out << '\n';
            if (!result.unused.empty()) {
                out.flush();
                err << unusedNotice(result.unused) << '\n';
            }
        } else {
            out.flush();
            err << result.text << '\n';
            status = 1;
        }
    }
    return Finish(status, out, err);
}

int RunBatch(const std::vector<std::string>& files, unsigned jobs, std::istream& in,
             std::ostream& out, std::ostream& err) {
    try {
        runBatch(files[0], files.size() > 1 ? files[1] : std::string(), in, out, jobs);
        return 0;
    } catch (const std::exception& e) {
        err << "nerova: " << messageOf(e) << '\n';
    }
    return 2;
}

int RunRenderMarkup(CommandLine cmd, std::istream& in, std::ostream& err) {
    if (!takeRenderText(cmd, in, err)) return 2;
    const bool latex = cmd.renderFormat == RenderFormat::Latex;
    const bool written = writeFileWith(cmd.renderFile, [&](std::ostream& file) {
        if (latex) writeLatex(cmd.renderText, file);
        else writeMathml(cmd.renderText, file);
        file << '\n';
    });
    if (written) return 0;
    err << kRenderCannotWrite << cmd.renderFile << '\n';
    return 2;
}

}  // namespace

std::string usageLine() {
    return "usage: nerova [--max-digits N] [-e EXPR]... [--form FORM] | --batch IN [OUT] [--jobs N] | --repl | "
           "--render TEXT FILE [--font FAMILY] [--size POINTS] | --help | --version | [IN [OUT]]";
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cmd;
    bool batch = false, repl = false, render = false, help = false, version = false;
    bool formGiven = false, fontGiven = false, sizeGiven = false, jobsGiven = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        // The next argument, taken as it is (an expression may start with "-").
        auto next = [&](std::string_view option) -> bool {
            if (i + 1 >= args.size()) {
                cmd.error = std::string(option) + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            cmd.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-e" || arg == "--eval") {
            if (!next(arg)) return Error(cmd.error);
            cmd.expressions.push_back(value);
        } else if (SplitValue(arg, "--eval", value)) {
            cmd.expressions.push_back(value);
        } else if (arg == "--form" || SplitValue(arg, "--form", value)) {
            if (arg == "--form" && !next(arg)) return Error(cmd.error);
            if (formGiven) return Error("--form given twice");
            formGiven = true;
            bool known = false;
            for (const FormName& f : kForms) {
                if (value == f.name) {
                    cmd.form = f.form;
                    cmd.markup = f.markup;
                    known = true;
                }
            }
            if (!known) {
                return Error("unknown form '" + value +
                             "' (improper, mixed, plus, float, decimal, recurring, latex or mathml)");
            }
        } else if (arg == "--batch") {
            batch = true;
        } else if (arg == "--jobs" || SplitValue(arg, "--jobs", value)) {
            if (arg == "--jobs" && !next(arg)) return Error(cmd.error);
            jobsGiven = true;
            const auto res = std::from_chars(value.data(), value.data() + value.size(), cmd.jobs);
            if (res.ec != std::errc() || res.ptr != value.data() + value.size() || cmd.jobs < 1 ||
                cmd.jobs > kMaxJobs) {
                return Error("--jobs needs a number of threads from 1 to " +
                             std::to_string(kMaxJobs) + ", not '" + value + "'");
            }
        } else if (arg == "--repl") {
            repl = true;
        } else if (arg == "--render") {
            if (render) return Error("--render given twice");
            render = true;
            if (!next(arg)) return Error(cmd.error);
            cmd.renderText = value;
            if (!next(arg)) return Error("--render needs TEXT and FILE");
            cmd.renderFile = value;
            const auto format = renderFormatOf(value);
            if (!format) return Error("unknown file type '" + value + "' (" + kRenderExtensions + ")");
            cmd.renderFormat = *format;
        } else if (arg == "--font" || SplitValue(arg, "--font", value)) {
            if (arg == "--font" && !next(arg)) return Error(cmd.error);
            fontGiven = true;
            cmd.font = value;
        } else if (arg == "--size" || SplitValue(arg, "--size", value)) {
            if (arg == "--size" && !next(arg)) return Error(cmd.error);
            sizeGiven = true;
            const auto res = std::from_chars(value.data(), value.data() + value.size(), cmd.pointSize);
            if (res.ec != std::errc() || res.ptr != value.data() + value.size() ||
                !(cmd.pointSize > 0 && cmd.pointSize <= 1000)) {
                return Error("--size needs a number of points above 0, not '" + value + "'");
            }
        } else if (arg == "--max-digits" || SplitValue(arg, "--max-digits", value)) {
            if (arg == "--max-digits" && !next(arg)) return Error(cmd.error);
            const auto res = std::from_chars(value.data(), value.data() + value.size(), cmd.maxDigits);
            if (res.ec != std::errc() || res.ptr != value.data() + value.size() ||
                cmd.maxDigits < TSeisu::kMinMaxDigits) {
                return Error("--max-digits needs a whole number of at least " +
                             std::to_string(TSeisu::kMinMaxDigits) + ", not '" + value + "'");
            }
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else {
            return Error("unknown option '" + arg + "'");
        }
    }

    const bool eval = !cmd.expressions.empty();
    const int modes = eval + batch + repl + render + help + version;
    if (modes > 1) return Error("choose one of -e, --batch, --repl, --render, --help, --version");
    if (formGiven && !eval) return Error("--form goes with -e");
    if ((fontGiven || sizeGiven) && !render) return Error("--font and --size go with --render");
    if (jobsGiven && !batch) return Error("--jobs goes with --batch");
    if (eval) {
        cmd.mode = CommandLine::Mode::Eval;
    } else if (batch) {
        if (cmd.files.empty()) return Error("--batch needs an input file");
        cmd.mode = CommandLine::Mode::Batch;
        if (!jobsGiven) cmd.jobs = std::max(1u, std::thread::hardware_concurrency());
    } else if (repl) {
        cmd.mode = CommandLine::Mode::Repl;
    } else if (render) {
        cmd.mode = CommandLine::Mode::Render;
    } else if (help) {
        cmd.mode = CommandLine::Mode::Help;
    } else if (version) {
        cmd.mode = CommandLine::Mode::Version;
    } else {
        cmd.mode = CommandLine::Mode::Window;
    }
    const size_t maxFiles =
        (cmd.mode == CommandLine::Mode::Batch || cmd.mode == CommandLine::Mode::Window) ? 2 : 0;
    if (cmd.files.size() > maxFiles) return Error("unexpected argument '" + cmd.files[maxFiles] + "'");
    return cmd;
}

CommandLine parseCommandLine(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return parseCommandLine(args);
}

bool needsWindowModule(const CommandLine& cmd) {
    return cmd.mode == CommandLine::Mode::Window ||
           (cmd.mode == CommandLine::Mode::Render &&
            (cmd.renderFormat == RenderFormat::Png || cmd.renderFormat == RenderFormat::Svg));
}

bool takeRenderText(CommandLine& cmd, std::istream& in, std::ostream& err) {
    if (cmd.mode != CommandLine::Mode::Render || cmd.renderText != "-") return true;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        err << "nerova: " << nerova::text(kFileCannotRead, nerova::text(kStandardInputName)) << '\n';
        return false;
    }
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
    cmd.renderText = std::move(text);
    return true;
}

int runCommandLine(const CommandLine& cmd, std::istream& in, std::ostream& out, std::ostream& err) {
    applyMaxDigits(cmd.maxDigits);
    switch (cmd.mode) {
    case CommandLine::Mode::Eval:
        return RunEval(cmd, out, err);
    case CommandLine::Mode::Batch:
        return RunBatch(cmd.files, cmd.jobs, in, out, err);
    case CommandLine::Mode::Repl:
        return Finish(runRepl(in, out, err), out, err);
    case CommandLine::Mode::Help:
        out << usageLine() << "\n\n" << kHelp;
        return Finish(0, out, err);
    case CommandLine::Mode::Version:
        out << "nerova " << version() << '\n';
        return Finish(0, out, err);
    case CommandLine::Mode::Render:
        if (!needsWindowModule(cmd)) return RunRenderMarkup(cmd, in, err);
        [[fallthrough]];
    case CommandLine::Mode::Window:
        // The entry point starts the window and the image renderer itself; they need Qt,
        // which this library does not link.
        assert(!"the window and the renderer are started by main");
        err << "nerova: the window and --render are started by the program itself\n";
        return 2;
    case CommandLine::Mode::Error:
        break;
    }
    err << "nerova: " << cmd.error << '\n' << usageLine() << '\n';
    return 2;
}

int runRepl(std::istream& in, std::ostream& out, std::ostream& err) {
    TerminalLineReader reader(in, out);
    std::string line;
    for (;;) {
        bool more;
        try {
            more = out && reader.ReadLine("> ", line);
        } catch (const TLineTooLongException&) {
            out << text(kLineTooLong) << '\n';
            continue;
        }
        if (!more) break;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(' ') == std::string::npos) continue;
        reader.Remember(line);
        const TextResult result = evalText(line, ResultForm::Improper);
        out << result.text << '\n';
        out.flush();
        if (!result.unused.empty()) err << unusedNotice(result.unused) << '\n';
    }
    return 0;
}

}  // namespace nerova
