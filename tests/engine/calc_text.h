// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The evaluator's answer to a text, as the tests of the engine compare it.
#pragma once

#include <exception>
#include <string>

#include "engine/Eval.h"
#include "engine/Stream.h"
#include "engine/lrat.h"

namespace nerova::test {

/// The value of input as the calculator evaluates it (";" appended), or the failure's
/// message.
inline std::string Calc(const std::string& input) {
    StringStream s(input + ";");
    TLoRational r;
    try {
        EvalExpression(r, s);
    } catch (const std::exception& e) {
        return e.what();
    }
    return r.ToImproperText();
}

}  // namespace nerova::test
