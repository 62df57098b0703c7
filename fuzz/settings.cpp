// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The settings reader: any file is read without a fault, and what is read is written and
// read back unchanged (the write keeps the file's other contents).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

#include "shell/settings.h"

using namespace nerova;  // the code under test

namespace {

// A folder of this process in memory: a save flushes its file to disk, which on a real
// disk would make every input cost milliseconds.
std::string Folder() {
    static const std::string folder = [] {
        std::string f = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                        std::string("/nerova-fuzz-settings-") + std::to_string(getpid());
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

bool Same(const FormSettings& a, const FormSettings& b) {
    return a.top == b.top && a.left == b.left && a.width == b.width && a.height == b.height &&
           a.junkan == b.junkan && a.fontName == b.fontName && a.fontSize == b.fontSize &&
           a.fontColor == b.fontColor && a.maxDigits == b.maxDigits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    parseProfileInt(bytes);
    const std::string path = Folder() + "/nerova.ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(size));
    FormSettings s;
    readSettings(path, s);
    try {
        writeSettings(path, s);
    } catch (const std::exception&) {
        return 0;  // a file the reader could not take apart is not overwritten
    }
    FormSettings back;
    readSettings(path, back);
    if (!Same(s, back)) {
        std::fprintf(stderr, "written and read back differently: font '%s' / '%s'\n",
                     s.fontName.c_str(), back.fontName.c_str());
        std::abort();
    }
    return 0;
}
