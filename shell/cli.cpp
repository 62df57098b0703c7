// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/cli.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cassert>
#include <charconv>
#include <cstdio>
#include <exception>
#include <istream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string_view>
#include <thread>

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include "display/writers.h"
#include "engine/files.h"
#include "engine/tabai.h"
#include "engine/utf8.h"
#include "shell/batch.h"
#include "shell/budget.h"
#include "shell/calcowner.h"
#include "shell/identity.h"
#include "shell/language.h"
#include "shell/steps.h"
#include "shell/stdstreams.h"
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

// "improper, mixed, ..., mathml": the names above, for messages.
std::string FormNames() {
    std::string names;
    for (const FormName& f : kForms) {
        if (!names.empty()) names += ", ";
        names += f.name;
    }
    return names;
}

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

// The first lines of --version, the same in every language (GNU leaves them so); the
// license lines after them are translated.
constexpr const char* kVersionLines = "%1 %2\nCopyright (C) 2026 The Nerova developers\n";

// Reads the prompt's lines. On a terminal (standard input and output both) a line is
// edited in place: left and right, Home and End, Backspace and Delete, Ctrl-U, and up and
// down through the earlier lines. Anywhere else lines are read plainly, without a prompt,
// as the batch run reads them (in memory bounded by the line limit).
class TerminalLineReader {
public:
    TerminalLineReader(std::istream& in, std::ostream& out)
        : out_(out),
          terminal_(readsStandardInput(in) && writesStandardOutput(out) && isatty(STDIN_FILENO) &&
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
                    if (!utf8::isContinuation(removed)) break;
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
                    while (cursor < line.size() && utf8::isContinuation(line[cursor])) ++cursor;
                } else if (code == "D") {
                    if (cursor > 0) --cursor;
                    while (cursor > 0 && utf8::isContinuation(line[cursor])) --cursor;
                } else if (code == "H" || code == "1~") {
                    cursor = 0;
                } else if (code == "F" || code == "4~") {
                    cursor = line.size();
                } else if (code == "3~" && cursor < line.size()) {
                    size_t end = cursor + 1;
                    while (end < line.size() && utf8::isContinuation(line[end])) ++end;
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

// Where -e writes: a C++ stream, or C's stdout and stderr for the plain -e that main
// starts without building any C++ stream (shell/stdstreams.h). A C stream takes nothing
// after a failed write, as a C++ stream in a failed state does not.
void Put(std::ostream& out, std::string_view s) { out << s; }
void Put(std::FILE* out, std::string_view s) {
    if (!std::ferror(out)) std::fwrite(s.data(), 1, s.size(), out);
}
void Flush(std::ostream& out) { out.flush(); }
void Flush(std::FILE* out) {
    if (!std::ferror(out)) std::fflush(out);
}
bool Good(const std::ostream& out) { return static_cast<bool>(out); }
bool Good(std::FILE* out) { return !std::ferror(out); }

// One message line on standard error: the prefix, the text, the line end.
template <typename Out>
void PutMessage(Out& err, std::string_view message) {
    Put(err, messagePrefix() + std::string(message) + '\n');
}

// The status of a mode that wrote onto out: a failed write (a full disk, a closed pipe)
// turns it into 2 with a message, as the batch run reports it.
template <typename Out>
int Finish(int status, Out& out, Out& err) {
    Flush(out);
    if (Good(out)) return status;
    PutMessage(err, text(kFileCannotWrite, text(kStandardOutputName)));
    return 2;
}

// --steps: the working of each expression, one after the other with a blank line between.
int RunSteps(const CommandLine& cmd, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (size_t i = 0; i < cmd.expressions.size(); ++i) {
        if (i > 0 && cmd.markup == Markup::None) out << '\n';
        const StepsView steps = stepsOf(cmd.expressions[i]);
        if (cmd.markup == Markup::Latex) writeStepsLatex(steps, out);
        else if (cmd.markup == Markup::Mathml) writeStepsMathml(steps, out);
        else writeStepsText(steps, out);
        out.flush();
        if (!steps.ok) {
            err << messagePrefix() << steps.error << '\n';
            status = 1;
        } else if (!steps.unused.empty()) {
            err << messagePrefix() << unusedNotice(steps.unused) << '\n';
        }
    }
    return Finish(status, out, err);
}

void PutValue(const CommandLine& cmd, const std::string& value, std::ostream& out) {
    if (cmd.markup == Markup::Latex) writeLatex(value, out);
    else if (cmd.markup == Markup::Mathml) writeMathml(value, out);
    else out << value;
}
void PutValue([[maybe_unused]] const CommandLine& cmd, const std::string& value, std::FILE* out) {
    assert(cmd.markup == Markup::None);
    Put(out, value);
}

template <typename Out>
int RunEval(const CommandLine& cmd, Out& out, Out& err) {
    int status = 0;
    for (const std::string& expression : cmd.expressions) {
        const TextResult result = evalText(expression, cmd.form);
        if (result.ok) {
            PutValue(cmd, result.text, out);
            Put(out, "\n");
            if (!result.unused.empty()) {
                Flush(out);
                PutMessage(err, unusedNotice(result.unused));
            }
        } else {
            Flush(out);
            PutMessage(err, result.text);
            status = 1;
        }
    }
    return Finish(status, out, err);
}

// SIGINT and SIGTERM during a batch run: the lines finished so far are written whole,
// then the program ends by the same signal, as a shell expects. A signal that was ignored
// when the run began (a background job of a script) stays ignored.
class BatchSignals {
public:
    BatchSignals() {
        gCaught = 0;
        gCancel = false;
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            struct sigaction sa {};
            sa.sa_handler = &Caught;
            sigemptyset(&sa.sa_mask);
            // No SA_RESTART: a read from a terminal or a pipe that waits is interrupted.
            installed_[i] = ::sigaction(kSignals[i], nullptr, &old_[i]) == 0 && old_[i].sa_handler != SIG_IGN &&
                            ::sigaction(kSignals[i], &sa, nullptr) == 0;
        }
    }
    ~BatchSignals() {
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            if (installed_[i]) ::sigaction(kSignals[i], &old_[i], nullptr);
    }
    BatchSignals(const BatchSignals&) = delete;
    BatchSignals& operator=(const BatchSignals&) = delete;

    const std::atomic<bool>* cancel() const { return &gCancel; }
    /// The signal that cancelled the run, or 0.
    int caught() const { return gCaught; }

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM};
    static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
    static void Caught(int sig) {
        gCaught = sig;
        gCancel = true;
    }
    static inline volatile std::sig_atomic_t gCaught = 0;
    static inline std::atomic<bool> gCancel{false};
    struct sigaction old_[std::size(kSignals)] {};
    bool installed_[std::size(kSignals)] = {};
};

int RunBatch(const std::vector<std::string>& files, unsigned jobs, std::istream& in,
             std::ostream& out, std::ostream& err) {
    int caught = 0;
    try {
        const BatchSignals signals;
        try {
            runBatch(files[0], files.size() > 1 ? files[1] : std::string(), in, out, jobs, {signals.cancel(), {}});
            return 0;
        } catch (const TCancelledException&) {
            caught = signals.caught();
        }
    } catch (const std::exception& e) {
        err << messagePrefix() << messageOf(e) << '\n';
        return 2;
    }
    // Cancelled: what was written reaches its file, then the signal takes its usual course
    // (the handler in force before the run is back).
    out.flush();
    if (caught != 0) std::raise(caught);
    return 128 + caught;
}

int RunRenderMarkup(CommandLine cmd, std::istream& in, std::ostream& err) {
    if (!takeRenderText(cmd, in, err)) return 2;
    const bool latex = cmd.renderFormat == RenderFormat::Latex;
    bool written = false;
    try {
        written = writeFileWith(cmd.renderFile, [&](std::ostream& file) {
            if (latex) writeLatex(cmd.renderText, file);
            else writeMathml(cmd.renderText, file);
            file << '\n';
        });
    } catch (const MessageError& e) {
        // Markup over the writers' bound: no file rather than a cut one.
        std::remove(cmd.renderFile.c_str());
        err << messagePrefix() << messageOf(e) << '\n';
        return 2;
    }
    if (written) return 0;
    err << messagePrefix() << text(Message::CannotWritePath, cmd.renderFile) << '\n';
    return 2;
}

}  // namespace

std::optional<RenderFormat> renderFormatOf(std::string_view file) {
    static constexpr std::pair<std::string_view, RenderFormat> kExtensions[] = {
        {".png", RenderFormat::Png}, {".svg", RenderFormat::Svg},
        {".tex", RenderFormat::Latex}, {".mml", RenderFormat::Mathml}};
    const size_t slash = file.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? file : file.substr(slash + 1);
    const size_t dot = name.rfind('.');
    // A name without an extension (/dev/stdout, a pipe) gets the image, as before there
    // was a choice.
    if (dot == std::string_view::npos || dot == 0) return RenderFormat::Png;
    std::string ext(name.substr(dot));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const auto& [e, format] : kExtensions)
        if (ext == e) return format;
    return std::nullopt;
}

std::string usageText() { return text(Message::UsageLines, kProgramName); }

std::string helpText() {
    std::string help = usageText() + text(Message::HelpBody);
    if (*kBugUrl || *kHomepage) help += '\n';
    if (*kBugUrl) help += text(Message::BugReports, kBugUrl);
    if (*kHomepage) help += text(Message::HomePage, kHomepage);
    return help;
}

std::string versionText() {
    return formatMessage(kVersionLines, kProgramName, version()) + text(Message::VersionLicense);
}

std::string usageErrorText(std::string_view what) {
    return messagePrefix() + std::string(what) + '\n' + text(Message::TryHelp, kProgramName);
}

std::string messagePrefix() { return std::string(kProgramName) + ": "; }

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
                cmd.error = text(Message::OptionNeedsValue, option);
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
            if (formGiven) return Error(text(Message::OptionGivenTwice, "--form"));
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
                return Error(text(Message::UnknownForm, value, FormNames()));
            }
        } else if (arg == "--steps") {
            cmd.steps = true;
        } else if (arg == "--batch") {
            batch = true;
        } else if (arg == "--jobs" || SplitValue(arg, "--jobs", value)) {
            if (arg == "--jobs" && !next(arg)) return Error(cmd.error);
            jobsGiven = true;
            const auto res = std::from_chars(value.data(), value.data() + value.size(), cmd.jobs);
            if (res.ec != std::errc() || res.ptr != value.data() + value.size() || cmd.jobs < 1 ||
                cmd.jobs > kMaxJobs) {
                return Error(text(Message::BadJobs, std::to_string(kMaxJobs), value));
            }
        } else if (arg == "--repl") {
            repl = true;
        } else if (arg == "--render") {
            if (render) return Error(text(Message::OptionGivenTwice, "--render"));
            render = true;
            if (!next(arg)) return Error(cmd.error);
            cmd.renderText = value;
            if (!next(arg)) return Error(text(Message::RenderNeedsFile));
            cmd.renderFile = value;
            const auto format = renderFormatOf(value);
            if (!format) return Error(text(Message::UnknownFileType, value, kRenderExtensions));
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
                return Error(text(Message::BadSize, value));
            }
        } else if (arg == "--max-digits" || SplitValue(arg, "--max-digits", value)) {
            if (arg == "--max-digits" && !next(arg)) return Error(cmd.error);
            const auto res = std::from_chars(value.data(), value.data() + value.size(), cmd.maxDigits);
            if (res.ec != std::errc() || res.ptr != value.data() + value.size() ||
                cmd.maxDigits < TSeisu::kMinMaxDigits) {
                return Error(text(Message::BadMaxDigits, std::to_string(TSeisu::kMinMaxDigits), value));
            }
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else {
            return Error(text(Message::UnknownOption, arg));
        }
    }

    const bool eval = !cmd.expressions.empty();
    const int modes = eval + batch + repl + render + help + version;
    if (modes > 1) return Error(text(Message::OneMode));
    if (formGiven && !eval) return Error(text(Message::FormWithEval));
    if (cmd.steps && !eval) return Error(text(Message::StepsWithEval));
    if (cmd.steps && cmd.markup == Markup::None && cmd.form != ResultForm::Improper) return Error(text(Message::StepsForms));
    if ((fontGiven || sizeGiven) && !render) return Error(text(Message::FontWithRender));
    if (jobsGiven && !batch) return Error(text(Message::JobsWithBatch));
    if (eval) {
        cmd.mode = CommandLine::Mode::Eval;
    } else if (batch) {
        if (cmd.files.empty()) return Error(text(Message::BatchNeedsInput));
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
    if (cmd.files.size() > maxFiles) return Error(text(Message::UnexpectedArgument, cmd.files[maxFiles]));
    return cmd;
}

CommandLine parseCommandLine(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return parseCommandLine(args);
}

bool needsWindowProgram(const CommandLine& cmd) {
    return cmd.mode == CommandLine::Mode::Window ||
           (cmd.mode == CommandLine::Mode::Render &&
            (cmd.renderFormat == RenderFormat::Png || cmd.renderFormat == RenderFormat::Svg));
}

bool takeRenderText(CommandLine& cmd, std::istream& in, std::ostream& err) {
    if (cmd.mode != CommandLine::Mode::Render || cmd.renderText != "-") return true;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        err << messagePrefix() << nerova::text(kFileCannotRead, nerova::text(kStandardInputName)) << '\n';
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
        return cmd.steps ? RunSteps(cmd, out, err) : RunEval(cmd, out, err);
    case CommandLine::Mode::Batch:
        return RunBatch(cmd.files, cmd.jobs, in, out, err);
    case CommandLine::Mode::Repl:
        return Finish(runRepl(in, out, err), out, err);
    case CommandLine::Mode::Help:
        out << helpText();
        return Finish(0, out, err);
    case CommandLine::Mode::Version:
        out << versionText();
        return Finish(0, out, err);
    case CommandLine::Mode::Render:
        if (!needsWindowProgram(cmd)) return RunRenderMarkup(cmd, in, err);
        [[fallthrough]];
    case CommandLine::Mode::Window:
        // The window program runs the window and the image renderer; they need Qt, which
        // this library does not link.
        assert(!"the window and the renderer are started by main");
        err << messagePrefix() << text(Message::NotStartedHere) << '\n';
        return 2;
    case CommandLine::Mode::Error:
        break;
    }
    err << usageErrorText(cmd.error);
    return 2;
}

int runCommandLine(const CommandLine& cmd) {
    if (cmd.mode == CommandLine::Mode::Eval && !cmd.steps && cmd.markup == Markup::None) {
        applyMaxDigits(cmd.maxDigits);
        std::FILE* out = stdout;
        std::FILE* err = stderr;
        return RunEval(cmd, out, err);
    }
    return runCommandLine(cmd, standardInput(), standardOutput(), standardError());
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
            out.flush();  // at once: the rest of the line may take long to skip
            continue;
        }
        if (!more) break;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(' ') == std::string::npos) continue;
        reader.Remember(line);
        const TextResult result = evalText(line, ResultForm::Improper);
        out << result.text << '\n';
        out.flush();
        if (!result.unused.empty()) err << messagePrefix() << unusedNotice(result.unused) << '\n';
    }
    return 0;
}

}  // namespace nerova
