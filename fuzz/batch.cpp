// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The batch reader: any bytes as a batch file give one output line per input line that
// is read, each a copied comment or "line = value", and nothing else; and the line reader
// under a small limit gives lines within it, without line ends or leading blanks.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz/bounded.h"
#include "shell/batch.h"

namespace {

void CheckLineReader(const std::string& bytes) {
    const size_t limit = bytes.empty() ? 1 : 1 + static_cast<unsigned char>(bytes[0]) % 64;
    std::istringstream in(bytes);
    nerova::LineReader reader(*in.rdbuf(), limit);
    for (size_t lines = 0; lines <= bytes.size(); ++lines) {
        std::string line;
        try {
            if (!reader.Next(line)) return;
        } catch (const nerova::TLineTooLongException&) {
            continue;
        }
        if (line.empty() || line.size() > limit || static_cast<unsigned char>(line[0]) <= ' ' ||
            line.find_first_of("\r\n") != std::string::npos) {
            std::fprintf(stderr, "line of %zu bytes under a limit of %zu\n", line.size(), limit);
            std::abort();
        }
    }
    std::fprintf(stderr, "more lines than bytes\n");
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckLineReader(std::string(reinterpret_cast<const char*>(data), size));
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    const nerova::fuzz::TimeBudget budget;
    nerova::runBatch(in, "in", out, "out");
    const std::string written = out.str();
    if (!written.empty() && written.back() != '\n') std::abort();
    std::istringstream lines(written);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || (line[0] != '#' && line.find(" = ") == std::string::npos)) {
            std::fprintf(stderr, "output line '%s'\n", line.c_str());
            std::abort();
        }
    }
    return 0;
}
