// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Display tokens: the kinds of token the fraction display draws and the list that holds them.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

/// Token kind codes; the typesetter chooses its drawing routine by them.
enum : uint8_t {
    skNumber = 0,     ///< a run of digits followed neither by "/" nor by "."
    skText = 1,       ///< an operator, a decimal with its point, a lone "^" or "[", any other word
    skFraction = 2,   ///< digits "/" digits: Text is the numerator, Text2 the denominator
    skNone = 3,       ///< never stored: "no token came before" in the drawing loop
    skPower = 4,      ///< the exponent after "^", without the "^" and without its parentheses
    skParen = 5,      ///< "(" or ")"
    skRecurring = 6,  ///< the repeating digits written between "[" and "]", without the brackets
};

/// One display token. Text and Text2 are UTF-8 byte strings owned by the record.
struct elm {
    uint8_t Kind = skText;
    std::string Text;   ///< the token's text; the numerator of a fraction
    std::string Text2;  ///< the denominator of a fraction; empty for every other kind
};

/// The token list of one drawing pass, read front to back with Next.
/// Invariants: 0 <= Cursor <= Count(); a record returned by Next stays valid and
/// unchanged until the next Clear (Add never moves existing records).
class TShiki {
public:
    TShiki() = default;
    TShiki(const TShiki&) = delete;
    TShiki& operator=(const TShiki&) = delete;

    /// Appends a record holding copies of the three values; Cursor is not touched.
    void Add(uint8_t kind, std::string text, std::string text2 = {});
    /// Returns the record at Cursor and moves past it, or nullptr (Cursor unchanged) at the end.
    const elm* Next();
    /// Frees every record, read or not, and sets Cursor to 0.
    void Clear();

    /// The number of records in the list.
    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    /// The 0-based index of the record that Next returns next.
    int32_t Cursor() const { return CursorIndex; }
    /// The record at index i (0 <= i < Count()), for reading.
    const elm& operator[](int32_t i) const { return Items[static_cast<size_t>(i)]; }

private:
    std::deque<elm> Items;  // a deque keeps records in place while the list grows
    int32_t CursorIndex = 0;
};
