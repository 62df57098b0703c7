// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "display/Shiki.h"

#include <utility>

void TShiki::Add(uint8_t kind, std::string text, std::string text2) {
    Items.push_back(elm{kind, std::move(text), std::move(text2)});
}

const elm* TShiki::Next() {
    if (CursorIndex >= Count()) return nullptr;
    return &Items[static_cast<size_t>(CursorIndex++)];
}

void TShiki::Clear() {
    Items.clear();
    CursorIndex = 0;
}
