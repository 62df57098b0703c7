// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The calculator commands against in-memory stand-ins for the input line, the history
// list, the display and the recurring option.
#include "shell/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "engine/pump.h"

using namespace nerova;  // the code under test

namespace {

class FakeInput : public ICalcInput {
public:
    std::string text_;
    std::size_t start_ = 0, length_ = 0;
    int focusCount = 0;

    std::string text() const override { return text_; }
    void setText(const std::string& text) override {
        text_ = text;
        start_ = text.size();
        length_ = 0;
    }
    std::size_t selStart() const override { return start_; }
    std::size_t selLength() const override { return length_; }
    void setSelection(std::size_t start, std::size_t length) override {
        start_ = start;
        length_ = length;
    }
    void replaceSelection(const std::string& text) override {
        text_.replace(start_, length_, text);
        start_ += text.size();
        length_ = 0;
    }
    void setFocus() override { ++focusCount; }
};

class FakeHistory : public IHistoryList {
public:
    std::vector<std::string> items;
    int count() const { return static_cast<int>(items.size()); }
    std::string item(int index) const { return items.at(static_cast<std::size_t>(index)); }
    void insert(int index, const std::string& text) override {
        items.insert(items.begin() + index, text);
    }
    void remove(int index) override { items.erase(items.begin() + index); }
};

class FakeDisplay : public ITextDisplay {
public:
    std::vector<std::string> shown;
    void ShowText(const std::string& text) override { shown.push_back(text); }
};

class FakeOption : public IRecurringOption {
public:
    bool on = true;
    bool recurring() const override { return on; }
};

class FakeCopier : public ILinkCopier {
public:
    int calls = 0;
    bool fail = false;
    void copyLink() override {
        ++calls;
        if (fail) throw std::runtime_error("クリップボードを開くことができません");
    }
};

class CommandsTest : public ::testing::Test {
public:  // the pump handler of one test reaches in from a plain function
    FakeInput input;
    FakeHistory history;
    FakeDisplay display;
    FakeOption option;
    TCalcCommands cmd{input, history, display, option};

    /// Types text into the input (a user edit) and presses Enter.
    void enter(const std::string& text) {
        input.setText(text);
        cmd.histChange();
        char key = '\r';
        cmd.OnKeyPress(key);
        EXPECT_EQ(key, '\0') << "Enter must be swallowed";
    }
    std::string lastShown() const { return display.shown.empty() ? "" : display.shown.back(); }
};

TEST_F(CommandsTest, EnterCalculatesShowsAndRemembersTheInput) {
    enter("1/3+1/6");
    EXPECT_EQ(input.text_, "1/2");
    EXPECT_EQ(lastShown(), "1/2;");
    EXPECT_EQ(history.items, (std::vector<std::string>{"1/3+1/6"}));
    EXPECT_FALSE(cmd.failed());
    EXPECT_EQ(cmd.current().ToImproperText(), "1/2");
    // Caret at the end, nothing selected.
    EXPECT_EQ(input.start_, input.text_.size());
    EXPECT_EQ(input.length_, 0u);
}

// A result calculated again is not the user's input: the history keeps the inputs only.
TEST_F(CommandsTest, EnterTwiceCalculatesTheResultAgain) {
    enter("1+1");
    char key = '\r';
    cmd.OnKeyPress(key);
    EXPECT_EQ(input.text_, "2");
    EXPECT_EQ(history.items, (std::vector<std::string>{"1+1"}));
}

TEST_F(CommandsTest, HistoryRules) {
    for (int i = 0; i < 8; ++i) cmd.addHistory(std::to_string(i));
    // Newest first: 7 6 5 4 3 2 1 0.
    cmd.addHistory("7");  // already on top: unchanged
    EXPECT_EQ(history.items.front(), "7");
    EXPECT_EQ(history.count(), 8);

    cmd.addHistory("2");  // index 5 moves to the top, the length stays
    EXPECT_EQ(history.items, (std::vector<std::string>{"2", "7", "6", "5", "4", "3", "1", "0"}));
    EXPECT_EQ(cmd.history(), history.items);  // the commands keep what the view shows

    cmd.addHistory("abc");
    cmd.addHistory("ABC");  // comparison is case-sensitive
    EXPECT_EQ(history.count(), 10);
    cmd.addHistory("x");  // the eleventh pushes out the oldest
    EXPECT_EQ(history.count(), 10);
    EXPECT_EQ(history.items.front(), "x");
    EXPECT_EQ(history.items.back(), "1");

    cmd.addHistory("");  // the empty input is an entry like any other
    EXPECT_EQ(history.items.front(), "");
    EXPECT_EQ(history.count(), 10);
}

TEST_F(CommandsTest, ElevenCalculationsKeepTheLastTenNewestFirst) {
    for (int i = 1; i <= 11; ++i) enter(std::to_string(i) + "+0");
    ASSERT_EQ(history.count(), 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(history.item(i), std::to_string(11 - i) + "+0");
}

TEST_F(CommandsTest, FailureStandsInTheInputAndKeepsTheDisplayAndResult) {
    enter("5");
    enter("1+");
    const std::string message = input.text_;
    EXPECT_TRUE(cmd.failed());
    EXPECT_NE(message, "1+");
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(lastShown(), "1+;") << "the display keeps what was typed";
    EXPECT_EQ(cmd.current().ToImproperText(), "5") << "a failure leaves the last result whole";

    // 小数化 calculates the message itself, which fails the same way; the message is no
    // input of the user's and stays out of the history.
    cmd.fractionClick();
    EXPECT_EQ(input.text_, message);
    EXPECT_TRUE(cmd.failed());
    EXPECT_FALSE(cmd.decimalShown());
    EXPECT_EQ(history.item(0), "1+");
    EXPECT_EQ(history.item(1), "5");
}

TEST_F(CommandsTest, EmptyInputFailsAndEntersTheHistory) {
    enter("");
    EXPECT_TRUE(cmd.failed());
    EXPECT_FALSE(input.text_.empty());
    EXPECT_EQ(history.items, (std::vector<std::string>{""}));
}

TEST_F(CommandsTest, DecimalToggleConvertsWithoutEvaluatingAgain) {
    enter("1/3");
    cmd.fractionClick();
    const std::string recurring = input.text_;
    EXPECT_NE(recurring.find('['), std::string::npos) << recurring;
    EXPECT_TRUE(cmd.decimalShown());
    EXPECT_EQ(lastShown(), recurring + ";");

    option.on = false;
    cmd.fractionClick();
    const std::string truncated = input.text_;
    EXPECT_EQ(truncated.substr(truncated.size() - 3), "…") << truncated;
    EXPECT_EQ(truncated.rfind("0.333", 0), 0u) << truncated;
    EXPECT_TRUE(cmd.decimalShown());
    EXPECT_EQ(history.items, (std::vector<std::string>{"1/3"})) << "no evaluation took place";

    cmd.KabunClick();
    EXPECT_EQ(input.text_, "1/3");
    EXPECT_FALSE(cmd.decimalShown());
    EXPECT_EQ(history.items, (std::vector<std::string>{"1/3"}));
}

TEST_F(CommandsTest, MixedNumberIsReadBackBeforeConverting) {
    enter("7/2");
    cmd.taibunClick();
    const std::string mixed = input.text_;
    EXPECT_NE(mixed.find(':'), std::string::npos) << mixed;
    EXPECT_FALSE(cmd.decimalShown());
    EXPECT_GE(input.focusCount, 1);

    cmd.fractionClick();
    EXPECT_EQ(history.item(0), "7/2") << "the mixed text was calculated again, not remembered";
    EXPECT_EQ(input.text_, "3.5");
    EXPECT_TRUE(cmd.decimalShown());
}

TEST_F(CommandsTest, AcCopiesTheLinkOnlyForTheExactInputDDE) {
    FakeCopier copier;
    enter("1/3");

    input.setText("DDE");  // without a copier AC only clears
    cmd.acClick();
    EXPECT_EQ(input.text_, "0");

    cmd.setLinkCopier(&copier);
    input.setText("dde");
    cmd.acClick();
    EXPECT_EQ(copier.calls, 0);

    enter("1/3");
    input.setText("DDE");
    cmd.acClick();
    EXPECT_EQ(copier.calls, 1);
    EXPECT_EQ(input.text_, "0");
    EXPECT_EQ(lastShown(), "0;");
    EXPECT_EQ(cmd.current().ToImproperText(), "0");

    // A failed copy stops AC before it clears anything.
    enter("1/3");
    input.setText("DDE");
    copier.fail = true;
    EXPECT_THROW(cmd.acClick(), std::runtime_error);
    EXPECT_EQ(input.text_, "DDE");
    EXPECT_EQ(cmd.current().ToImproperText(), "1/3");
}

TEST_F(CommandsTest, EvaReplacesOnlyTheSelection) {
    enter("9");
    input.setText("x=1/2+1/3");
    input.setSelection(2, 7);
    const auto historyBefore = history.items;
    cmd.eva();
    EXPECT_EQ(input.text_, "x=5/6");
    EXPECT_EQ(lastShown(), "x=5/6;") << "the replacement is an edit: the display follows";
    EXPECT_EQ(history.items, historyBefore);
    EXPECT_EQ(cmd.current().ToImproperText(), "9");

    // A failing selection is replaced by its message; nothing selected does nothing.
    input.setText("a(1/0)b");
    input.setSelection(1, 5);
    cmd.eva();
    EXPECT_EQ(input.text_.front(), 'a');
    EXPECT_EQ(input.text_.back(), 'b');
    EXPECT_GT(input.text_.size(), 2u);
    EXPECT_FALSE(cmd.failed()) << "eva leaves the flags alone";

    input.setText("1+1");
    input.setSelection(1, 0);
    const auto shownBefore = display.shown.size();
    cmd.eva();
    EXPECT_EQ(input.text_, "1+1");
    EXPECT_EQ(display.shown.size(), shownBefore);
}

// The flag table: each row starts from "1/3" calculated and shown as a decimal
// (decimalShown true) and applies one operation.
TEST_F(CommandsTest, FlagTable) {
    struct Row {
        const char* why;
        void (*op)(TCalcCommands&, FakeInput&);
        bool failed, decimalShown;
    };
    const Row rows[] = {
        {"a typed character forgets the decimal form",
         [](TCalcCommands& c, FakeInput&) { char k = '5'; c.OnKeyPress(k); }, false, false},
        {"Enter calculates the decimal text again",
         [](TCalcCommands& c, FakeInput&) { char k = '\r'; c.OnKeyPress(k); }, false, false},
        {"an edit of the input", [](TCalcCommands& c, FakeInput&) { c.histChange(); }, false, false},
        {"AC", [](TCalcCommands& c, FakeInput&) { c.acClick(); }, false, false},
        {"小数化 again stays decimal", [](TCalcCommands& c, FakeInput&) { c.fractionClick(); }, false, true},
        {"帯分数", [](TCalcCommands& c, FakeInput&) { c.taibunClick(); }, false, false},
        {"仮分数", [](TCalcCommands& c, FakeInput&) { c.KabunClick(); }, false, false},
        {"cut or paste", [](TCalcCommands& c, FakeInput&) { c.inputEdited(); }, false, false},
        {"eva with nothing selected changes nothing",
         [](TCalcCommands& c, FakeInput&) { c.eva(); }, false, true},
    };
    for (const Row& row : rows) {
        FakeInput in;
        FakeHistory hi;
        FakeDisplay di;
        FakeOption op;
        TCalcCommands c(in, hi, di, op);
        in.setText("1/3");
        char k = '\r';
        c.OnKeyPress(k);
        c.fractionClick();
        ASSERT_TRUE(c.decimalShown());
        row.op(c, in);
        EXPECT_EQ(c.failed(), row.failed) << row.why;
        EXPECT_EQ(c.decimalShown(), row.decimalShown) << row.why;
        EXPECT_FALSE(c.decimalShown() && c.failed()) << row.why;
    }
}

TEST_F(CommandsTest, AcKeepsFailedAndTheHistory) {
    enter("1/0");
    ASSERT_TRUE(cmd.failed());
    cmd.acClick();
    EXPECT_TRUE(cmd.failed());
    EXPECT_EQ(history.items, (std::vector<std::string>{"1/0"}));
    EXPECT_EQ(input.text_, "0");
}

// While a calculation runs, the engine's pump lets other commands in; they must all be
// refused, and a cancellation must leave the previous result whole.
TEST_F(CommandsTest, CommandsAreRefusedWhileCalculatingAndCancelKeepsCurrent) {
    enter("1/7");
    const auto historyBefore = history.items;

    struct Context {
        CommandsTest* t;
        int calls = 0;
        std::vector<bool> busySeen;
    } ctx{this, 0, {}};
    CalcOwner owner;
    owner.setBusyObserver([&ctx](bool busy) {
        ctx.busySeen.push_back(busy);
        // The end is announced only after the calculation's pump handler was removed.
        if (!busy) {
            EXPECT_EQ(pump::Current().context, static_cast<void*>(&ctx));
        }
    });
    cmd.setOwner(&owner);
    pump::Scope scope(
        [](void* p) {
            auto& c = *static_cast<Context*>(p);
            if (c.calls++ > 0) return;
            TCalcCommands& commands = c.t->cmd;
            EXPECT_TRUE(commands.calculating());
            const std::string during = c.t->input.text_;
            const auto shown = c.t->display.shown.size();
            commands.keisan();
            commands.acClick();
            commands.fractionClick();
            commands.taibunClick();
            commands.KabunClick();
            char k = '\r';
            commands.OnKeyPress(k);
            EXPECT_EQ(k, '\0');
            c.t->input.setSelection(0, 1);
            commands.eva();
            EXPECT_EQ(c.t->input.text_, during);
            EXPECT_EQ(c.t->display.shown.size(), shown);
            EXPECT_EQ(c.t->history.count(), 2);
            throw TCancelledException();
        },
        &ctx);

    input.setText("3^3^12");
    cmd.histChange();  // typed
    cmd.keisan();
    EXPECT_GT(ctx.calls, 0) << "a long power runs the message pump";
    EXPECT_EQ(input.text_, nerova::sourceText(kCancelled));
    EXPECT_TRUE(cmd.failed());
    EXPECT_FALSE(cmd.calculating());
    EXPECT_EQ(cmd.current().ToImproperText(), "1/7");
    EXPECT_EQ(history.items.front(), "3^3^12");
    EXPECT_EQ(ctx.busySeen, (std::vector<bool>{true, false}));
}

// A conversion of current() can be long too (a division of big numbers) and can be
// cancelled: its message then stands in the input like a failed calculation's, so that
// decimalShown is false, and current() stays whole.
TEST_F(CommandsTest, CancelledConversionFailsLikeACalculation) {
    enter("(10^3000)/(3^2000)");
    const std::string value = cmd.current().ToImproperText();
    cmd.fractionClick();
    ASSERT_TRUE(cmd.decimalShown());
    const auto historyBefore = history.items;

    static bool cancel;
    cancel = true;
    pump::Scope scope([](void*) { if (cancel) throw TCancelledException(); }, nullptr);
    cmd.taibunClick();  // converts the exact value without calculating the input again
    EXPECT_EQ(input.text_, nerova::sourceText(kCancelled));
    EXPECT_TRUE(cmd.failed());
    EXPECT_FALSE(cmd.decimalShown());
    EXPECT_FALSE(cmd.calculating());
    EXPECT_EQ(history.items, historyBefore);
    cancel = false;
    EXPECT_EQ(cmd.current().ToImproperText(), value);
}

// The user may move the caret or select something else while the selection's value is
// being calculated (the input is read-only, not frozen); the value still replaces the
// text it was calculated from.
TEST_F(CommandsTest, EvaReplacesTheSelectionItCalculated) {
    input.setText("a+3^3^10+b");
    input.setSelection(2, 6);
    static FakeInput* in;
    in = &input;
    pump::Scope scope([](void*) { in->setSelection(0, 1); }, nullptr);
    cmd.eva();
    const std::string& t = input.text_;
    ASSERT_GT(t.size(), 4u);
    EXPECT_EQ(t.substr(0, 2), "a+");
    EXPECT_EQ(t.substr(t.size() - 2), "+b");
    EXPECT_EQ(t.substr(2, 4), "3411") << "3^59049 begins 3411...";
}

TEST(MessageOfTest, OutOfMemoryHasItsOwnMessage) {
    EXPECT_EQ(messageOf(std::bad_alloc()), nerova::sourceText(nerova::kOutOfMemory));
    EXPECT_EQ(messageOf(std::runtime_error("0で割ろうとした")), "0で割ろうとした");
}

}  // namespace

// A failure message (and the 0 of AC) stands selected, so that the next keystroke
// replaces it instead of being read after it; a result stands unselected with the caret
// at its end, so that an operator continues from it.
TEST_F(CommandsTest, FailureMessagesStandSelectedResultsDoNot) {
    struct Row {
        const char* why;
        std::function<void(CommandsTest&)> run;
        bool selected;
    };
    const Row rows[] = {
        {"Enter on a failing input", [](CommandsTest& t) { t.enter("1/0"); }, true},
        {"Enter on a good input", [](CommandsTest& t) { t.enter("1/3+1/6"); }, false},
        {"AC shows a 0 that typing replaces", [](CommandsTest& t) { t.cmd.acClick(); }, true},
        {"小数化 of a failing input",
         [](CommandsTest& t) {
             t.input.setText("1/0");
             t.cmd.histChange();
             t.cmd.fractionClick();
         },
         true},
        {"帯分数 of a good input",
         [](CommandsTest& t) {
             t.input.setText("7/2");
             t.cmd.histChange();
             t.cmd.taibunClick();
         },
         false},
    };
    for (const Row& row : rows) {
        row.run(*this);
        if (row.selected) {
            EXPECT_EQ(input.start_, 0u) << row.why;
            EXPECT_EQ(input.length_, input.text_.size()) << row.why;
        } else {
            EXPECT_EQ(input.start_, input.text_.size()) << row.why;
            EXPECT_EQ(input.length_, 0u) << row.why;
        }
    }
}

TEST_F(CommandsTest, CtrlEOnAFailingSelectionLeavesTheMessageSelected) {
    input.setText("2+1/0*3");
    input.setSelection(2, 3);  // "1/0"
    cmd.eva();
    const std::string message = "2+" + input.text_.substr(2, input.length_) + "*3";
    EXPECT_EQ(input.text_, message);
    EXPECT_EQ(input.start_, 2u);
    EXPECT_GT(input.length_, 3u);
    EXPECT_EQ(lastShown(), input.text_ + ";");
    // A good selection leaves the caret after its value.
    input.setText("2+1/2*3");
    input.setSelection(2, 3);
    cmd.eva();
    EXPECT_EQ(input.text_, "2+1/2*3");
    EXPECT_EQ(input.start_, 5u);
    EXPECT_EQ(input.length_, 0u);
}

// Text after a complete expression is not read; the value stands, and the notice says
// which text was left out, until the next edit.
TEST_F(CommandsTest, TextTheCalculationDidNotUseIsAnnounced) {
    std::vector<std::string> notices;
    cmd.setNoticeObserver([&](const std::string& n) { notices.push_back(n); });
    struct Row {
        const char* input;
        const char* value;
        const char* unused;  // empty: no notice
    };
    const Row rows[] = {
        {"2x3", "2", "x3"},
        {"1+2)*3", "3", ")*3"},
        {"2 3", "2", "3"},
        {"2\t3", "2", "3"},
        {"1/3+1/6", "1/2", ""},
        {"1/3+1/6  ", "1/2", ""},  // trailing blanks are nothing left out
    };
    for (const Row& row : rows) {
        notices.clear();
        enter(row.input);
        EXPECT_EQ(input.text_, row.value) << row.input;
        ASSERT_FALSE(notices.empty()) << row.input;
        EXPECT_EQ(notices.back(), *row.unused ? nerova::unusedNotice(row.unused) : std::string()) << row.input;
    }
    enter("2x3");
    notices.clear();
    cmd.histChange();  // the next edit ends the notice
    EXPECT_EQ(notices, std::vector<std::string>{""});

    notices.clear();
    input.setText("5*2x3");
    input.setSelection(2, 3);  // "2x3"
    cmd.eva();
    EXPECT_EQ(input.text_, "5*2");
    EXPECT_EQ(notices.back(), nerova::unusedNotice("x3"));
}

// After a result, a key that starts an expression starts a new input; an operator, a
// blank or a closing parenthesis continues from the result. The key reaches the input
// after the commands saw it, as the line edit inserts it.
TEST_F(CommandsTest, AKeyAfterAResultStartsANewInputOrContinues) {
    struct Row {
        char key;
        const char* input;
    };
    const Row rows[] = {
        {'7', "7"}, {'x', "x"}, {'Q', "Q"}, {'.', "."}, {'(', "("},
        {'+', "1/2+"}, {'-', "1/2-"}, {'*', "1/2*"}, {'/', "1/2/"}, {'^', "1/2^"}, {' ', "1/2 "}, {')', "1/2)"},
    };
    for (const Row& row : rows) {
        enter("1/3+1/6");
        ASSERT_EQ(input.text_, "1/2");
        char key = row.key;
        cmd.OnKeyPress(key);
        EXPECT_EQ(key, row.key);
        input.replaceSelection(std::string(1, key));
        cmd.histChange();
        EXPECT_EQ(input.text_, row.input) << row.key;
    }
    // "+1" Enter after 1/3+1/6 gives 1/2+1 = 3/2.
    enter("1/3+1/6");
    for (char key : std::string("+1")) {
        cmd.OnKeyPress(key);
        input.replaceSelection(std::string(1, key));
        cmd.histChange();
    }
    char enterKey = '\r';
    cmd.OnKeyPress(enterKey);
    EXPECT_EQ(input.text_, "3/2");
}

// The new input starts only from a result standing untouched with the caret at its end:
// not after an edit, a moved caret, a failure or a conversion's failure.
TEST_F(CommandsTest, AKeyEditsTheResultOnceTheUserTouchedIt) {
    enter("1/3+1/6");
    input.setSelection(1, 0);  // caret after the "1"
    char key = '7';
    cmd.OnKeyPress(key);
    input.replaceSelection("7");
    cmd.histChange();
    EXPECT_EQ(input.text_, "17/2");

    enter("1/3+1/6");
    input.setText("1/");  // Backspace: an edit of the result
    cmd.histChange();
    key = '3';
    cmd.OnKeyPress(key);
    input.replaceSelection("3");
    EXPECT_EQ(input.text_, "1/3");

    enter("1/0");  // a failure message is no result: the key goes where the caret is
    ASSERT_TRUE(cmd.failed());
    const std::string message = input.text_;
    input.setSelection(message.size(), 0);
    key = '7';
    cmd.OnKeyPress(key);
    EXPECT_EQ(input.text_, message);
}

// Only what the user calculated enters the history: not the "0" of AC, a result or a
// failure message calculated again by 小数化, 帯分数 or Enter.
TEST_F(CommandsTest, TextsTheCommandsSetStayOutOfTheHistory) {
    cmd.acClick();
    cmd.fractionClick();
    EXPECT_TRUE(history.items.empty());
    enter("1/3");
    cmd.fractionClick();
    cmd.KabunClick();
    cmd.taibunClick();
    cmd.fractionClick();
    EXPECT_EQ(history.items, std::vector<std::string>{"1/3"});
    enter("1/0");
    cmd.taibunClick();  // the failure message calculated again
    EXPECT_EQ(history.items, (std::vector<std::string>{"1/0", "1/3"}));
    enter("1/3");  // typed again: it moves up, never twice in a row
    enter("1/3");
    EXPECT_EQ(history.items, (std::vector<std::string>{"1/3", "1/0"}));
}

// A power whose exponent is a fraction literal fails; the information line then says how
// to write the division that was meant.
TEST_F(CommandsTest, APowerOfAFractionLiteralSaysHowToDivide) {
    std::vector<std::string> notices;
    cmd.setNoticeObserver([&](const std::string& n) { notices.push_back(n); });
    enter("2^100/3^50");
    EXPECT_EQ(input.text_, nerova::sourceText(kRationalPowerNotInteger));
    ASSERT_FALSE(notices.empty());
    EXPECT_NE(notices.back().find("2^100 / 3^50"), std::string::npos) << notices.back();
    EXPECT_NE(notices.back().find("100/3"), std::string::npos) << notices.back();
    enter("2^(1/3)");  // a rational power that is no literal: no such notice
    EXPECT_EQ(input.text_, nerova::sourceText(kRationalPowerNotInteger));
    EXPECT_EQ(notices.back(), "");
    enter("2^100 / 3^50");
    EXPECT_FALSE(cmd.failed());
    EXPECT_EQ(notices.back(), "");
}

// Putting a long result into the input cannot be cancelled; the information line says
// so before it starts, and says the result's length after it.
TEST_F(CommandsTest, ALongResultIsAnnouncedBeforeItIsShown) {
    std::vector<std::string> notices;
    std::vector<std::size_t> shownAt;
    cmd.setNoticeObserver([&](const std::string& n) {
        notices.push_back(n);
        shownAt.push_back(display.shown.size());
    });
    enter("10^2000");
    ASSERT_GE(notices.size(), 2u);
    EXPECT_EQ(notices[notices.size() - 2], "答えを表示しています…");
    EXPECT_EQ(notices.back(), nerova::lengthNotice(input.text_));
    EXPECT_LT(shownAt[shownAt.size() - 2], display.shown.size()) << "announced before the display got it";
    notices.clear();
    enter("1/3");
    EXPECT_EQ(std::count(notices.begin(), notices.end(), nerova::text(kShowingResult)), 0);
}
