// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#pragma once

#include "shell/language.h"

// Sets the process's language for one test and puts the source language back.
class LanguageScope {
public:
    explicit LanguageScope(const char* lang) { nerova::setLanguage(lang); }
    ~LanguageScope() { nerova::setLanguage(nerova::kSourceLanguage); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;
};
