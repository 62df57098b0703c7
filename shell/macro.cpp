// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/macro.h"

#include "engine/utf8.h"
#include "shell/calcowner.h"
#include "shell/identity.h"
#include "shell/language.h"
#include "shell/textcalc.h"

#include <utility>

namespace nerova {

namespace {

// Sets a flag for the lifetime of a scope, also when an exception leaves it.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

bool busNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-';
}

}  // namespace

std::vector<std::string> splitLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t eol = text.find_first_of("\r\n", start);
        if (eol == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, eol - start));
        start = eol + (text[eol] == '\r' && eol + 1 < text.size() && text[eol + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::string serviceName(const std::string& programPath) {
    size_t slash = programPath.find_last_of('/');
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    return name.substr(0, name.find('.'));
}

std::string busName(const std::string& service) {
    std::string element;
    for (size_t i = 0; i < service.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(service[i]);
        // A character of several UTF-8 bytes becomes one "_".
        if (utf8::isContinuation(service[i]) && i > 0 && static_cast<unsigned char>(service[i - 1]) >= 0x80)
            continue;
        element.push_back(busNameChar(static_cast<char>(c)) ? static_cast<char>(c) : '_');
    }
    if (element.empty()) element.push_back('_');
    if (element[0] >= '0' && element[0] <= '9') element[0] = '_';  // no element starts with a digit
    // The program under its own name serves the application's ID (also when the ID's
    // last element is spelt otherwise); a copy under another name serves its own.
    if (service == kProgramName) return kAppId;
    std::string name = kBusPrefix + element;
    if (name.size() > 255) name.resize(255);
    return name;
}

std::string linkBytes(const std::string& service) {
    std::string link = service;
    link.push_back('\0');
    link.append(MacroItem::kTopic);
    link.push_back('\0');
    link.append(MacroItem::kItem);
    link.push_back('\0');
    return link;
}

MacroItem::MacroItem() : lines_(1) {}

std::string MacroItem::text() const { return lines_.empty() ? std::string() : lines_.front(); }

void MacroItem::setText(std::string text) {
    lines_.assign(1, std::move(text));
    changed();
}

std::string MacroItem::data() const {
    std::string out;
    for (const std::string& line : lines_) out.append(line).append("\r\n");
    return out;
}

void MacroItem::poke(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    if (text.size() > kMaxPokeBytes) throw TPokeTooLarge(Message::PokeTooManyBytes);
    // Counted before any line is made: a line costs far more memory than its break.
    size_t lines = 0, dataBytes = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (++lines > kMaxPokeLines) throw TPokeTooLarge(Message::PokeTooManyLines);
    }
    if (!text.empty() && text.back() != '\r' && text.back() != '\n' && ++lines > kMaxPokeLines)
        throw TPokeTooLarge(Message::PokeTooManyLines);
    std::vector<std::string> split = splitLines(text);
    for (const std::string& line : split) dataBytes += line.size() + 2;
    if (fits_ && !fits_(dataBytes)) throw TPokeTooLarge(Message::PokeTooLargeForBus);
    lines_ = std::move(split);
    changed();
}

void MacroItem::maceval(std::string_view command) {
    // Only the first line counts: it is cut out without splitting the rest, which a
    // client may make as long as a message allows.
    command = command.substr(0, command.find('\0'));
    if (command.empty()) return;  // no line to compare: acknowledged, nothing done
    const std::string_view verb = command.substr(0, command.find_first_of("\r\n"));
    std::string (*evaluate)(const std::string&) = nullptr;
    if (verb == "calc")
        evaluate = &nerova::calcText;
    else if (verb == "frac")
        evaluate = &nerova::fracText;
    else if (verb == "tai")
        evaluate = &nerova::taiText;
    else
        return;
    std::string result;
    {
        FlagScope busy(running_);
        // The argument is a copy: events handled during the calculation may change
        // the item, and the calculation must not read lines that are gone.
        const std::string argument = text();
        try {
            result = evaluate(argument);
        } catch (const TCancelledException& e) {
            result = e.what();  // one macro is one calculation: its answer says it was cancelled
        }
    }
    // A reply or signal larger than the bus carries would cost the service its connection.
    if (fits_ && !fits_(result.size() + 2)) result = nerova::text(Message::ResultTooLargeForBus);
    setText(std::move(result));
}

void MacroItem::changed() {
    if (onChange_) onChange_();
}

}  // namespace nerova
