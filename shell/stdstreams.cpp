// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/stdstreams.h"

#include <ext/stdio_sync_filebuf.h>

#include <cstdio>
#include <istream>
#include <ostream>

namespace nerova {

namespace {

// The stream buffer std::cin, std::cout and std::cerr use while synchronised with C's
// streams (their default): every character goes straight to the C stream.
using CBuffer = __gnu_cxx::stdio_sync_filebuf<char>;

struct Streams {
    CBuffer inBuffer{stdin}, outBuffer{stdout}, errBuffer{stderr};
    std::istream in{&inBuffer};
    std::ostream out{&outBuffer};
    std::ostream err{&errBuffer};

    Streams() {
        in.tie(&out);
        err.tie(&out);
        err.setf(std::ios_base::unitbuf);
    }
};

// Never destroyed, so that a stream outlives every other object that might write at exit;
// C's exit flushes what they wrote (they hold nothing themselves).
Streams& streams() {
    static Streams* const all = new Streams;
    return *all;
}

bool passesTo(const std::ios& stream, std::FILE* file) {
    auto* buffer = dynamic_cast<CBuffer*>(stream.rdbuf());
    return buffer && buffer->file() == file;
}

}  // namespace

std::istream& standardInput() { return streams().in; }
std::ostream& standardOutput() { return streams().out; }
std::ostream& standardError() { return streams().err; }

bool readsStandardInput(const std::istream& in) { return passesTo(in, stdin); }
bool writesStandardOutput(const std::ostream& out) { return passesTo(out, stdout); }

}  // namespace nerova
