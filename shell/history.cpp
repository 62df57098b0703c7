// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/history.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "shell/commands.h"
#include "shell/settings.h"

namespace nerova {

namespace fs = std::filesystem;

namespace {

// The first line names the format, so that any other file is taken for broken, not read.
constexpr std::string_view kHeader = "# nerova history 1";
// Ten inputs of any sensible length fit; a bigger file is not read into memory.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{64} << 20;

// One entry a line: a line end or backslash inside an input is written as an escape.
std::string escaped(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

bool unescaped(std::string_view line, std::string& out) {
    out.clear();
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\') {
            out += line[i];
            continue;
        }
        if (++i == line.size()) return false;
        switch (line[i]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return false;
        }
    }
    return true;
}

}  // namespace

std::string historyPath(const std::string& programPath) {
    return userFolder("XDG_STATE_HOME", ".local/state") + "/" + programName(programPath) + "/history";
}

std::vector<std::string> loadHistory(const std::string& path, size_t maxEntries) {
    try {
        std::error_code ec;
        if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) > kMaxFileBytes || ec) return {};
        std::ifstream in(path, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) return {};
        std::string_view rest(bytes);
        std::vector<std::string> entries;
        bool header = true;
        while (!rest.empty()) {
            const size_t eol = rest.find('\n');
            if (eol == std::string_view::npos) return {};  // cut short: not a file this program wrote
            const std::string_view line = rest.substr(0, eol);
            rest.remove_prefix(eol + 1);
            if (header) {
                if (line != kHeader) return {};
                header = false;
                continue;
            }
            std::string entry;
            if (!unescaped(line, entry) || entry.find('\0') != std::string::npos) return {};
            if (entries.size() < maxEntries) entries.push_back(std::move(entry));
        }
        return entries;
    } catch (const std::exception&) {
        return {};  // out of memory on an absurd file: start empty
    }
}

void saveHistory(const std::string& path, const std::vector<std::string>& entries) {
    std::string bytes(kHeader);
    bytes += '\n';
    for (const std::string& e : entries) bytes += escaped(e) + '\n';
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    if (!replaceFileAtomically(path, bytes)) throw MessageError(kCannotWrite, path);
}

void forgetHistory(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

void restoreHistory(const std::string& path, TCalcCommands& commands) {
    const std::vector<std::string> entries = loadHistory(path, TCalcCommands::kMaxHistory);
    // Each addition goes to the top: the oldest first.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) commands.addHistory(*it);
}

void keepHistory(const std::string& path, const TCalcCommands& commands) { saveHistory(path, commands.history()); }

}  // namespace nerova
