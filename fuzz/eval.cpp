// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The text evaluators in every form, with the read-back property: every exact text of a
// value (improper fraction, mixed number, a decimal without "…") reads back as that value.
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "fuzz/bounded.h"
#include "shell/textcalc.h"

namespace {

using nerova::ResultForm;

// Results that are no value to check: a spent time budget, a refused size.
bool Unchecked(const nerova::TextResult& r) {
    return r.text == nerova::fuzz::kCancelled || r.text == nerova::sourceText(kSeisuTooLarge);
}

void Fail(const char* what, const std::string& input, const std::string& text,
          const std::string& got, const std::string& want) {
    std::fprintf(stderr, "%s\ninput: %s\ntext: %s\nread back: %s\nvalue: %s\n", what,
                 input.c_str(), text.c_str(), got.c_str(), want.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const nerova::fuzz::TimeBudget budget;
    const nerova::TextResult value = nerova::evalText(input, ResultForm::Improper);
    for (ResultForm form : {ResultForm::Mixed, ResultForm::Plus, ResultForm::Float,
                            ResultForm::Decimal, ResultForm::Recurring}) {
        const nerova::TextResult text = nerova::evalText(input, form);
        // Every form writes the same value or fails; the mixed forms may refuse 1/0.
        if (!value.ok || !text.ok) continue;
        const bool exact = form == ResultForm::Mixed ||
                           ((form == ResultForm::Decimal || form == ResultForm::Recurring) &&
                            text.text.find("…") == std::string::npos && text.text != "ERROR");
        if (!exact) continue;
        const nerova::TextResult back = nerova::evalText(text.text, ResultForm::Improper);
        if (Unchecked(back)) continue;
        if (!back.ok || !nerova::fuzz::SameValue(back.text, value.text))
            Fail("an exact text reads back as another value", input, text.text, back.text, value.text);
    }
    if (value.ok && value.text.find("/0") == std::string::npos) {
        const nerova::TextResult back = nerova::evalText(value.text, ResultForm::Improper);
        if (!Unchecked(back) && (!back.ok || !nerova::fuzz::SameValue(back.text, value.text)))
            Fail("the improper fraction reads back as another value", input, value.text, back.text,
                 value.text);
    }
    return 0;
}
