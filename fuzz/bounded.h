// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// What every harness shares: a calculation is bounded in size by the digit budget and in
// time by the pump, so that a huge power is refused or cancelled instead of stalling
// the fuzzer (which would report a timeout that is no fault).
#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

#include "engine/pump.h"
#include "engine/tabai.h"

namespace nerova::fuzz {

/// Digits of one result: past every fast method's threshold (5000 limbs), small enough to keep inputs quick.
inline constexpr int64_t kMaxDigits = 20000;
/// Time one input may calculate before the pump cancels it.
inline constexpr std::chrono::milliseconds kTimeBudget{300};
/// The message of a cancelled calculation; a result carrying it is not checked.
inline constexpr const char* kCancelled = "fuzz: time budget spent";

/// True when two improper-fraction texts write the same value: a zero keeps the sign it
/// was computed with (0 * -3 is -0), which is not part of its value.
inline bool SameValue(const std::string& a, const std::string& b) {
    return a == b || ((a == "0" || a == "-0") && (b == "0" || b == "-0"));
}

/// Thrown by the pump when the time budget is spent.
class TCancelled : public std::runtime_error {
public:
    TCancelled() : std::runtime_error(kCancelled) {}
};

/// For one input: sets the digit budget and installs a pump handler that throws
/// TCancelled once kTimeBudget has passed; the previous handler comes back afterwards.
class TimeBudget {
public:
    TimeBudget() : deadline_(Clock::now() + kTimeBudget), scope_(&TimeBudget::Check, this) {
        TSeisu::SetMaxDigits(kMaxDigits);
    }
    /// True once the budget is spent.
    bool Spent() const { return Clock::now() >= deadline_; }

private:
    using Clock = std::chrono::steady_clock;
    static void Check(void* self) {
        if (static_cast<TimeBudget*>(self)->Spent()) throw TCancelled();
    }
    Clock::time_point deadline_;
    pump::Scope scope_;
};

}  // namespace nerova::fuzz
