// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// UTF-8 in bytes, for every layer: texts are UTF-8 and positions and lengths are counted
// in bytes, so cutting or stepping must never split a character.
#pragma once

#include <cstddef>
#include <string_view>

namespace nerova::utf8 {

/// "…" (U+2026, three bytes): what ends a text that was cut.
inline constexpr std::string_view kEllipsis = "…";

/// A byte inside a character (10xxxxxx), never the start of one.
constexpr bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

/// How many continuation bytes a well-formed lead byte calls for (1 to 3); 0 for any
/// other byte (a single-byte character, a continuation byte, a byte no UTF-8 text holds).
constexpr int continuationCount(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF) return 1;
    if (b >= 0xE0 && b <= 0xEF) return 2;
    if (b >= 0xF0 && b <= 0xF4) return 3;
    return 0;
}

/// The length of the well-formed character at s[i] (i < s.size()), or 0 when the bytes
/// there are not one (an overlong form, a surrogate, beyond U+10FFFF, cut short).
constexpr std::size_t wellFormedLength(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) return 1;
    const std::size_t n = static_cast<std::size_t>(continuationCount(b)) + 1;
    if (n == 1 || i + n > s.size()) return 0;
    // The second byte's range also rules out overlong forms, surrogates and > U+10FFFF.
    const unsigned char lo = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    const unsigned char hi = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return 0;
    }
    return n;
}

/// The start of the character that byte i belongs to: i stepped back over continuation
/// bytes, never below 0. With i == s.size(), i itself.
constexpr std::size_t charStart(std::string_view s, std::size_t i) {
    while (i > 0 && i < s.size() && isContinuation(s[i])) --i;
    return i;
}

/// The end of the character starting at byte i: i stepped over it and its continuation
/// bytes, never beyond s.size().
constexpr std::size_t nextChar(std::string_view s, std::size_t i) {
    if (i < s.size()) ++i;
    while (i < s.size() && isContinuation(s[i])) ++i;
    return i;
}

/// The longest prefix of s of at most limit bytes that splits no character.
constexpr std::string_view cut(std::string_view s, std::size_t limit) {
    return limit >= s.size() ? s : s.substr(0, charStart(s, limit));
}

}  // namespace nerova::utf8
