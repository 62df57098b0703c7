// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Forward character stream with one character of look-ahead and one step back.
#pragma once

#include <cassert>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/messages.h"

/// Raised when a stream is read past its end or stepped back before its start.
class TStreamException : public nerova::MessageError {
public:
    using nerova::MessageError::MessageError;
};

inline constexpr nerova::Message kEndOfStream = nerova::Message::EndOfStream;
inline constexpr nerova::Message kBeginningOfStream = nerova::Message::BeginningOfStream;

/// Abstract character stream; every reader of text reads through it.
/// The base bodies are placeholders: ReadChar gives 'x', AtEnd is true,
/// StepBack does nothing, PeekChar is ReadChar followed by StepBack.
class TInputStream {
public:
    virtual ~TInputStream() = default;
    /// Returns the next character and moves past it; throws TStreamException at the end.
    virtual char ReadChar();
    /// Returns the next character without moving; throws TStreamException at the end.
    virtual char PeekChar();
    /// True when no character is left. Never throws.
    virtual bool AtEnd();
    /// Makes the last character read the next one again; throws TStreamException at the start.
    virtual void StepBack();
    /// Appends the run of ASCII digits from here to out and moves past it. A stream over a
    /// whole text overrides it to take a long run (a result's millions of digits) at once.
    virtual void ReadDigits(std::string& out) {
        while (!AtEnd() && PeekChar() >= '0' && PeekChar() <= '9') out += ReadChar();
    }
};

/// Stream over its own copy of a text.
/// Invariant: 1 <= Pos <= Text.size() + 1; the stream is at its end when Pos > Text.size().
class StringStream final : public TInputStream {
public:
    /// Copies s; Pos starts at 1.
    explicit StringStream(std::string s) : Text(std::move(s)) {}

    char ReadChar() override {
        if (Pos > static_cast<int32_t>(Text.size())) Throw(kEndOfStream);
        return Text[static_cast<size_t>(Pos++ - 1)];
    }
    char PeekChar() override {
        if (Pos > static_cast<int32_t>(Text.size())) Throw(kEndOfStream);
        return Text[static_cast<size_t>(Pos - 1)];
    }
    bool AtEnd() override { return Pos > static_cast<int32_t>(Text.size()); }
    void StepBack() override {
        if (Pos <= 1) Throw(kBeginningOfStream);
        --Pos;
    }

    /// The 1-based index of the next character to read.
    int32_t Position() const { return Pos; }
    /// Moves to the 1-based index pos, 1 <= pos <= Text.size() + 1 (for readers that
    /// scan GetText() themselves).
    void SetPosition(int32_t pos) {
        assert(pos >= 1 && pos <= static_cast<int32_t>(Text.size()) + 1);
        Pos = pos;
    }
    /// The stream's text.
    const std::string& GetText() const { return Text; }

private:
    // Out of line: the parser inlines the reads above once per token, and a throw written
    // into each costs every call the saving and restoring of registers.
    [[noreturn]] static void Throw(nerova::Message m);

    const std::string Text;
    int32_t Pos = 1;
};
