// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/cli.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "shell/batch.h"
#include "shell/version.h"
#include "tests/shell/language_scope.h"

namespace {

using Mode = nerova::CommandLine::Mode;

struct Outcome {
    int status;
    std::string out, err;
};

Outcome RunCli(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = nerova::runCommandLine(nerova::parseCommandLine(args), in, out, err);
    return {status, out.str(), err.str()};
}

TEST(CommandLineTest, EvalPrintsEachValue) {
    struct Row {
        std::vector<std::string> args;
        int status;
        const char* out;
        const char* err;
    } rows[] = {
        {{"-e", "1/3+1/6"}, 0, "1/2\n", ""},
        {{"--eval", "2^-1"}, 0, "1/2\n", ""},
        {{"--eval=7/2", "--form", "mixed"}, 0, "3:1/2\n", ""},
        {{"-e", "-7/2", "--form=plus"}, 0, "-(3+1/2)\n", ""},
        {{"--form", "float", "-e", "1/3"}, 0, "0.333333333333333\n", ""},
        {{"-e", "1/7", "--form", "decimal"}, 0,
         "0.14285714285714285714285714285714285714285714285714285714285714285714285714285714285714285714285714…\n", ""},
        {{"-e", "1/6", "--form", "recurring"}, 0, "0.1[6]\n", ""},
        {{"-e", "1", "-e", "2/4", "-e", "3"}, 0, "1\n1/2\n3\n", ""},         // in turn
        {{"-e", "1/(1-1)"}, 1, "", "nerova: 0で割ろうとした\n"},                   // failure: stderr, 1
        {{"-e", "1", "-e", "(", "-e", "3"}, 1, "1\n3\n", "nerova: 数字がない\n"},    // the rest still runs
        {{"-e", "-5"}, 0, "-5\n", ""},                                       // a value starting with "-"
        {{"-e", ""}, 1, "", "nerova: 数字がない\n"},
    };
    for (const Row& r : rows) {
        const Outcome o = RunCli(r.args);
        EXPECT_EQ(o.status, r.status) << r.args[1];
        EXPECT_EQ(o.out, r.out) << r.args[1];
        EXPECT_EQ(o.err, r.err) << r.args[1];
    }
}

// The columns a terminal gives line: two for a wide (East Asian) character, one for any
// other; tabs are not allowed.
size_t DisplayWidth(const std::string& line) {
    size_t columns = 0;
    for (size_t i = 0; i < line.size();) {
        const auto lead = static_cast<unsigned char>(line[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length && i + k < line.size(); ++k) c = (c << 6) | (line[i + k] & 0x3F);
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6);
        columns += wide ? 2 : 1;
        i += length;
    }
    return columns;
}

TEST(CommandLineTest, DisplayWidthCountsWideCharactersTwice) {
    EXPECT_EQ(DisplayWidth("abc"), 3u);
    EXPECT_EQ(DisplayWidth("使い方: x"), 9u);
    EXPECT_EQ(DisplayWidth("（既定、7/2）"), 13u);
    EXPECT_EQ(DisplayWidth("0.[3]…"), 6u);
}

// GNU's form in each language: one line saying what is wrong, one pointing to --help, no
// usage.
TEST(CommandLineTest, WrongArgumentsExitTwoAndPointToHelp) {
    const std::vector<std::vector<std::string>> rows = {
        {"--bogus"},
        {"-e"},                          // no expression
        {"-e", "1", "--form", "roman"},  // unknown form
        {"-e", "1", "--form"},
        {"--form", "mixed"},             // a form without -e
        {"-e", "1", "--form", "mixed", "--form", "float"},
        {"--batch"},                     // no input
        {"--batch", "a", "b", "c"},
        {"-e", "1", "--batch", "in"},    // two modes
        {"--help", "--version"},
        {"--repl", "file"},
        {"a", "b", "c"},                 // at most two file names
        {"-e", "1", "stray"},
        {"--render", "1/2"},             // no file
        {"--render", "1/2", "x.png", "--size", "big"},
        {"--render", "1/2", "x.png", "--size", "-3"},
        {"--font", "Mincho"},            // only with --render
        {"--batch", "in", "--jobs", "0"},
        {"--batch", "in", "--jobs=2x"},
        {"--batch", "in", "--jobs", "257"},
        {"--batch", "in", "--jobs"},
        {"-e", "1", "--jobs", "2"},      // only with --batch
    };
    const struct {
        const char* lang;
        const char* tryHelp;
        const char* usage;
    } languages[] = {
        {"en", "Try 'nerova --help' for more information.\n", "Usage"},
        {"ja", "詳しくは 'nerova --help' を実行してください。\n", "使い方"},
    };
    for (const auto& l : languages) {
        const LanguageScope scope(l.lang);
        for (const auto& args : rows) {
            const Outcome o = RunCli(args);
            EXPECT_EQ(o.status, 2) << args[0];
            EXPECT_EQ(o.out, "") << args[0];
            const size_t firstEnd = o.err.find('\n');
            ASSERT_NE(firstEnd, std::string::npos) << o.err;
            EXPECT_EQ(o.err.compare(0, 8, "nerova: "), 0) << o.err;
            EXPECT_EQ(o.err.substr(firstEnd + 1), l.tryHelp) << o.err;
            EXPECT_EQ(o.err.find(l.usage), std::string::npos) << o.err;
        }
    }
}

// A wrong argument is named, in the user's language; an unknown form is answered with
// every form there is, named as --form takes them.
TEST(CommandLineTest, UsageErrorsInEachLanguage) {
    const struct {
        std::vector<std::string> args;
        const char* english;
        const char* japanese;
    } rows[] = {
        {{"-e", "1", "--form", "roman"},
         "unknown form 'roman' (one of improper, mixed, plus, float, decimal, recurring, latex, mathml)",
         "形式 'roman' はありません（improper, mixed, plus, float, decimal, recurring, latex, mathml のどれかです）"},
        {{"--bogus"}, "unknown option '--bogus'", "不明なオプション '--bogus'"},
        {{"-e"}, "option '-e' needs a value", "オプション '-e' には値が要ります"},
        {{"--render", "1", "a.jpeg"}, "unknown file type 'a.jpeg' (one of .png, .svg, .tex, .mml)",
         "ファイルの種類 'a.jpeg' は書けません（.png, .svg, .tex, .mml のどれかです）"},
        {{"-e", "1", "--batch", "in"}, "choose one of -e, --batch, --repl, --render, --help, --version",
         "-e、--batch、--repl、--render、--help、--version のうち一つだけを指定します"},
    };
    for (const auto& r : rows) {
        {
            const LanguageScope english("en");
            EXPECT_EQ(nerova::parseCommandLine(r.args).error, r.english);
        }
        EXPECT_EQ(nerova::parseCommandLine(r.args).error, r.japanese);
    }
}

// --help in each language: the usage first, at most 80 columns of a terminal, every
// option the parser knows.
TEST(CommandLineTest, HelpFollowsTheGnuForm) {
    const std::pair<const char*, const char*> languages[] = {
        {"en", "Usage: nerova [OPTION]... [IN [OUT]]\n"},
        {"ja", "使い方: nerova [OPTION]... [IN [OUT]]\n"},
    };
    std::vector<std::string> helps;
    for (const auto& [lang, first] : languages) {
        const LanguageScope scope(lang);
        const std::string help = nerova::helpText();
        helps.push_back(help);
        EXPECT_EQ(help.rfind(first, 0), 0u) << help;
        std::istringstream lines(help);
        int number = 0;
        for (std::string line; std::getline(lines, line);) {
            ++number;
            EXPECT_EQ(line.find('\t'), std::string::npos) << lang << " line " << number;
            EXPECT_LE(DisplayWidth(line), 80u) << lang << " line " << number << ": " << line;
        }
        for (const char* option : {"--eval", "--form", "--steps", "--batch", "--jobs", "--repl", "--render",
                                   "--font", "--size", "--max-digits", "--help", "--version"})
            EXPECT_NE(help.find(option), std::string::npos) << lang << " " << option;
    }
    EXPECT_NE(helps[0], helps[1]);
}

TEST(CommandLineTest, VersionFollowsTheGnuForm) {
    // The name, the version and the copyright stay; the license lines are translated.
    for (const char* lang : {"en", "ja"}) {
        const LanguageScope scope(lang);
        std::istringstream lines(nerova::versionText());
        std::string line;
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line, std::string("nerova ") + nerova::version());
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line, "Copyright (C) 2026 The Nerova developers");
        const std::string rest{std::istreambuf_iterator<char>(lines), std::istreambuf_iterator<char>()};
        EXPECT_NE(rest.find("GPLv3+"), std::string::npos) << rest;
        EXPECT_NE(rest.find("https://gnu.org/licenses/gpl.html"), std::string::npos) << rest;
        EXPECT_NE(rest.find(std::string(lang) == "en" ? "NO WARRANTY" : "保証はありません"), std::string::npos) << rest;
    }
}

TEST(CommandLineTest, HelpAndVersion) {
    const Outcome help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_NE(help.out.find("--batch IN [OUT]"), std::string::npos);
    const Outcome version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.compare(0, 7, "nerova "), 0);
}

TEST(CommandLineTest, ModesForTheWindowAndTheRenderer) {
    EXPECT_EQ(nerova::parseCommandLine(std::vector<std::string>{}).mode, Mode::Window);
    const nerova::CommandLine files = nerova::parseCommandLine({"in.txt", "out.txt"});
    EXPECT_EQ(files.mode, Mode::Window);
    EXPECT_EQ(files.files, (std::vector<std::string>{"in.txt", "out.txt"}));
    const nerova::CommandLine dashed = nerova::parseCommandLine({"--", "-in.txt"});
    EXPECT_EQ(dashed.files, (std::vector<std::string>{"-in.txt"}));
    const nerova::CommandLine render =
        nerova::parseCommandLine({"--render", "-1/2", "a.png", "--font", "IPAMincho", "--size=24"});
    EXPECT_EQ(render.mode, Mode::Render);
    EXPECT_EQ(render.renderText, "-1/2");
    EXPECT_EQ(render.renderFile, "a.png");
    EXPECT_EQ(render.font, "IPAMincho");
    EXPECT_EQ(render.pointSize, 24);
    EXPECT_EQ(nerova::parseCommandLine({"--repl"}).mode, Mode::Repl);
}

TEST(CommandLineTest, BatchThreads) {
    EXPECT_GE(nerova::parseCommandLine({"--batch", "in"}).jobs, 1u);  // one per core
    EXPECT_EQ(nerova::parseCommandLine({"--batch", "in", "--jobs", "3"}).jobs, 3u);
    EXPECT_EQ(nerova::parseCommandLine({"--jobs=1", "--batch", "in"}).jobs, 1u);
    const Outcome o = RunCli({"--batch", "-", "--jobs", "4"}, "1/3+1/6\n#c\r\n2*3\r1/0\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "1/3+1/6 = 1/2\n#c\n2*3 = 6\n1/0 = 0で割ろうとした\n");
}

TEST(CommandLineTest, RenderFileExtensionChoosesTheWriterAndTheProgram) {
    using nerova::RenderFormat;
    struct Row {
        const char* file;
        RenderFormat format;
        bool window;  // needs the window program
    };
    const Row rows[] = {
        {"a.png", RenderFormat::Png, true},     {"dir.x/a.SVG", RenderFormat::Svg, true},
        {"a.tex", RenderFormat::Latex, false},  {"a.Mml", RenderFormat::Mathml, false},
        {"/dev/stdout", RenderFormat::Png, true},  // no extension: the image, as always
    };
    for (const Row& r : rows) {
        const nerova::CommandLine cmd = nerova::parseCommandLine({"--render", "1/2", r.file});
        EXPECT_EQ(cmd.mode, Mode::Render) << r.file;
        EXPECT_EQ(cmd.renderFormat, r.format) << r.file;
        EXPECT_EQ(nerova::needsWindowProgram(cmd), r.window) << r.file;
    }
    const Outcome unknown = RunCli({"--render", "1/2", "a.jpeg"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find(nerova::kRenderExtensions), std::string::npos) << unknown.err;
}

TEST(CommandLineTest, RenderTextFromStandardInput) {
    nerova::CommandLine cmd = nerova::parseCommandLine({"--render", "-", "a.tex"});
    std::istringstream in("1/2 ; not read\r\n");
    std::ostringstream err;
    ASSERT_TRUE(nerova::takeRenderText(cmd, in, err));
    EXPECT_EQ(cmd.renderText, "1/2 ; not read");  // one line end dropped, the rest kept
    nerova::CommandLine given = nerova::parseCommandLine({"--render", "1/3", "a.tex"});
    std::istringstream unused("9");
    ASSERT_TRUE(nerova::takeRenderText(given, unused, err));
    EXPECT_EQ(given.renderText, "1/3");
}

TEST(CommandLineTest, BatchThroughStandardStreams) {
    const Outcome o = RunCli({"--batch", "-"}, "1/3+1/6\n#c\r\n2*3\r");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "1/3+1/6 = 1/2\n#c\n2*3 = 6\n");
    const Outcome missing = RunCli({"--batch", "/nonexistent/nerova/in.txt"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("ファイルが見つかりません"), std::string::npos);
}

// Output that cannot be written (a full disk, a closed pipe) is no success.
TEST(CommandLineTest, FailedWriteOfStandardOutputExitsTwo) {
    const std::vector<std::vector<std::string>> rows = {
        {"-e", "1/3+1/6"},
        {"-e", "1/0"},  // a write failure outranks a failed calculation
        {"--help"},
        {"--version"},
        {"--repl"},
        {"--batch", "-"},
    };
    for (const auto& args : rows) {
        std::istringstream in("1+1\n2+2\n");
        std::ostream out(nullptr);  // every write fails
        std::ostringstream err;
        EXPECT_EQ(nerova::runCommandLine(nerova::parseCommandLine(args), in, out, err), 2) << args[0];
        EXPECT_NE(err.str().find(std::string(nerova::sourceText(nerova::kFileCannotWrite)) + ": " + nerova::sourceText(nerova::kStandardOutputName)),
                  std::string::npos)
            << args[0] << ": " << err.str();
    }
}

TEST(CommandLineTest, ReplPrintsEachLine) {
    const Outcome o = RunCli({"--repl"}, "1/3+1/6\n\n   \n2^-1\r\n1/0\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "1/2\n1/2\n0で割ろうとした\n");  // no prompt when not on a terminal
}

TEST(CommandLineTest, ReplSkipsALineOverTheLimitAndGoesOn) {
    const std::string input = std::string(1000, '\0') + "1+1\n" +
                              std::string(nerova::kMaxLineBytes + 1, '7') + "\n2+2\n";
    const Outcome o = RunCli({"--repl"}, input);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "2\n" + std::string(nerova::sourceText(nerova::kLineTooLong)) + "\n4\n");
}

}  // namespace
