// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The message catalogues as the build writes them from translations/nerova_LANG.ts
// (tools/catalogue.cpp): the context "Message" of each, as pairs of source and translation.
#pragma once

#include <cstddef>

namespace nerova {

struct CatalogueEntry {
    const char* source;
    const char* translation;
};

struct Catalogue {
    const char* language;
    const CatalogueEntry* entries;
    std::size_t count;
};

/// The catalogues, kCatalogueCount of them.
extern const Catalogue kCatalogues[];
extern const std::size_t kCatalogueCount;

}  // namespace nerova
