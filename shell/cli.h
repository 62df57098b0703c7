// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The command line: window-free modes for terminals and scripts, and the choice of the
// mode that app/main.cpp starts. Nothing here needs a display server or a session bus.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/textcalc.h"

namespace nerova {

/// What --render writes, chosen by the file's extension.
enum class RenderFormat { Png, Svg, Latex, Mathml };
/// The extensions that choose a RenderFormat, for messages.
inline constexpr const char* kRenderExtensions = ".png, .svg, .tex, .mml";
/// The format for file's extension (letter case ignored): Png also for a name without an
/// extension; none for any other extension.
std::optional<RenderFormat> renderFormatOf(std::string_view file);

/// What the arguments ask for.
struct CommandLine {
    enum class Mode {
        Window,   ///< no mode option: the calculator window; files holds [IN [OUT]] for the
                  ///< batch run at its first showing
        Repl,     ///< --repl: an interactive prompt
        Eval,     ///< --eval/-e EXPR ... [--form FORM]
        Batch,    ///< --batch IN [OUT]
        Render,   ///< --render TEXT FILE.(png|svg|tex|mml) [--font FAMILY] [--size POINTS]
        Help,     ///< --help
        Version,  ///< --version
        Error,    ///< a wrong argument; error says which
    };
    Mode mode = Mode::Window;
    std::vector<std::string> expressions;    ///< Eval: the expressions, in order
    ResultForm form = ResultForm::Improper;  ///< Eval: the text form of the results
    /// Eval: --form latex or mathml writes the improper form in that markup.
    enum class Markup { None, Latex, Mathml } markup = Markup::None;
    bool steps = false;                      ///< Eval: --steps prints the working of each
    std::vector<std::string> files;          ///< Window, Batch: IN and optionally OUT
    unsigned jobs = 1;                       ///< Batch: threads evaluating lines (--jobs N;
                                             ///< without it, one per core)
    std::string renderText;                  ///< Render: the text to typeset; "-": standard input
    std::string renderFile;                  ///< Render: the file to write
    RenderFormat renderFormat = RenderFormat::Png;  ///< Render: chosen by renderFile's extension
    std::string font;                        ///< Render: --font, empty for the default
    double pointSize = 0;                    ///< Render: --size, 0 for the default
    int64_t maxDigits = 0;                   ///< --max-digits (any mode), 0 when not given
    std::string error;                       ///< Error: what is wrong
};

/// The most threads --jobs accepts.
inline constexpr unsigned kMaxJobs = 256;

/// Parses the arguments after the program name. Never throws for bad arguments: they
/// give Mode::Error.
CommandLine parseCommandLine(const std::vector<std::string>& args);
/// Parses argv[1..argc-1].
CommandLine parseCommandLine(int argc, char** argv);

/// The usage lines that start --help ("Usage: nerova [OPTION]... [IN [OUT]]" and the
/// other forms), each ending with a line end.
std::string usageText();
/// What --help prints: the usage, the options, and where bugs are reported and the home
/// page when the project has them. Lines of at most 80 columns.
std::string helpText();
/// What --version prints: name and version, copyright, licence, warranty.
std::string versionText();
/// A wrong command line on standard error: "nerova: WHAT" and the line that points to
/// --help, each ending with a line end.
std::string usageErrorText(std::string_view what);
/// "nerova: ", the start of every message on standard error.
std::string messagePrefix();

/// True when cmd is run by the window program: the window, and --render of a PNG or SVG.
/// Every other mode, --render of LaTeX and MathML among them, runs in runCommandLine.
bool needsWindowProgram(const CommandLine& cmd);

/// For --render with TEXT "-": replaces it by all of in, without one final line end.
/// Returns false, with the file message on err, when in cannot be read.
bool takeRenderText(CommandLine& cmd, std::istream& in, std::ostream& err);

/// Runs a parsed command line without any window and returns the exit status: Eval 0,
/// or 1 when a calculation failed (its message goes to err); Batch 0, or 2 when a file
/// cannot be read or written; Help and Version 0; Error 2 with usageErrorText on err.
/// Every message on err starts with messagePrefix().
/// A mode whose writing onto out fails exits 2 with the batch run's write message.
/// Render of LaTeX or MathML writes the file: 0, or 2 when it cannot be written or the
/// text cannot be read. The window and the PNG and SVG renderer are not run here
/// (needsWindowProgram; asserted, without assertions they exit 2 with a message on err).
/// The digit budget of one result is set first (applyMaxDigits with cmd.maxDigits).
int runCommandLine(const CommandLine& cmd, std::istream& in, std::ostream& out, std::ostream& err);
/// runCommandLine on the process's standard input, output and error. A plain Eval (no
/// steps, no markup) writes through C's streams and builds no C++ stream, the rest use
/// standardInput(), standardOutput() and standardError() (shell/stdstreams.h).
int runCommandLine(const CommandLine& cmd);

/// The interactive prompt: reads lines from in and prints each value (or failure message)
/// on out until the input ends; a line over kMaxLineBytes prints kLineTooLong instead. With a terminal on both ends the line can be edited and
/// earlier lines recalled with the arrow keys; it stops early when writing onto out
/// fails. Text after a complete expression is named on err (see unusedNotice). Returns 0.
int runRepl(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace nerova
