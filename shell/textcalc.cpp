// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/textcalc.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>

#include "engine/Eval.h"
#include "engine/Stream.h"
#include "engine/lrat.h"
#include "engine/utf8.h"
#include "shell/calcowner.h"
#include "shell/language.h"

namespace nerova {

namespace {

std::string Write(const TLoRational& r, ResultForm form) {
    switch (form) {
    case ResultForm::Improper: return r.ToImproperText();
    case ResultForm::Mixed: return r.ToMixedColonText();
    case ResultForm::Plus: return r.ToMixedText();
    case ResultForm::Float: return r.ToFloatText();
    case ResultForm::Decimal: return r.ToDecimalText(false);
    case ResultForm::Recurring: return r.ToDecimalText(true);
    }
    return r.ToImproperText();
}

}  // namespace

namespace {

// Evaluates text (";" is appended here) and hands the value and the length of text read
// to use, which may throw too; false with the failure's message in failure (empty for an
// exception that is no std::exception). TCancelledException passes on.
template <class Use>
bool WithValue(std::string_view text, std::string& failure, const Use& use) {
    try {
        std::string source;
        source.reserve(text.size() + 1);
        source += text;
        source += ';';
        StringStream s(std::move(source));
        TLoRational r;
        EvalExpression(r, s);
        use(r, static_cast<std::size_t>(s.Position() - 1));
        return true;
    } catch (const TCancelledException&) {
        throw;  // ends the whole run this text belongs to, never one text's result
    } catch (const std::exception& e) {
        failure = messageOf(e);
    } catch (...) {
        failure.clear();
    }
    return false;
}

}  // namespace

TextResult evalText(std::string_view text, ResultForm form) {
    TextResult result;
    std::string failure;
    result.ok = WithValue(text, failure, [&](const TLoRational& r, std::size_t readTo) {
        result.text = Write(r, form);
        result.unused = unusedText(text, readTo);
    });
    if (!result.ok) result = {false, std::move(failure), {}};
    return result;
}

void appendCalcText(std::string& out, std::string_view text) {
    const std::size_t mark = out.size();
    std::string failure;
    if (!WithValue(text, failure, [&](const TLoRational& r, std::size_t) { r.AppendImproperText(out); })) {
        out.resize(mark);  // a text cut short by a failure goes whole
        out += failure;
    }
}

namespace {

/// The ASCII form of the full-width character whose UTF-8 form starts text at i, with
/// its length in bytes; 0 when there is none.
char asciiFormAt(std::string_view text, std::size_t i, std::size_t& length) {
    const auto byte = [&](std::size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
    const unsigned b0 = byte(0);
    if (b0 == 0xC3 && (byte(1) == 0x97 || byte(1) == 0xB7)) {  // U+00D7 ×, U+00F7 ÷
        length = 2;
        return byte(1) == 0x97 ? '*' : '/';
    }
    if (b0 == 0xE2 && byte(1) == 0x88 && byte(2) == 0x92) {  // U+2212 −
        length = 3;
        return '-';
    }
    if (b0 == 0xE3 && byte(1) == 0x80 && byte(2) == 0x80) {  // U+3000, the ideographic space
        length = 3;
        return ' ';
    }
    if (b0 != 0xEF) return 0;
    // U+FF01..U+FF5E are ASCII 0x21..0x7E shifted: EF BC 81..BF (0x21..0x3F), EF BD 80..9E.
    unsigned ascii = 0;
    if (byte(1) == 0xBC && byte(2) >= 0x81 && byte(2) <= 0xBF) ascii = byte(2) - 0x81 + 0x21;
    else if (byte(1) == 0xBD && byte(2) >= 0x80 && byte(2) <= 0x9E) ascii = byte(2) - 0x80 + 0x60;
    static constexpr std::string_view kTaken = "0123456789+-*/^().:[]";
    if (ascii == 0 || kTaken.find(static_cast<char>(ascii)) == std::string_view::npos) return 0;
    length = 3;
    return static_cast<char>(ascii);
}

}  // namespace

std::string asciiForms(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        // Only lead bytes of the forms above start a search: digits pass at once.
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const char ascii = c < 0xC3 ? 0 : asciiFormAt(text, i, length);
        if (ascii != 0) {
            out += ascii;
            i += length;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::optional<std::string> pastedText(std::string_view text, std::size_t limit) {
    text = text.substr(0, text.find('\0'));
    std::string bytes;
    bytes.reserve(std::min(text.size(), limit + 1));
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CR LF: one break
        bytes += c == '\r' || c == '\n' ? ' ' : c;
    }
    bytes = asciiForms(bytes);
    if (bytes.size() > limit) return std::nullopt;
    return bytes;
}

std::string pasteTooLongNotice(std::size_t limit) {
    return text(Message::PasteTooLongNotice, groupedDigits(limit));
}

std::string fractionExponentNotice(std::string_view text) {
    const auto digit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    for (std::size_t caret = text.find('^'); caret != std::string_view::npos; caret = text.find('^', caret + 1)) {
        std::size_t i = caret + 1;
        while (i < text.size() && (text[i] == ' ' || text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t first = i;
        while (digit(i)) ++i;
        if (i == first || i >= text.size() || text[i] != '/' || !digit(i + 1)) continue;
        std::size_t end = i + 1;
        while (digit(end)) ++end;
        const std::string literal(text.substr(first, end - first));
        // The user's own text with blanks around that slash, when it is short enough to read.
        constexpr std::size_t kShown = 40;
        const std::string written = text.size() <= kShown
                                        ? std::string(text.substr(0, i)) + " / " + std::string(text.substr(i + 1))
                                        : "2^100 / 3^50";
        return nerova::text(Message::FractionExponentNotice, literal, written);
    }
    return {};
}

std::string unusedText(std::string_view text, std::size_t readTo) {
    if (readTo >= text.size()) return {};
    text.remove_prefix(readTo);
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::string groupedDigits(std::size_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string lengthNotice(std::string_view improper) {
    if (!improper.empty() && improper.front() == '-') improper.remove_prefix(1);
    const auto slash = improper.find('/');
    const std::size_t numerator = std::min(slash, improper.size());
    const std::size_t denominator = slash == std::string_view::npos ? 1 : improper.size() - slash - 1;
    if (numerator + denominator <= kLongResultDigits) return {};
    return text(Message::LengthNotice, groupedDigits(numerator), groupedDigits(denominator));
}

std::string unusedNotice(std::string_view unused) {
    // A long tail (a pasted page, say) is named by its beginning: the notice is one line.
    constexpr std::size_t kNamed = 40;
    std::string named(unused.substr(0, std::min(unused.size(), kNamed + 1)));
    if (named.size() > kNamed) {
        named.resize(utf8::cut(named, kNamed).size());
        named += utf8::kEllipsis;
    }
    return text(Message::UnusedNotice, named);
}

std::string calcText(const std::string& text) { return evalText(text, ResultForm::Improper).text; }
std::string fracText(const std::string& text) { return evalText(text, ResultForm::Float).text; }
std::string taiText(const std::string& text) { return evalText(text, ResultForm::Plus).text; }

}  // namespace nerova
