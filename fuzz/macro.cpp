// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The macro service's text path: any poke is taken or refused whole, and what the item
// then holds (a poke's lines, a macro's result or failure) stays within the caps and
// within what the size check (a bus of a few kilobytes) carries.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/bounded.h"
#include "shell/macro.h"

namespace {

constexpr size_t kBusBytes = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const nerova::fuzz::TimeBudget budget;
    nerova::MacroItem item;
    item.setSizeCheck([](size_t bytes) { return bytes <= kBusBytes; });
    static const char* const kCommands[] = {"calc", "frac", "tai", "calc\r\nx", "sum"};
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        item.poke(text);
    } catch (const nerova::TPokeTooLarge&) {
        if (item.lines().size() != 1 || !item.lines()[0].empty()) std::abort();  // refused whole
    }
    item.maceval(kCommands[data[0] % 5]);
    if (item.lines().size() > nerova::kMaxPokeLines + 1 || item.data().size() > kBusBytes) {
        std::fprintf(stderr, "item over its caps: %zu lines, %zu bytes\n", item.lines().size(), item.data().size());
        std::abort();
    }
    return 0;
}
