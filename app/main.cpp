// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Nerova's entry point. The command-line modes run here without Qt; for the window and
// the render mode this process becomes the window program (app/window.cpp), so that
// `nerova -e 1+1` starts as fast as a plain C program.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include "shell/cli.h"
#include "shell/language.h"
#include "shell/programfile.h"
#include "shell/stdstreams.h"

namespace {

// The running program file with its links resolved, from the kernel (argv[0] may be a
// bare name); empty when the kernel does not say.
std::string runningProgram() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<size_t>(n) >= path.size()) return {};
    path.resize(static_cast<size_t>(n));
    return path;
}

// Replaces this process by the window program, found relative to the program: installed,
// in the private library folder beside bin/; in the build tree, next to the program. It
// keeps the process id, the standard streams, the signals and argv, and takes the program
// file the user started from kProgramFileVariable. Returns only on failure: why.
std::string startWindowProgram(int argc, char** argv) {
    const std::string running = runningProgram();
    const auto slash = running.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : running.substr(0, slash);
    for (const char* relative : {NEROVA_WINDOW_PROGRAM_INSTALLED, NEROVA_WINDOW_PROGRAM_BUILT}) {
        const std::string file = folder + "/" + relative;
        if (access(file.c_str(), F_OK) != 0) continue;
        setenv(nerova::kProgramFileVariable, nerova::programFile(argc > 0 ? argv[0] : "", running).c_str(), 1);
        execv(file.c_str(), argv);
        return file + ": " + std::strerror(errno);
    }
    return "not found beside " + folder;
}

}  // namespace

int main(int argc, char** argv) {
    nerova::setLanguage(nerova::chooseLanguage());
    const nerova::CommandLine cmd = nerova::parseCommandLine(argc, argv);
    if (!nerova::needsWindowProgram(cmd)) return nerova::runCommandLine(cmd);
    const std::string why = startWindowProgram(argc, argv);
    nerova::standardError() << nerova::messagePrefix() << nerova::text(nerova::Message::WindowProgramNotStarted, why) << '\n';
    return 2;
}
