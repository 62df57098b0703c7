// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/language.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>

#include "display/writers.h"
#include "shell/catalogue.h"

namespace nerova {

namespace {

using Texts = std::array<const char*, static_cast<std::size_t>(Message::Count)>;

// Each catalogue's texts in the order of the codes, matched once by source text (a
// catalogue may list them in any order, and an untranslated one falls back to the source).
const std::vector<Texts>& catalogueTexts() {
    static const std::vector<Texts> texts = [] {
        std::vector<Texts> all(kCatalogueCount);
        for (std::size_t c = 0; c < kCatalogueCount; ++c) {
            for (std::size_t m = 0; m < all[c].size(); ++m) {
                const std::string_view source = sourceText(static_cast<Message>(m));
                all[c][m] = nullptr;
                for (std::size_t e = 0; e < kCatalogues[c].count; ++e)
                    if (kCatalogues[c].entries[e].source == source) all[c][m] = kCatalogues[c].entries[e].translation;
            }
        }
        return all;
    }();
    return texts;
}

// The index of lang's catalogue, or kCatalogueCount for none.
std::size_t catalogueOf(std::string_view lang) {
    for (std::size_t c = 0; c < kCatalogueCount; ++c)
        if (kCatalogues[c].language == lang) return c;
    return kCatalogueCount;
}

std::atomic<std::size_t> Current{kCatalogueCount};

// The language part of a locale or language name: "en" of "en_US.UTF-8", "de" of "de@euro".
std::string_view languageOf(std::string_view name) { return name.substr(0, name.find_first_of("_.@")); }

bool spoken(std::string_view lang) { return lang == kSourceLanguage || catalogueOf(lang) < kCatalogueCount; }

}  // namespace

std::string chooseLanguage(const std::function<const char*(const char*)>& getenv) {
    const auto variable = [&](const char* name) -> std::string_view {
        const char* value = getenv(name);
        return value ? value : "";
    };
    std::string_view locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = variable(name);
        if (!locale.empty()) break;
    }
    const std::string_view base = languageOf(locale);
    if (base.empty() || base == "C" || base == "POSIX") return std::string(kSourceLanguage);
    std::string_view preferred = variable("LANGUAGE");
    while (!preferred.empty()) {
        const auto colon = preferred.find(':');
        const std::string_view lang = languageOf(preferred.substr(0, colon));
        if (!lang.empty() && spoken(lang)) return std::string(lang);
        preferred = colon == std::string_view::npos ? std::string_view() : preferred.substr(colon + 1);
    }
    return std::string(spoken(base) ? base : kFallbackLanguage);
}

std::string chooseLanguage() { return chooseLanguage([](const char* name) { return std::getenv(name); }); }

std::vector<std::string> languages() {
    std::vector<std::string> all{std::string(kSourceLanguage)};
    for (std::size_t c = 0; c < kCatalogueCount; ++c) all.emplace_back(kCatalogues[c].language);
    return all;
}

void setLanguage(std::string_view lang) {
    Current = catalogueOf(lang);
    // The spoken reading follows: Japanese for the source texts, English for the rest
    // (the one other reading there is).
    setReading(language() == kSourceLanguage ? Reading::Japanese : Reading::English);
}

std::string language() {
    const std::size_t c = Current;
    return c < kCatalogueCount ? kCatalogues[c].language : std::string(kSourceLanguage);
}

const char* messageText(Message m, std::string_view lang) {
    const std::size_t c = catalogueOf(lang);
    const char* translated = c < kCatalogueCount ? catalogueTexts()[c].at(static_cast<std::size_t>(m)) : nullptr;
    return translated ? translated : sourceText(m);
}

std::string text(Message m, std::string_view first, std::string_view second) {
    return formatMessage(messageText(m, language()), first, second);
}

std::string messageOf(const std::exception& e) {
    if (const auto* coded = dynamic_cast<const MessageError*>(&e)) return text(coded->code(), coded->argument(), coded->second());
    if (dynamic_cast<const std::bad_alloc*>(&e)) return text(Message::OutOfMemory);
    return e.what();
}

}  // namespace nerova
