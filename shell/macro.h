// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The macro service's data item and macros, free of any window or bus: other programs
// poke an expression into the item "NEROVA", execute "calc", "frac" or "tai" and read
// the result back. The D-Bus adaptor (shell/qt/ddeservice.h) only carries the calls.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/messages.h"
#include "shell/batch.h"

namespace nerova {

/// Splits text into lines at every "\r\n", "\r" or "\n"; a break at the very end adds
/// no line, so "" gives no line and "a\n" gives one. Text after a null byte is ignored.
std::vector<std::string> splitLines(std::string_view text);

/// The service name of a program file: its name without the folder and without
/// everything from its first "." on ("/opt/x.y.bin" gives "x").
std::string serviceName(const std::string& programPath);

/// The well-known bus name for a service name: the application's ID (kAppId) for the
/// program's own name, else kBusPrefix ("org.nerova.") followed by the name with every
/// character a bus name does not allow (and a leading digit) replaced by "_"; an empty
/// name becomes "_". At most 255 bytes, as the bus requires.
std::string busName(const std::string& service);

/// The bytes of a link to the item: service name, "\0", "DDE", "\0", "NEROVA", "\0".
std::string linkBytes(const std::string& service);

/// The most a poke may hold: bytes (the longest line the batch run reads) and lines.
inline constexpr size_t kMaxPokeBytes = kMaxLineBytes;
inline constexpr size_t kMaxPokeLines = 10000;

/// A poke refused: over kMaxPokeBytes or kMaxPokeLines (Message::PokeTooManyBytes,
/// PokeTooManyLines), or item data the bus cannot carry (PokeTooLargeForBus). The item is
/// left as it was.
class TPokeTooLarge : public MessageError {
public:
    using MessageError::MessageError;
};

/// The data item "NEROVA" and the macros that work on it.
/// Invariants: the item starts with one empty line; every change of its lines (a poke
/// or a macro) is followed by one call of the change handler; while a macro calculates,
/// running() is true.
class MacroItem {
public:
    static constexpr std::string_view kItem = "NEROVA";
    static constexpr std::string_view kTopic = "DDE";

    using ChangeHandler = std::function<void()>;

    MacroItem();

    /// The lines, first line at index 0.
    const std::vector<std::string>& lines() const { return lines_; }

    /// The first line, or the empty text when the item holds no line.
    std::string text() const;

    /// Replaces all lines by the one line text, then announces the change.
    void setText(std::string text);

    /// The data as clients read it: every line followed by "\r\n".
    std::string data() const;

    /// Replaces the lines by those of text (split as splitLines does) and announces it.
    /// Throws TPokeTooLarge, leaving the item as it was, for a text over kMaxPokeBytes or
    /// kMaxPokeLines (counted before any line is made), or whose data the size check refuses.
    void poke(std::string_view text);

    /// Tells whether data of a number of bytes can be delivered (a reply or signal the
    /// bus carries); by default everything can.
    using SizeCheck = std::function<bool(size_t dataBytes)>;
    void setSizeCheck(SizeCheck check) { fits_ = std::move(check); }

    /// Runs the macro named by the command's first line: "calc", "frac" or "tai",
    /// compared exactly; anything else, or a command with no line, does nothing. The
    /// item's text becomes the result or the failure message (Message::ResultTooLargeForBus,
    /// in the current language, for a result the size check refuses); never throws for a calculation's failure.
    void maceval(std::string_view command);

    /// True while a macro calculates (the calculation may let other events run; a
    /// cancellation thrown by the message pump makes the cancellation message the result).
    bool running() const { return running_; }

    /// Called after every change of the lines; replaces the previous handler.
    void setChangeHandler(ChangeHandler handler) { onChange_ = std::move(handler); }

private:
    void changed();

    std::vector<std::string> lines_;
    ChangeHandler onChange_;
    SizeCheck fits_;
    bool running_ = false;
};

}  // namespace nerova
