// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The macro item without a bus: line splitting, the three macros, the change notice,
// and the names the service is reached by.
#include "shell/macro.h"

#include "shell/commands.h"
#include "shell/language.h"
#include "engine/pump.h"
#include "shell/textcalc.h"

#include <gtest/gtest.h>

#include <vector>

using namespace nerova;  // the code under test

namespace {

using Lines = std::vector<std::string>;
using nerova::calcText;

TEST(SplitLinesTest, Breaks) {
    struct Row {
        std::string text;
        Lines lines;
        const char* why;
    } rows[] = {
        {"", {}, "no text, no line"},
        {"1+1", {"1+1"}, "no break"},
        {"1+1\r\n", {"1+1"}, "a break at the very end adds no line"},
        {"1+1\n", {"1+1"}, "likewise LF"},
        {"1+1\r", {"1+1"}, "likewise CR"},
        {"\n", {""}, "a lone break: one empty line"},
        {"a\r\nb", {"a", "b"}, "CR LF is one break"},
        {"a\rb\nc", {"a", "b", "c"}, "CR and LF each break"},
        {"a\n\rb", {"a", "", "b"}, "LF CR is two breaks"},
        {"a\r\r\nb", {"a", "", "b"}, "CR then CR LF"},
        {"a\n\n", {"a", ""}, "only the last break adds no line"},
        {std::string("a\0b", 3), {"a"}, "a null byte ends the text"},
    };
    for (const Row& r : rows) EXPECT_EQ(splitLines(r.text), r.lines) << r.why;
}

TEST(MacroItemTest, StartsWithOneEmptyLine) {
    MacroItem item;
    EXPECT_EQ(item.lines(), Lines{""});
    EXPECT_EQ(item.text(), "");
    EXPECT_EQ(item.data(), "\r\n");
}

// Each row pokes a text, executes a command and expects the item's lines.
TEST(MacroItemTest, Macros) {
    struct Row {
        std::string poke;
        std::string command;
        Lines lines;
        const char* why;
    } rows[] = {
        {"1/3+1/6", "calc", {"1/2"}, "the basic road"},
        {"-3/2", "tai", {"-(1+1/2)"}, "mixed number with parentheses"},
        {"-3/2", "frac", {"-1.5"}, "floating-point form"},
        {"1+1\r\n2+2", "calc", {"2"}, "only the first line is evaluated"},
        {"1/2+1/3", "calc\r\nfrac", {"5/6"}, "lines after the command's first are ignored"},
        {"1/2", "CALC", {"1/2"}, "commands are compared exactly: case"},
        {"1/2", "calc ", {"1/2"}, "a trailing blank"},
        {"1/2", " calc", {"1/2"}, "a leading blank"},
        {"1/2", "sum", {"1/2"}, "an unknown command"},
        {"1/2", "", {"1/2"}, "a command with no line"},
        {"1/2", "\r\n", {"1/2"}, "an empty first line"},
        {"1/2+1/3", std::string("calc\0frac", 9), {"5/6"}, "the command ends at a null byte"},
        {"1/2", std::string("\0calc", 5), {"1/2"}, "a null byte first: no line"},
        {"1/2+1/3", "calc" + std::string(1000000, '\n'), {"5/6"}, "a million empty lines after it"},
        {"1/0", "calc", {calcText("1/0")}, "a failure becomes the item's text"},
        {"", "calc", {calcText("")}, "no line: the empty text is evaluated"},
    };
    for (const Row& r : rows) {
        MacroItem item;
        item.poke(r.poke);
        item.maceval(r.command);
        EXPECT_EQ(item.lines(), r.lines) << r.why;
    }
}

// The message of a poke's refusal, in the current language; empty when it is taken.
std::string refusalOf(MacroItem& item, const std::string& text) {
    try {
        item.poke(text);
        return {};
    } catch (const TPokeTooLarge& e) {
        return messageOf(e);
    }
}

// The item's caps are counted before any line is made; a refused poke leaves the item
// and sends no change notice.
TEST(MacroItemTest, PokesOverTheCapsAreRefusedAndChangeNothing) {
    // The refusal says why, in the process's language (a message of the one table).
    const char* const lines = "The text is over the item's limit of lines";
    const struct {
        std::string text;
        const char* refusal;  // nullptr: taken
    } rows[] = {
        {std::string(kMaxPokeLines, '\n'), nullptr},              // every line empty, at the cap
        {std::string(kMaxPokeLines + 1, '\n'), lines},            // one line more
        {std::string(kMaxPokeLines + 1, '\r'), lines},            // carriage returns count alike
        {std::string(kMaxPokeLines, '\n') + "x", lines},          // a last line without its end
        {std::string(kMaxPokeLines * 2, '\n').replace(0, 2, "\r\n"), lines},
        {std::string(kMaxPokeBytes, '7'), nullptr},                // at the limit of bytes
        {std::string(kMaxPokeBytes + 1, '7'), "The text is over the item's limit of bytes"},
    };
    setLanguage("en");
    for (const auto& row : rows) {
        MacroItem item;
        item.poke("1+1");
        int changes = 0;
        item.setChangeHandler([&] { ++changes; });
        EXPECT_EQ(refusalOf(item, row.text), row.refusal ? row.refusal : "") << row.text.size();
        if (!row.refusal) {
            EXPECT_EQ(changes, 1);
            continue;
        }
        EXPECT_EQ(item.lines(), Lines{"1+1"});
        EXPECT_EQ(changes, 0);
    }
    setLanguage(kSourceLanguage);
}

// What the bus cannot carry is never handed to it: a result over the size check becomes
// the failure message, a poke whose data would not fit is refused.
TEST(MacroItemTest, SizeCheckGuardsResultsAndPokes) {
    MacroItem item;
    size_t asked = 0;
    item.setSizeCheck([&](size_t bytes) {
        asked = bytes;
        return bytes <= 10;
    });
    item.poke("10^7");  // "10\r\n"... the data of the text: 4 + 2 bytes
    EXPECT_EQ(asked, 6u);
    item.maceval("calc");  // 10000000: 8 digits and a line end
    EXPECT_EQ(item.lines(), Lines{"10000000"});
    item.poke("10^8");
    item.maceval("calc");  // 9 digits and a line end: 11 bytes
    EXPECT_EQ(asked, 11u);
    EXPECT_EQ(item.lines(), Lines{"結果が大きすぎて D-Bus では送れません"});
    EXPECT_THROW(item.poke("123456789"), TPokeTooLarge);
    EXPECT_EQ(item.lines(), Lines{"結果が大きすぎて D-Bus では送れません"});
    // Both speak the process's language.
    setLanguage("en");
    EXPECT_EQ(refusalOf(item, "123456789"), "The item's data would be too large for the bus");
    item.poke("10^8");
    item.maceval("calc");
    EXPECT_EQ(item.lines(), Lines{"The result is too large to send over D-Bus"});
    setLanguage(kSourceLanguage);
}

TEST(MacroItemTest, CalcBeforeAnyPokeGivesMissingNumberMessage) {
    MacroItem item;
    item.maceval("calc");
    EXPECT_EQ(item.text(), calcText(""));
    EXPECT_FALSE(item.text().empty());
}

TEST(MacroItemTest, MacroEvaluatesItsOwnResult) {
    MacroItem item;
    item.poke("1/2+1/3");
    item.maceval("calc");
    EXPECT_EQ(item.text(), "5/6");
    item.maceval("calc");
    EXPECT_EQ(item.text(), "5/6");
    EXPECT_EQ(item.data(), "5/6\r\n");
}

TEST(MacroItemTest, ChangeNoticeAfterEveryChange) {
    MacroItem item;
    std::vector<std::string> seen;  // the data at each notice
    item.setChangeHandler([&] { seen.push_back(item.data()); });
    item.poke("1/3+1/6");
    item.maceval("calc");
    item.maceval("sum");     // no change, no notice
    item.maceval("frac");
    item.poke("");           // an empty poke empties the item, and is a change
    item.setText("x");
    EXPECT_EQ(seen, (Lines{"1/3+1/6\r\n", "1/2\r\n", "0.5\r\n", "", "x\r\n"}));
    EXPECT_TRUE(item.lines().size() == 1 && !item.running());
}

// A long macro lets events run; one of them may poke the item. The macro must keep
// evaluating the text it started with, and say it is running meanwhile.
TEST(MacroItemTest, PokeDuringMacroDoesNotDisturbIt) {
    struct Probe {
        MacroItem* item;
        int calls = 0;
        bool allRunning = true;
    };
    MacroItem item;
    Probe probe{&item};
    const std::string power = "3^200000*7";
    item.poke(power);
    {
        pump::Scope scope(
            [](void* p) {
                auto* pr = static_cast<Probe*>(p);
                pr->allRunning = pr->allRunning && pr->item->running();
                if (pr->calls++ == 0) pr->item->poke("garbage that replaces the lines");
            },
            &probe);
        item.maceval("calc");
    }
    ASSERT_GT(probe.calls, 0) << "the calculation never let events run";
    EXPECT_TRUE(probe.allRunning);
    EXPECT_FALSE(item.running());
    EXPECT_EQ(item.text(), calcText(power));
}

// A cancellation thrown by the pump (Esc, the program quitting) ends the macro with the
// cancellation message as its result, announced once; the next macro runs normally.
TEST(MacroItemTest, CancellingPumpEndsTheMacroWithTheMessage) {
    MacroItem item;
    int notices = 0;
    item.setChangeHandler([&] { ++notices; });
    item.poke("3^300000*7");
    {
        const pump::Scope scope([](void*) { throw TCancelledException(); }, nullptr);
        item.maceval("calc");
    }
    EXPECT_EQ(item.text(), nerova::sourceText(kCancelled));
    EXPECT_FALSE(item.running());
    EXPECT_EQ(notices, 2);  // the poke and the cancelled macro's result

    item.poke("1/2+1/3");
    item.maceval("calc");
    EXPECT_EQ(item.text(), "5/6");
}

TEST(MacroItemTest, RepeatedPokesDoNotGrow) {
    MacroItem item;
    for (int i = 0; i < 3; ++i) item.poke("a\nb\nc");
    EXPECT_EQ(item.lines(), (Lines{"a", "b", "c"}));
    EXPECT_EQ(item.data(), "a\r\nb\r\nc\r\n");
}

TEST(ServiceNameTest, Names) {
    struct Row {
        std::string program, service, bus;
    } rows[] = {
        {"/usr/bin/nerova", "nerova", "org.nerova.nerova"},
        {"nerova", "nerova", "org.nerova.nerova"},
        {"/opt/x.y.bin", "x", "org.nerova.x"},                 // up to the first "."
        {"/a.b/calc", "calc", "org.nerova.calc"},              // a "." in a folder is not the name's
        {"./my calc+", "my calc+", "org.nerova.my_calc_"},     // characters a bus name refuses
        {"/bin/2calc", "2calc", "org.nerova._calc"},           // no element starts with a digit
        {"/bin/.hidden", "", "org.nerova._"},                  // empty service name
        {"/bin/電卓", "電卓", "org.nerova.__"},                 // one "_" per character, not per byte
        {"/bin/a-b_c", "a-b_c", "org.nerova.a-b_c"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(serviceName(r.program), r.service) << r.program;
        EXPECT_EQ(busName(r.service), r.bus) << r.program;
    }
    EXPECT_EQ(busName(std::string(300, 'a')).size(), 255u);
}

TEST(ServiceNameTest, LinkBytes) {
    EXPECT_EQ(linkBytes("nerova"), std::string("nerova\0DDE\0NEROVA\0", 18));
}

}  // namespace
