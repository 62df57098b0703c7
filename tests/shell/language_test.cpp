// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <new>
#include <stdexcept>
#include <string>

#include "engine/Eval.h"
#include "shell/batch.h"
#include "shell/commands.h"
#include "shell/steps.h"
#include "shell/textcalc.h"
#include "tests/shell/language_scope.h"

namespace {

using nerova::Message;


TEST(LanguageTest, ChosenFromTheLocaleVariables) {
    struct Row {
        std::map<std::string, std::string> env;
        const char* lang;
    } rows[] = {
        {{}, "ja"},                                   // no locale at all: the C locale
        {{{"LANG", "C"}}, "ja"},
        {{{"LANG", "C.UTF-8"}}, "ja"},
        {{{"LANG", "POSIX"}}, "ja"},
        {{{"LANG", "ja_JP.UTF-8"}}, "ja"},
        {{{"LANG", "ja_JP.eucJP"}}, "ja"},
        {{{"LANG", "en_US.UTF-8"}}, "en"},
        {{{"LANG", "en"}}, "en"},
        {{{"LANG", "de_DE@euro"}}, "en"},             // no catalogue: English
        {{{"LC_ALL", "C.UTF-8"}, {"LANG", "en_US.UTF-8"}}, "ja"},  // LC_ALL first
        {{{"LC_ALL", "en_GB.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}, "en"},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}, "ja"},  // empty is unset
        {{{"LC_MESSAGES", "en_US.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, "en"},
        {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja:en"}}, "ja"},   // LANGUAGE's order counts
        {{{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "fr:en_GB:ja"}}, "en"},  // first one spoken
        {{{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "fr:de"}}, "ja"},  // none spoken: the locale's
        {{{"LANG", "C.UTF-8"}, {"LANGUAGE", "en"}}, "ja"},         // ignored in the C locale
        {{{"LANGUAGE", "en"}}, "ja"},
    };
    for (const Row& r : rows) {
        const auto getenv = [&](const char* name) -> const char* {
            const auto it = r.env.find(name);
            return it == r.env.end() ? nullptr : it->second.c_str();
        };
        std::string shown;
        for (const auto& [k, v] : r.env) shown += k + "=" + v + " ";
        EXPECT_EQ(nerova::chooseLanguage(getenv), r.lang) << shown;
    }
}

TEST(LanguageTest, SpokenLanguages) {
    const auto all = nerova::languages();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0], nerova::kSourceLanguage);
    EXPECT_NE(std::find(all.begin(), all.end(), std::string(nerova::kFallbackLanguage)), all.end());
}

// Every message has its English text, with the same arguments as the design's, and
// nothing of the Japanese left in it.
TEST(LanguageTest, EveryMessageHasItsEnglishText) {
    for (int i = 0; i < static_cast<int>(Message::Count); ++i) {
        const auto m = static_cast<Message>(i);
        const std::string source = nerova::sourceText(m);
        const std::string english = nerova::messageText(m, "en");
        SCOPED_TRACE(source);
        if (m != Message::EndOfStream) {
            EXPECT_NE(english, source);
        }
        for (const char* marker : {"%1", "%2"})
            EXPECT_EQ(english.find(marker) == std::string::npos, source.find(marker) == std::string::npos) << marker;
        // Japanese characters are three-byte sequences starting with E3 to E9 (kana and
        // kanji) or EF BC/BD (full-width forms).
        for (std::size_t b = 0; b < english.size(); ++b) {
            const auto c = static_cast<unsigned char>(english[b]);
            EXPECT_FALSE(c >= 0xE3 && c <= 0xE9) << english;
            EXPECT_FALSE(c == 0xEF && b + 1 < english.size() &&
                         (static_cast<unsigned char>(english[b + 1]) & 0xFE) == 0xBC)
                << english;
        }
        EXPECT_EQ(nerova::messageText(m, "ja"), source);
        EXPECT_EQ(nerova::messageText(m, "xx"), source);  // no catalogue
    }
}

TEST(LanguageTest, TheGlossary) {
    const std::pair<Message, const char*> rows[] = {
        {Message::DivideByZero, "division by zero"},
        {Message::NoDigits, "a number is missing"},
        {Message::ParenMismatch, "unbalanced parentheses"},
        {Message::PowerNotInteger, "the exponent is not an integer"},
        {Message::Cancelled, "calculation cancelled"},
        {Message::OutOfMemory, "out of memory"},
        {Message::TooLarge, "the result is too large"},
        {Message::LineTooLong, "the line is too long"},
    };
    for (const auto& [m, english] : rows) EXPECT_STREQ(nerova::messageText(m, "en"), english);
}

// Exceptions keep the design's text in what(); the shell shows their code in the
// language set, with the argument in its place.
TEST(LanguageTest, FailuresShownInTheLanguageSet) {
    const TEvalException divide(kEvalDivideByZero);
    const nerova::TInOutException file(nerova::kFileCannotWrite, "out.txt");
    const nerova::MessageError write(Message::CannotWritePath, "/x/settings.ini");
    const std::runtime_error plain("plain");
    EXPECT_STREQ(divide.what(), "0で割ろうとした");
    EXPECT_STREQ(file.what(), "ファイルに書き込めません: out.txt");
    EXPECT_STREQ(write.what(), "/x/settings.ini に書き込めません");
    EXPECT_EQ(nerova::messageOf(divide), "0で割ろうとした");
    EXPECT_EQ(nerova::messageOf(std::bad_alloc()), "メモリが不足しています");
    {
        const LanguageScope english("en");
        EXPECT_EQ(nerova::language(), "en");
        EXPECT_EQ(nerova::messageOf(divide), "division by zero");
        EXPECT_EQ(nerova::messageOf(file), "cannot write the file: out.txt");
        EXPECT_EQ(nerova::messageOf(write), "cannot write /x/settings.ini");
        EXPECT_EQ(nerova::messageOf(std::bad_alloc()), "out of memory");
        EXPECT_EQ(nerova::messageOf(nerova::TCancelledException()), "calculation cancelled");
        EXPECT_EQ(nerova::messageOf(plain), "plain");
        EXPECT_STREQ(divide.what(), "0で割ろうとした");
    }
    EXPECT_EQ(nerova::language(), "ja");
    EXPECT_EQ(nerova::messageOf(file), "ファイルに書き込めません: out.txt");
}

// What the text evaluators give the batch run, the prompt and the macro item; the
// values themselves never change with the language.
TEST(LanguageTest, EvaluatorsAndNotices) {
    const std::string value = nerova::calcText("1/3+1/6");
    const std::string fraction = nerova::fracText("1/8");
    const LanguageScope english("en");
    EXPECT_EQ(nerova::calcText("1/(1-1)"), "division by zero");
    EXPECT_EQ(nerova::taiText("2^(1/2)"), "the exponent is not an integer");
    EXPECT_EQ(nerova::calcText("1/3+1/6"), value);
    EXPECT_EQ(nerova::fracText("1/8"), fraction);
    EXPECT_EQ(nerova::unusedNotice("x3"), "“x3” was not used in the calculation");
    EXPECT_EQ(nerova::lengthNotice(std::string(1200, '7') + "/3"), "digits: numerator 1,200, denominator 1");
}

// The working's notes and its spoken reading (for screen readers) follow the language.
TEST(LanguageTest, StepsReadAndNotedInTheLanguageSet) {
    const nerova::StepsView sum = nerova::stepsOf("1/3+1/6");
    EXPECT_EQ(nerova::stepsSpeech(sum),
              "3分の1たす6分の1。\nイコール、6分の2たす6分の1。\nイコール、6分の3。\nイコール、2分の1。");
    EXPECT_EQ(nerova::stepsOf("2^1000000").lines.back().text, "結果は長すぎるので省略します");
    const LanguageScope english("en");
    EXPECT_EQ(nerova::stepsSpeech(sum),
              "1 over 3 plus 1 over 6.\nequals, 2 over 6 plus 1 over 6.\nequals, 3 over 6.\nequals, 1 over 2.");
    const nerova::StepsView big = nerova::stepsOf("2^1000000");
    ASSERT_EQ(big.lines.size(), 3u);
    EXPECT_EQ(big.lines[1].text, "the steps are left out");
    EXPECT_EQ(big.lines[2].text, "the result is too long to show");
    EXPECT_EQ(nerova::stepSpeech(big.lines[1]), "the steps are left out.");
}

TEST(MessageTest, FormatPutsArgumentsInTheirPlaces) {
    EXPECT_EQ(nerova::formatMessage("a %1 b %2", "x", "y"), "a x b y");
    EXPECT_EQ(nerova::formatMessage("%2 before %1", "x", "y"), "y before x");
    EXPECT_EQ(nerova::formatMessage("a %1 b %2", "%2", "y"), "a %2 b y");  // an argument stays as it is
    EXPECT_EQ(nerova::formatMessage("no place", "name"), "no place: name");
    EXPECT_EQ(nerova::formatMessage("no place"), "no place");
    EXPECT_EQ(nerova::formatMessage("100%"), "100%");
}

}  // namespace
