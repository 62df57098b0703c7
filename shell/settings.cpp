// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The settings file, read and written with SimpleIni: it keeps the sections, keys and
// comments it does not know, matches names without regard to case (CSimpleIniA is the
// case-insensitive flavour) and leaves the bytes of values alone (SI_NO_CONVERSION).
#include "shell/settings.h"

#include <SimpleIni.h>

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

constexpr const char* kForm = "FORM";
constexpr const char* kFont = "Font";
constexpr const char* kCalc = "Calc";
constexpr const char* kHistory = "History";
// A font name longer than this is cut: no font has such a name, and the file keeps it short.
constexpr size_t kMaxText = 2047;

MessageError writeError(const std::string& path) { return MessageError(kCannotWrite, path); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Cuts at most kMaxText bytes without splitting a UTF-8 character.
std::string cutText(std::string_view s) {
    return std::string(utf8::cut(s, kMaxText));
}

bool readFile(const std::string& path, std::string& bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void configure(CSimpleIniA& ini) {
    ini.SetSpaces(false);   // "key=value", without blanks around "="
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetQuotes(false);
}

// SimpleIni keeps comments only in front of a section or key; the comment lines that
// end a file would be dropped on save, so they are carried over by hand. Lines end where
// SimpleIni ends them, at CR as well as LF: a comment line is never one that SimpleIni
// reads as a key.
std::string trailingComments(const std::string& bytes) {
    std::vector<std::string_view> lines;
    std::string_view rest(bytes);
    while (!rest.empty()) {
        size_t eol = rest.find_first_of("\r\n");
        lines.push_back(rest.substr(0, eol));
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    }
    size_t first = lines.size();
    bool anyComment = false;
    while (first > 0) {
        std::string_view t = trim(lines[first - 1]);
        if (!t.empty() && t.front() != ';' && t.front() != '#') break;
        anyComment = anyComment || !t.empty();
        --first;
    }
    // A file of comments alone is kept by SimpleIni as its leading comment.
    if (!anyComment || first == 0) return {};
    std::string out;
    for (size_t i = first; i < lines.size(); ++i) {
        const std::string_view t = lines[i];
        if (trim(t).empty()) continue;
        out.append(t).push_back('\n');
    }
    return out;
}

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

void readInt(const CSimpleIniA& ini, const char* section, const char* key, int& field) {
    if (const char* v = ini.GetValue(section, key, nullptr))
        if (auto n = parseProfileInt(v)) field = *n;
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

std::string programFile(const std::string& argv0, const std::string& running) {
    struct stat self {};
    if (argv0.empty() || ::stat(running.c_str(), &self) != 0) return running;
    auto same = [&self](const std::string& candidate) {
        struct stat st {};
        return ::stat(candidate.c_str(), &st) == 0 && st.st_dev == self.st_dev &&
               st.st_ino == self.st_ino;
    };
    if (argv0.find('/') != std::string::npos) return same(argv0) ? argv0 : running;
    // Started by name: the shell found it in PATH, in the first folder that holds it.
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "";
    while (true) {
        const size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + argv0;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return same(candidate) ? candidate : running;
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return running;
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

void readSettings(const std::string& path, FormSettings& s) {
    try {
        std::string bytes;
        if (!readFile(path, bytes)) return;
        CSimpleIniA ini;
        configure(ini);
        if (ini.LoadData(bytes) < 0) return;
        readInt(ini, kForm, "top", s.top);
        readInt(ini, kForm, "left", s.left);
        readInt(ini, kForm, "width", s.width);
        readInt(ini, kForm, "height", s.height);
        s.top = std::clamp(s.top, -nerova::kMaxCoordinate, nerova::kMaxCoordinate);
        s.left = std::clamp(s.left, -nerova::kMaxCoordinate, nerova::kMaxCoordinate);
        s.width = std::clamp(s.width, 0, nerova::kMaxExtent);
        s.height = std::clamp(s.height, 0, nerova::kMaxExtent);
        int junkan = s.junkan ? 1 : 0;
        readInt(ini, kForm, "junkan", junkan);
        s.junkan = junkan != 0;
        if (const char* name = ini.GetValue(kFont, "name", nullptr)) s.fontName = cutText(name);
        readInt(ini, kFont, "size", s.fontSize);
        if (s.fontSize > 0) s.fontSize = std::clamp(s.fontSize, nerova::kMinFontSize, nerova::kMaxFontSize);
        int color = s.fontColor;
        readInt(ini, kFont, "color", color);
        s.fontColor = color;
        if (const char* v = ini.GetValue(kCalc, "MaxDigits", nullptr)) {
            const std::string_view digits = trim(v);
            int64_t n = 0;
            const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
            if (ec == std::errc() && end == digits.data() + digits.size() && n > 0) s.maxDigits = n;
        }
        int keep = s.keepHistory ? 1 : 0;
        readInt(ini, kHistory, "save", keep);
        s.keepHistory = keep != 0;
    } catch (const std::exception&) {
        // Out of memory on an absurd file: the settings stay as they were.
    }
}

void writeSettings(const std::string& path, const FormSettings& s) {
    const MessageError failed = writeError(path);
    std::error_code ec;
    // Write through a symbolic link to the file it names, keeping the link.
    std::string target = path;
    if (fs::is_symlink(path, ec)) {
        fs::path resolved = fs::weakly_canonical(path, ec);
        if (ec) throw failed;
        target = resolved.string();
    }

    std::string old;
    std::optional<mode_t> mode;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        // A file we cannot read would lose its other contents; one made read-only
        // is the user's wish not to have it changed.
        if (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0 ||
            !readFile(target, old))
            throw failed;
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        throw failed;
    }

    CSimpleIniA ini;
    configure(ini);
    if (!old.empty() && ini.LoadData(old) < 0) throw failed;
    auto put = [&](const char* section, const char* key, const std::string& value) {
        if (ini.SetValue(section, key, value.c_str()) < 0) throw failed;
    };
    put(kForm, "top", std::to_string(s.top));
    put(kForm, "left", std::to_string(s.left));
    put(kForm, "width", std::to_string(s.width));
    put(kForm, "height", std::to_string(s.height));
    put(kForm, "junkan", s.junkan ? "1" : "0");
    put(kFont, "name", s.fontName);
    put(kFont, "size", std::to_string(s.fontSize));
    put(kFont, "color", std::to_string(s.fontColor));
    put(kHistory, "save", s.keepHistory ? "1" : "0");

    std::string bytes;
    if (ini.Save(bytes) < 0) throw failed;
    bytes += trailingComments(old);

    fs::path folder = fs::path(target).parent_path();
    if (!folder.empty()) {
        fs::create_directories(folder, ec);
        if (ec) throw failed;
    }
    removeStaleTemporaries(target);
    if (!replaceFile(target, bytes, mode)) throw failed;
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
