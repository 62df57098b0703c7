// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Nerova's entry point. The command-line modes run here without Qt; the window and the
// render mode are in a shared module loaded only for them (see guimodule.h), so that
// `nerova -e 1+1` starts as fast as a plain C program.
#include <dlfcn.h>
#include <unistd.h>

#include <ostream>
#include <string>

#include "app/guimodule.h"
#include "shell/cli.h"
#include "shell/language.h"
#include "shell/stdstreams.h"

namespace {

// The folder of the running program, from the kernel (argv[0] may be a bare name).
std::string programFolder() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<size_t>(n) >= path.size()) return ".";
    path.resize(static_cast<size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The module is found relative to the program: installed, in the private library folder
// beside bin/; in the build tree, next to the program.
nerova::GuiMain loadGui(std::string& why) {
    const std::string folder = programFolder();
    for (const char* relative : {NEROVA_GUI_MODULE_INSTALLED, NEROVA_GUI_MODULE_BUILT}) {
        const std::string file = folder + "/" + relative;
        if (access(file.c_str(), F_OK) != 0) continue;
        void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            why = dlerror();
            return nullptr;
        }
        if (void* entry = dlsym(module, nerova::kGuiMainSymbol)) return reinterpret_cast<nerova::GuiMain>(entry);
        why = file + ": no " + nerova::kGuiMainSymbol;
        return nullptr;
    }
    why = std::string("not found beside ") + folder;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    nerova::setLanguage(nerova::chooseLanguage());
    nerova::CommandLine cmd = nerova::parseCommandLine(argc, argv);
    if (!nerova::needsWindowModule(cmd)) return nerova::runCommandLine(cmd);
    if (!nerova::takeRenderText(cmd, nerova::standardInput(), nerova::standardError())) return 2;
    std::string why;
    const nerova::GuiMain gui = loadGui(why);
    if (!gui) {
        nerova::standardError() << nerova::messagePrefix() << nerova::text(nerova::Message::WindowModuleNotLoaded, why) << '\n';
        return 2;
    }
    return gui(argc, argv, cmd);
}
