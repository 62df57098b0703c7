// The settings file: window bounds, the recurring option and the input font, kept in
// an INI file in the user's configuration folder.
#pragma once

#include <cstdint>
#include <string>

/// What survives a restart. Every field holds the current value before readSettings,
/// which overwrites only the keys present and valid in the file.
struct FormSettings {
    int top = 440;
    int left = 269;
    int width = 425;
    int height = 196;
    bool junkan = true;
    std::string fontName;
    int fontSize = 11;
    /// 0x00BBGGRR, or 0x80000000 + a system colour index (8: window text).
    int32_t fontColor = static_cast<int32_t>(0x80000008u);
};

/// The settings file for a program file: $XDG_CONFIG_HOME/<program name>.ini
/// (~/.config when XDG_CONFIG_HOME is unset or not absolute), the program name being
/// the program file's name without its folder.
std::string settingsPath(const std::string& programPath);

/// Reads the file at path into s; a missing file, key or unreadable value keeps the
/// field as it is. Never throws.
void readSettings(const std::string& path, FormSettings& s);

/// Writes s to path, keeping the file's other sections, keys and comments, atomically
/// (temporary file in the same folder, then rename). Throws std::runtime_error with
/// "<path> に書き込めません" when the file cannot be written.
void writeSettings(const std::string& path, const FormSettings& s);
