// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// What many tests share: the row of a table that takes a text in and expects a text out,
// and the check that a call fails with one exception type and message.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

namespace nerova::test {

/// Checks that f throws an E whose message is message.
template <class E>
void expectThrowWith(const std::function<void()>& f, const char* message) {
    try {
        f();
        ADD_FAILURE() << "expected " << typeid(E).name() << "(" << message << ")";
    } catch (const E& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

struct TextRow {
    const char* input;
    const char* expected;
};

}  // namespace nerova::test
