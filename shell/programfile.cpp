// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Apart from the settings file's code, so that the static `nerova`, which needs only this,
// links no user database look-up.
#include "shell/programfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <string_view>

namespace nerova {

namespace {

// Written once, at the window program's start, before any thread reads it.
std::string HandedProgramFile;

}  // namespace

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

void takeHandedProgramFile() {
    const char* handed = std::getenv(kProgramFileVariable);
    HandedProgramFile = handed ? handed : "";
    ::unsetenv(kProgramFileVariable);
}

std::string startedProgramFile(const std::string& argv0, const std::string& running) {
    return HandedProgramFile.empty() ? programFile(argv0, running) : HandedProgramFile;
}

}  // namespace nerova
