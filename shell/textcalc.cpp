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

TextResult evalText(const std::string& text, ResultForm form) {
    try {
        std::string source;
        source.reserve(text.size() + 1);
        source += text;
        source += ';';
        StringStream s(std::move(source));
        TLoRational r;
        EvalExpression(r, s);
        const auto readTo = static_cast<std::size_t>(s.Position() - 1);
        return {true, Write(r, form), unusedText(text, readTo)};
    } catch (const TCancelledException&) {
        throw;  // ends the whole run this text belongs to, never one text's result
    } catch (const std::exception& e) {
        return {false, messageOf(e), {}};
    } catch (...) {
        return {false, std::string(), {}};
    }
}

std::string pastedText(std::string_view text, std::size_t limit) {
    text = text.substr(0, text.find('\0'));
    std::string bytes;
    bytes.reserve(std::min(text.size(), limit + 1));
    for (std::size_t i = 0; i < text.size() && bytes.size() <= limit; ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CR LF: one break
        bytes += c == '\r' || c == '\n' ? ' ' : c;
    }
    bytes.resize(utf8::cut(bytes, limit).size());
    return bytes;
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
