// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The settings file, read and written line by line: a save changes only the lines of
// its own keys (or adds them) and keeps every other line byte for byte, comments, unknown
// keys and sections, and lines the reader does not understand. Section and key names
// are matched without regard to case; a key counts in the first place it appears.
#include "shell/settings.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/utf8.h"

namespace fs = std::filesystem;

namespace nerova {

namespace {

// The file's keys, each named once for reading and writing.
struct Key {
    const char* section;
    const char* name;
};
constexpr const char* kForm = "FORM";
constexpr const char* kFont = "Font";
constexpr Key kTop{kForm, "top"}, kLeft{kForm, "left"}, kWidth{kForm, "width"},
    kHeight{kForm, "height"}, kJunkan{kForm, "junkan"};
constexpr Key kFontName{kFont, "name"}, kFontSize{kFont, "size"}, kFontColor{kFont, "color"};
constexpr Key kMaxDigitsKey{"Calc", "MaxDigits"};
constexpr Key kKeepHistory{"History", "save"};
// A font name longer than this is cut: no font has such a name, and the file keeps it short.
constexpr size_t kMaxText = 2047;

MessageError writeError(const std::string& path) { return MessageError(kCannotWrite, path); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Cuts at most kMaxText bytes without splitting a UTF-8 character.
std::string cutText(std::string_view s) {
    return std::string(utf8::cut(s, kMaxText));
}

enum class FileRead { Read, Missing, Broken };

// Reads a regular file of at most kMaxSettingsBytes (following a symbolic link). Missing:
// no such file, or not a regular file, or not readable; Broken: larger than the cap,
// which is never read into memory.
FileRead readFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FileRead::Missing;
    struct stat st {};
    FileRead result = FileRead::Missing;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        result = FileRead::Read;
        // One byte past the cap tells a file that grew after fstat from one that fits.
        char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                result = FileRead::Missing;
                break;
            }
            if (n == 0) break;
            if (bytes.size() + static_cast<size_t>(n) > kMaxSettingsBytes) {
                result = FileRead::Broken;
                break;
            }
            bytes.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    if (result != FileRead::Read) bytes.clear();
    return result;
}

// The file as lines, each kept with its own line end ("\r\n", "\n", "\r" or none at the
// end), so that a save gives back every line it does not change byte for byte.
class IniText {
public:
    explicit IniText(std::string_view bytes) {
        while (!bytes.empty()) {
            const size_t eol = bytes.find_first_of("\r\n");
            Line line;
            line.text = std::string(bytes.substr(0, eol));
            if (eol == std::string_view::npos) {
                bytes = {};
            } else {
                const size_t endLength = bytes[eol] == '\r' && eol + 1 < bytes.size() && bytes[eol + 1] == '\n' ? 2 : 1;
                line.end = std::string(bytes.substr(eol, endLength));
                bytes.remove_prefix(eol + endLength);
            }
            lines_.push_back(std::move(line));
        }
    }

    /// The value of a key (blanks around it removed), or nothing when it is not there.
    std::optional<std::string_view> value(const Key& key) const {
        const Found f = find(key);
        if (!f.line) return std::nullopt;
        const std::string& text = lines_[*f.line].text;
        return trim(std::string_view(text).substr(text.find('=') + 1));
    }

    /// Sets a key: its line is rewritten with the key as it was spelt, or a new line is
    /// added at the end of its section, or a new section at the end of the file.
    void set(const Key& key, std::string_view value) {
        value = value.substr(0, value.find_first_of("\r\n"));  // a value is one line
        const Found f = find(key);
        if (f.line) {
            std::string& text = lines_[*f.line].text;
            text = text.substr(0, text.find('=') + 1);
            text += value;
            return;
        }
        Line line{std::string(key.name) + "=" + std::string(value), newLineEnd()};
        // The line a new one follows may be the file's last, without a line end: it gets
        // one, or the two would be read as one line.
        if (f.sectionEnd) {
            endLine(*f.sectionEnd - 1);
            lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*f.sectionEnd), std::move(line));
            return;
        }
        if (!lines_.empty()) {
            endLine(lines_.size() - 1);
            lines_.push_back({std::string(), newLineEnd()});
        }
        lines_.push_back({"[" + std::string(key.section) + "]", newLineEnd()});
        lines_.push_back(std::move(line));
    }

    std::string bytes() const {
        std::string out;
        for (const Line& l : lines_) out.append(l.text).append(l.end);
        return out;
    }

private:
    struct Line {
        std::string text;
        std::string end;
    };
    struct Found {
        std::optional<size_t> line;        // the key's line
        std::optional<size_t> sectionEnd;  // after the last key of its section's first place
    };

    // "[name]" (blanks around it allowed) names a section; any other line starting with
    // "[" is not understood and changes nothing.
    static std::optional<std::string_view> sectionName(std::string_view text) {
        const std::string_view t = trim(text);
        if (t.empty() || t.front() != '[') return std::nullopt;
        const size_t close = t.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        return trim(t.substr(1, close - 1));
    }

    // The key of a "key=value" line; comments (";" or "#" first) and lines without "="
    // have none.
    static std::optional<std::string_view> keyName(std::string_view text) {
        const std::string_view t = trim(text);
        if (t.empty() || t.front() == ';' || t.front() == '#') return std::nullopt;
        const size_t eq = text.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        return trim(text.substr(0, eq));
    }

    Found find(const Key& key) const {
        Found f;
        bool inSection = false, firstPlace = false;
        for (size_t i = 0; i < lines_.size(); ++i) {
            const std::string& text = lines_[i].text;
            if (const auto section = sectionName(text)) {
                inSection = sameName(*section, key.section);
                firstPlace = inSection && !f.sectionEnd;
                if (firstPlace) f.sectionEnd = i + 1;
                continue;
            }
            if (!inSection) continue;
            const auto name = keyName(text);
            if (!name) continue;
            if (sameName(*name, key.name)) {
                f.line = i;
                return f;
            }
            if (firstPlace) f.sectionEnd = i + 1;
        }
        return f;
    }

    void endLine(size_t i) {
        if (lines_[i].end.empty()) lines_[i].end = newLineEnd();
    }

    // New lines end as the file's first line does, "\n" in a new file.
    std::string newLineEnd() const {
        return lines_.empty() || lines_.front().end.empty() ? std::string("\n") : lines_.front().end;
    }

    std::vector<Line> lines_;
};

// Unique name of a temporary file beside the target, in the same folder so that the
// final rename stays within one file system.
std::string temporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    return target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

bool writeAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Removes the temporaries of target ("<name>.tmp-PID-N") that a killed run left: those
// whose process no longer exists. Another live run's temporary is its save in progress.
void removeStaleTemporaries(const std::string& target) {
    const fs::path path(target);
    const std::string prefix = path.filename().string() + ".tmp-";
    std::error_code ec;
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string_view rest = std::string_view(name).substr(prefix.size());
        const size_t dash = rest.find('-');
        if (dash == std::string_view::npos) continue;
        auto number = [](std::string_view digits, auto& value) {
            const auto [stop, err] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            return !digits.empty() && err == std::errc() && stop == digits.data() + digits.size();
        };
        pid_t pid = 0;
        unsigned counter = 0;
        if (!number(rest.substr(0, dash), pid) || !number(rest.substr(dash + 1), counter) || pid <= 0)
            continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH) ::unlink(it->path().c_str());
    }
}

// Writes bytes to a temporary file, flushes it to disk and renames it over target:
// readers see the old file or the new one, never a part of either.
bool replaceFile(const std::string& target, const std::string& bytes,
                 std::optional<mode_t> mode) {
    removeStaleTemporaries(target);
    std::string temp;
    int fd = -1;
    // A name left over by a crashed run (process ids come round again) is skipped.
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = temporaryName(target);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    if (ok && mode) ok = ::fchmod(fd, *mode) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; a folder that refuses to sync loses nothing.
    std::string folder = fs::path(target).parent_path().string();
    if (folder.empty()) folder = ".";
    if (int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void readInt(const IniText& ini, const Key& key, int& field) {
    if (const auto v = ini.value(key))
        if (auto n = parseProfileInt(*v)) field = *n;
}

}  // namespace

std::optional<int32_t> parseProfileInt(std::string_view text) {
    std::string_view s = trim(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return std::nullopt;
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    if (base == 16) {
        // Hexadecimal is a 32-bit pattern: "$FFFFFFFF" is -1.
        if (magnitude > 0xFFFFFFFFu) return std::nullopt;
        uint32_t bits = static_cast<uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        return static_cast<int32_t>(bits);
    }
    constexpr uint64_t kMax = std::numeric_limits<int32_t>::max();
    if (magnitude > kMax + (negative ? 1 : 0)) return std::nullopt;
    int64_t value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return static_cast<int32_t>(value);
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return ".";
}

std::string userFolder(const char* variable, const char* underHome) {
    std::string folder;
    if (const char* xdg = std::getenv(variable); xdg && xdg[0] == '/')
        folder = xdg;
    else
        folder = homeFolder() + "/" + underHome;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string programName(const std::string& programPath) {
    std::string name = fs::path(programPath).filename().string();
    if (name.empty() || name == "." || name == "..") name = "nerova";
    return name;
}

bool replaceFileAtomically(const std::string& target, const std::string& bytes) {
    return replaceFile(target, bytes, std::nullopt);
}

std::string settingsPath(const std::string& programPath) {
    return nerova::userFolder("XDG_CONFIG_HOME", ".config") + "/" + nerova::programName(programPath) + ".ini";
}

bool readSettings(const std::string& path, FormSettings& s) {
    try {
        std::string bytes;
        const FileRead read = readFile(path, bytes);
        if (read != FileRead::Read) return read != FileRead::Broken;
        const IniText ini(bytes);
        readInt(ini, kTop, s.top);
        readInt(ini, kLeft, s.left);
        readInt(ini, kWidth, s.width);
        readInt(ini, kHeight, s.height);
        s.top = std::clamp(s.top, -nerova::kMaxCoordinate, nerova::kMaxCoordinate);
        s.left = std::clamp(s.left, -nerova::kMaxCoordinate, nerova::kMaxCoordinate);
        s.width = std::clamp(s.width, 0, nerova::kMaxExtent);
        s.height = std::clamp(s.height, 0, nerova::kMaxExtent);
        int junkan = s.junkan ? 1 : 0;
        readInt(ini, kJunkan, junkan);
        s.junkan = junkan != 0;
        if (const auto name = ini.value(kFontName)) s.fontName = cutText(*name);
        readInt(ini, kFontSize, s.fontSize);
        if (s.fontSize > 0) s.fontSize = std::clamp(s.fontSize, nerova::kMinFontSize, nerova::kMaxFontSize);
        int color = s.fontColor;
        readInt(ini, kFontColor, color);
        s.fontColor = color;
        if (const auto digits = ini.value(kMaxDigitsKey)) {
            int64_t n = 0;
            const auto [end, ec] = std::from_chars(digits->data(), digits->data() + digits->size(), n);
            if (ec == std::errc() && end == digits->data() + digits->size() && n > 0) s.maxDigits = n;
        }
        int keep = s.keepHistory ? 1 : 0;
        readInt(ini, kKeepHistory, keep);
        s.keepHistory = keep != 0;
    } catch (const std::exception&) {
        // Out of memory: the settings stay as they were.
    }
    return true;
}

void writeSettings(const std::string& path, const FormSettings& s) {
    const MessageError failed = writeError(path);
    std::string old;
    std::optional<mode_t> mode;
    struct stat st {};
    // A symbolic link is replaced by the program's own file, never written through: its
    // target may be any file of the user's (or, run as root, of the system's), and its
    // contents are not taken over either.
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // Nothing to read or keep.
        } else if (!S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) {
            // A file made read-only is the user's wish not to have it changed.
            throw failed;
        } else {
            switch (readFile(path, old)) {
            case FileRead::Read: break;
            case FileRead::Broken: return;  // not the program's file: left as it is
            case FileRead::Missing: throw failed;  // unreadable: its contents would be lost
            }
            mode = st.st_mode & 07777;
        }
    } else if (errno != ENOENT) {
        throw failed;
    }

    IniText ini(old);
    ini.set(kTop, std::to_string(s.top));
    ini.set(kLeft, std::to_string(s.left));
    ini.set(kWidth, std::to_string(s.width));
    ini.set(kHeight, std::to_string(s.height));
    ini.set(kJunkan, s.junkan ? "1" : "0");
    ini.set(kFontName, s.fontName);
    ini.set(kFontSize, std::to_string(s.fontSize));
    ini.set(kFontColor, std::to_string(s.fontColor));
    ini.set(kKeepHistory, s.keepHistory ? "1" : "0");

    std::error_code ec;
    fs::path folder = fs::path(path).parent_path();
    if (!folder.empty()) {
        fs::create_directories(folder, ec);
        if (ec) throw failed;
    }
    if (!replaceFile(path, ini.bytes(), mode)) throw failed;
}

int32_t encodeColor(Rgb c) {
    return static_cast<int32_t>(static_cast<uint32_t>(c.red & 0xFF) | static_cast<uint32_t>(c.green & 0xFF) << 8 |
                                static_cast<uint32_t>(c.blue & 0xFF) << 16);
}

std::optional<Rgb> decodeColor(int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    if (u & 0x80000000u) return std::nullopt;  // system colours: the text colour is the only one used
    return Rgb{static_cast<int>(u & 0xFF), static_cast<int>(u >> 8 & 0xFF), static_cast<int>(u >> 16 & 0xFF)};
}

WindowBounds fitOnArea(WindowBounds b, const WindowBounds& area, int minWidth, int minHeight) {
    auto fit = [](int& pos, int& size, int areaPos, int areaSize, int minSize) {
        size = std::clamp(size, std::min(minSize, areaSize), std::max(areaSize, 0));
        // 64-bit sums: a position near INT_MAX must not overflow.
        int64_t end = int64_t{pos} + size, areaEnd = int64_t{areaPos} + areaSize;
        if (end > areaEnd) pos = static_cast<int>(areaEnd - size);
        if (pos < areaPos) pos = areaPos;
    };
    fit(b.left, b.width, area.left, area.width, minWidth);
    fit(b.top, b.height, area.top, area.height, minHeight);
    return b;
}

}  // namespace nerova
