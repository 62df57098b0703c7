// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Window-free text evaluators: a text in, its value (or the failure message) out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/messages.h"

namespace nerova {

/// Shown for std::bad_alloc in place of a result.
inline constexpr Message kOutOfMemory = Message::OutOfMemory;

/// The text forms a result can be written in.
enum class ResultForm {
    Improper,   ///< TLoRational::ToImproperText
    Mixed,      ///< ToMixedColonText ("w:r/d")
    Plus,       ///< ToMixedText ("w+r/d", "-(w+r/d)")
    Float,      ///< ToFloatText
    Decimal,    ///< ToDecimalText, recurring off
    Recurring,  ///< ToDecimalText, recurring on
};

/// A result text, or the message of the failure that stands in its place.
struct TextResult {
    bool ok = false;
    std::string text;
    /// The text after the expression that the evaluation did not read (see unusedText).
    std::string unused;
};

/// The most bytes the input takes from one paste or drop: the input holds results of
/// millions of digits, and a paste of a few of them must arrive whole.
inline constexpr std::size_t kPasteLimit = 64 * 1024 * 1024;

/// text with the full-width forms that an input method writes for the characters of an
/// expression turned into their ASCII forms, so that what is calculated is what the
/// display shows: the digits ０-９, ＋－＊／＾（）．：［］, the ideographic space, and the
/// signs × ÷ − (U+2212). Every other character stays as it is.
std::string asciiForms(std::string_view text);

/// What a paste or a drop inserts into the input: text up to its first null byte, each
/// line break (CR LF, CR or LF) as one blank, so that what is calculated is what the
/// display shows, and its full-width forms as asciiForms turns them. Nothing when that
/// is longer than limit bytes: a paste is taken whole or refused, never cut.
std::optional<std::string> pastedText(std::string_view text, std::size_t limit = kPasteLimit);

/// The information line's notice for a paste refused by pastedText.
std::string pasteTooLongNotice(std::size_t limit = kPasteLimit);

/// When text holds a power whose exponent is a fraction literal ("2^100/3^50" reads
/// 100/3 as one number), the notice that says how to write the division; else empty.
/// For the information line after kRationalPowerNotInteger.
std::string fractionExponentNotice(std::string_view text);

/// The part of text from byte index readTo on, which an evaluation stopped before,
/// without the blanks and tabs around it; empty when only blanks are left.
std::string unusedText(std::string_view text, std::size_t readTo);

/// n in decimal with a comma between groups of three digits ("301,030").
std::string groupedDigits(std::size_t n);

/// Results longer than this many digits (numerator and denominator together) are
/// given their length in the information line.
inline constexpr std::size_t kLongResultDigits = 1000;

/// The length of a long result written as an improper fraction ("-n/d" or "n"), for
/// example "分子 301,030 桁、分母 1 桁" (in the current language); empty for a result of kLongResultDigits digits
/// or fewer.
std::string lengthNotice(std::string_view improper);

/// The notice for text that a calculation did not use: 「TEXT」は計算に使っていません,
/// a TEXT of more than 40 bytes cut (at a character) and ended with "…" (in the current
/// language).
std::string unusedNotice(std::string_view unused);

/// Evaluates text (";" is appended here) in its own rational and writes the value in
/// form. A std::exception gives its message in the current language (see messageOf), any
/// other exception an empty text, each with ok false; only TCancelledException passes
/// on, since a cancellation ends the whole run (a batch, a command) and is no result.
TextResult evalText(std::string_view text, ResultForm form);

/// The value of text as an improper fraction, or the failure message (TCancelledException
/// passes on, as from evalText; so for the two below).
std::string calcText(const std::string& text);
/// Appends calcText(text) to out, without a text of its own (the batch run's records).
void appendCalcText(std::string& out, std::string_view text);
/// The value of text in floating-point form, or the failure message.
std::string fracText(const std::string& text);
/// The value of text as a mixed number with "+" and parentheses, or the failure message.
std::string taiText(const std::string& text);

}  // namespace nerova
