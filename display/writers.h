// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Writers of a display text: LaTeX, MathML and a spoken reading (Japanese or English). Each follows the
// tokens the fraction display draws (BunDispCal's tokenizer), so it writes what the display
// shows, also for half-typed input; what the tokenizer does not recognise is written as
// text, escaped for the markup. No Qt: the command line uses them without the window.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace nerova {

/// The most bytes of markup writeLatex and writeMathml write for a text of textBytes bytes:
/// kMarkupBytesPerByte for each byte and kMarkupFrameBytes besides. The writers need far
/// less (about 25 bytes a byte at the worst: "^" in LaTeX, "((" in MathML); the bound
/// makes that a rule, so that no text can make a writer's output grow faster.
inline constexpr size_t kMarkupBytesPerByte = 32;
inline constexpr size_t kMarkupFrameBytes = 4096;
constexpr size_t markupLimit(size_t textBytes) { return kMarkupFrameBytes + kMarkupBytesPerByte * textBytes; }

/// Writes text (read up to its first ";" or its end) as LaTeX math-mode markup without
/// delimiters: \frac{1}{2}, 1\frac{2}{3}, 2^{-2}, \left( \right), \times, \div, dots over
/// the first and last recurring digit, \ldots for a cut decimal. Parentheses left open are
/// closed with \right. so the markup compiles. Writes at most markupLimit(text.size())
/// bytes (or limit): markup that would be longer stops there with
/// MessageError(Message::TooLarge), what was written before left in out. Otherwise throws
/// only what out throws.
void writeLatex(std::string_view text, std::ostream& out);
void writeLatex(std::string_view text, std::ostream& out, size_t limit);

/// Writes text as one presentation MathML element <math>...</math> (well-formed XML in
/// UTF-8: bytes that are not UTF-8 or not allowed in XML become U+FFFD). Bounded and
/// stopped as writeLatex. Otherwise throws only what out throws.
void writeMathml(std::string_view text, std::ostream& out);
void writeMathml(std::string_view text, std::ostream& out, size_t limit);

/// s as XML character data: markup characters as references, and U+FFFD for bytes that
/// are not UTF-8 and for characters XML does not allow.
std::string xmlEscaped(std::string_view s);

/// The language of a spoken reading.
enum class Reading { Japanese, English };
/// Makes r the reading of writeSpeech and speechOf when none is given (the shell sets the
/// user's language at start; Japanese before).
void setReading(Reading r);
/// The reading set by setReading.
Reading reading();

/// Writes the reading of text for a screen reader. Japanese: 1/2 as 2分の1, 1:2/3 as
/// 1と3分の2, 2^3 as 2の3乗, -5 as マイナス5, 0.1[6] as 0.1、6の循環. English, in the same
/// plain way: 1 over 2, 1 and 2 over 3, 2 to the power 3, minus 5, 0.1, 6 recurring.
/// Operators and parentheses are read as words. Throws only what out throws.
void writeSpeech(std::string_view text, std::ostream& out, Reading r = reading());

/// The reading of writeSpeech as a string.
std::string speechOf(std::string_view text, Reading r = reading());

/// One spoken sentence: words and the full stop of r ("。", "."), started with the word
/// for "=" when equals is set ("イコール、", "equals, "): a line of a working.
std::string spokenSentence(std::string_view words, bool equals, Reading r = reading());

}  // namespace nerova
