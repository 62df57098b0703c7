// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The settings file: window bounds, the recurring option and the input font, kept in
// an INI file in the user's configuration folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/messages.h"

namespace nerova {

/// The window's design bounds (outer, frame included) in pixels at 96 dpi, and the
/// narrowest width it may be given.
inline constexpr int kDesignLeft = 269, kDesignTop = 440, kDesignWidth = 425, kDesignHeight = 196;
inline constexpr int kMinWidth = 200;

/// Settings values are kept in these ranges: a window position or size beyond them
/// would only overflow the arithmetic that places it, and a font beyond them makes a
/// window higher than any screen.
inline constexpr int kMaxCoordinate = 1000000;
inline constexpr int kMaxExtent = 100000;
inline constexpr int kMinFontSize = 1, kMaxFontSize = 72;

/// The settings file keeps colours as 0x00BBGGRR or as 0x80000000 plus a system colour
/// index; index 8 is the window-text colour, the default.
inline constexpr int32_t kWindowTextColor = static_cast<int32_t>(0x80000008u);

/// A colour as the settings file spells it out.
struct Rgb {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

/// The settings value of an explicit colour: 0x00BBGGRR (each part taken modulo 256).
int32_t encodeColor(Rgb color);

/// The explicit colour of a settings value, or nothing for a system colour (bit 31
/// set), which stands for the default text colour.
std::optional<Rgb> decodeColor(int32_t value);

/// What survives a restart. Every field holds the current value before readSettings,
/// which overwrites only the keys present and valid in the file.
struct FormSettings {
    int top = nerova::kDesignTop;
    int left = nerova::kDesignLeft;
    int width = nerova::kDesignWidth;
    int height = nerova::kDesignHeight;
    bool junkan = true;
    std::string fontName;
    int fontSize = 11;
    /// 0x00BBGGRR, or 0x80000000 + a system colour index (8: window text).
    int32_t fontColor = nerova::kWindowTextColor;
    /// [Calc] MaxDigits: the digit budget of one result, 0 for the machine's default.
    /// Read only: a save keeps the key as the user wrote it.
    int64_t maxDigits = 0;
    /// Whether the inputs of the history list are kept across restarts.
    bool keepHistory = true;
};

/// The message of a failed write; its argument is the file's path.
inline constexpr Message kCannotWrite = Message::CannotWritePath;
/// The line on standard error for a settings file over kMaxSettingsBytes, which is
/// neither read nor overwritten; its argument is the file's path.
inline constexpr Message kSettingsTooLarge = Message::SettingsTooLarge;

/// The largest settings file that is read: a thousand times what the program writes, and
/// a bound on the memory a hand-made (or hostile) file can take at start.
inline constexpr size_t kMaxSettingsBytes = size_t{1} << 20;

/// The settings file for a program file: $XDG_CONFIG_HOME/<program name>.ini
/// (~/.config when XDG_CONFIG_HOME is unset or not absolute), the program name being
/// the program file's name without its folder.
std::string settingsPath(const std::string& programPath);

/// The user's home folder: $HOME, else the password database's, else ".".
std::string homeFolder();

/// The folder named by the environment variable (an XDG base directory) when it holds an
/// absolute path, else underHome in the home folder; without a trailing "/".
std::string userFolder(const char* variable, const char* underHome);

/// The program file's name without its folder ("nerova" when it has none).
std::string programName(const std::string& programPath);

/// Writes bytes to a temporary file beside target ("<target>.tmp-PID-N"), flushes it to
/// disk and renames it over target: readers see the old file or the new one, never a
/// part. A symbolic link at target is replaced, not followed. Temporaries of target left
/// by runs that were killed while saving (their process is gone) are removed first. False
/// when the write fails (the temporary file is then removed).
bool replaceFileAtomically(const std::string& target, const std::string& bytes);

/// Reads the file at path into s; a missing file, key or unreadable value keeps the
/// field as it is. Positions are clamped to +-kMaxCoordinate, sizes to 0..kMaxExtent
/// and a positive font size to kMinFontSize..kMaxFontSize. False (and s unchanged) for a
/// file over kMaxSettingsBytes, which is broken: the caller says so on standard error.
/// Never throws.
bool readSettings(const std::string& path, FormSettings& s);

/// Writes s to path atomically (see replaceFileAtomically), changing only the lines of
/// its own keys or adding them: every other line (comments, unknown keys and sections,
/// lines the reader does not understand) is kept byte for byte. A symbolic link at path
/// is replaced by a file of the program's, its target left alone. A file over
/// kMaxSettingsBytes is left as it is (readSettings reported it). Throws
/// std::runtime_error with "<path> に書き込めません" when the file cannot be written or
/// read (an unreadable file would lose its other contents).
void writeSettings(const std::string& path, const FormSettings& s);

/// Reads an integer value as the settings file writes and accepts it: decimal with an
/// optional sign, or hexadecimal after "$", "0x" or "0X" (optionally signed), surrounding
/// blanks ignored. Hexadecimal gives the 32-bit pattern ("$80000008" is -2147483640);
/// a decimal outside the 32-bit range, an empty text or any other byte gives nothing.
std::optional<int32_t> parseProfileInt(std::string_view text);

/// A window's outer bounds.
struct WindowBounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

/// Bounds usable on a screen's available area: a width or height below the minimum
/// or beyond the area is clamped into [minimum, area], then a window reaching past an
/// edge is moved by the least amount that puts it wholly on the area. Bounds already
/// on the area come back unchanged.
WindowBounds fitOnArea(WindowBounds bounds, const WindowBounds& area, int minWidth,
                       int minHeight);

}  // namespace nerova
