// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The language of the texts a person reads, chosen from the locale, and the one place
// where a message code becomes text: for the command line, the batch output, the macro
// item and the window alike. The design's Japanese texts are the source texts; the other
// languages come from the catalogues in translations/, built into the program.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/messages.h"

namespace nerova {

/// The language of the source texts, kept for a Japanese locale and the C locale.
inline constexpr std::string_view kSourceLanguage = "ja";
/// The language of every locale that has no catalogue of its own.
inline constexpr std::string_view kFallbackLanguage = "en";

/// The language the locale asks for, from the variables as the C library reads them:
/// the first set of LC_ALL, LC_MESSAGES and LANG names the locale; none, "C" or "POSIX"
/// (with any codeset) keeps the source texts. Otherwise LANGUAGE, a list of languages by
/// preference ("de:en"), picks the first it names that the program speaks, and without
/// one the locale's own language counts: "ja" gives the source texts, a language with a
/// catalogue that catalogue, any other kFallbackLanguage. getenv returns nullptr for an
/// unset variable.
std::string chooseLanguage(const std::function<const char*(const char*)>& getenv);
/// chooseLanguage over the process's environment.
std::string chooseLanguage();

/// The languages the program speaks: the source language first, then the catalogues'.
std::vector<std::string> languages();

/// Makes lang the language of text() and messageOf() for the whole process (set it at
/// start, before other threads run); a language without a catalogue gives the source texts.
/// The spoken reading (display/writers.h) follows: Japanese for the source language,
/// English for any other.
void setLanguage(std::string_view lang);
/// The language set by setLanguage (kSourceLanguage before any call).
std::string language();

/// The text of m in lang (the source text where the catalogue has none).
const char* messageText(Message m, std::string_view lang);
/// m in the current language, completed by its arguments (see formatMessage).
std::string text(Message m, std::string_view first = {}, std::string_view second = {});

/// The text to show for a failure, in the current language: the message of a
/// MessageError, "out of memory" for std::bad_alloc, what() for anything else.
std::string messageOf(const std::exception& e);

}  // namespace nerova
