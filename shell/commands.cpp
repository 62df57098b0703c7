// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/commands.h"

#include <algorithm>
#include <new>
#include <utility>

#include "engine/Eval.h"
#include "engine/Stream.h"

namespace nerova {

TCalcCommands::TCalcCommands(ICalcInput& input, IHistoryList& history, ITextDisplay& display,
                             const IRecurringOption& option)
    : input_(input), history_(history), display_(display), option_(option) {}

void TCalcCommands::runCommand(const std::function<void()>& work) {
    const bool ran = runCalculation([&] {
        text_ = input_.text();  // one read of the user's text per command
        unused_.clear();
        length_.clear();
        hint_.clear();
        work();
    });
    // Set last: the command's own caret moves are no moves of the user's.
    if (ran) freshResult_ = inputIsOurs_ && !failed_;
    if (ran) notify(!hint_.empty() ? hint_ : !unused_.empty() ? nerova::unusedNotice(unused_) : length_);
}

void TCalcCommands::notify(const std::string& notice) {
    if (noticeObserver_) noticeObserver_(notice);
}

void TCalcCommands::setInput(std::string text) {
    text_ = std::move(text);
    inputIsOurs_ = true;
    input_.setText(text_);
}

void TCalcCommands::show(const std::string& text) {
    setInput(text);
    showInput();
}

void TCalcCommands::showInput() { display_.ShowText(text_ + ";"); }

void TCalcCommands::refreshDisplay() {
    text_ = input_.text();
    showInput();
}

void TCalcCommands::caretToEnd() { input_.setSelection(text_.size(), 0); }

void TCalcCommands::placeCaret() {
    if (failed_) input_.setSelection(0, text_.size());
    else caretToEnd();
}

void TCalcCommands::addHistory(const std::string& text) {
    // Compared here, in UTF-8: the view's entries may be results of a million digits.
    const auto found = std::find(entries_.begin(), entries_.end(), text);
    if (found == entries_.begin() && !entries_.empty()) return;  // already on top
    if (found != entries_.end()) {
        history_.remove(static_cast<int>(found - entries_.begin()));
        entries_.erase(found);
    } else if (entries_.size() >= kMaxHistory) {
        history_.remove(kMaxHistory - 1);
        entries_.pop_back();
    }
    entries_.insert(entries_.begin(), text);
    history_.insert(0, text);
}

void TCalcCommands::keisan() {
    runCommand([this] { calculate(); });
}

void TCalcCommands::calculate() {
    const std::string text = text_;
    if (!inputIsOurs_) addHistory(text);
    std::string result;
    bool ok = false;
    try {
        // Evaluated apart from current_, so that a failure or a cancellation leaves the
        // last good result whole.
        TLoRational value;
        StringStream stream(text + ";");
        EvalExpression(value, stream);
        unused_ = nerova::unusedText(text, static_cast<std::size_t>(stream.Position() - 1));
        result = value.ToImproperText();
        length_ = nerova::lengthNotice(result);
        current_ = std::move(value);
        ok = true;
    } catch (const std::exception& e) {
        failed_ = true;
        const std::string message = messageOf(e);
        const auto* coded = dynamic_cast<const MessageError*>(&e);
        if (coded && coded->code() == kRationalPowerNotInteger) hint_ = nerova::fractionExponentNotice(text);
        setInput(message);
    }
    if (ok) {
        failed_ = false;
        // Putting a long result into the input and the display cannot be cancelled: the
        // information line stops offering Esc meanwhile.
        if (!length_.empty()) notify(nerova::text(kShowingResult));
        show(result);
    }
    placeCaret();
    if (calculatedObserver_) calculatedObserver_(text);
}

bool TCalcCommands::convert(const std::function<std::string()>& toText) {
    std::string text;
    try {
        text = toText();
    } catch (const std::exception& e) {
        failed_ = true;
        decimalShown_ = false;
        setInput(messageOf(e));
        return false;
    }
    show(text);
    return true;
}

void TCalcCommands::acClick() {
    if (calculating()) return;
    text_ = input_.text();
    if (linkCopier_ && text_ == "DDE") linkCopier_->copyLink();
    show("0");
    current_.Clear();
    input_.setFocus();
    input_.setSelection(0, text_.size());  // the next keystroke replaces the 0
    decimalShown_ = false;
    freshResult_ = false;
    notify({});
}

void TCalcCommands::fractionClick() {
    runCommand([this] {
        if (!decimalShown_) calculate();
        if (!failed_) {
            const bool recurring = option_.recurring();
            if (convert([&] { return current_.ToDecimalText(recurring); })) decimalShown_ = true;
        }
        input_.setFocus();
        placeCaret();
    });
}

void TCalcCommands::taibunClick() {
    runCommand([this] {
        if (!decimalShown_) calculate();
        if (!failed_) convert([&] { return current_.ToMixedColonText(); });
        input_.setFocus();
        placeCaret();
        decimalShown_ = false;
    });
}

void TCalcCommands::KabunClick() {
    runCommand([this] {
        if (decimalShown_) {
            convert([&] { return current_.ToImproperText(); });
            placeCaret();
        } else {
            calculate();
        }
        decimalShown_ = false;
    });
}

void TCalcCommands::eva() {
    if (calculating() || input_.selLength() == 0) return;
    runCommand([this] {
        const std::size_t start = input_.selStart(), length = input_.selLength();
        nerova::TextResult value;
        try {
            value = nerova::evalText(text_.substr(start, length), nerova::ResultForm::Improper);
        } catch (const TCancelledException& e) {
            value = {false, messageOf(e), {}};  // the part stands as a failed one, like keisan's input
        }
        unused_ = value.unused;
        // The text cannot change while calculating, but the selection can (a click, select
        // all): the value replaces the part it was calculated from.
        input_.setSelection(start, length);
        input_.replaceSelection(value.text);
        text_.replace(start, length, value.text);
        inputIsOurs_ = false;  // an edit within the user's text
        if (!value.ok) input_.setSelection(start, value.text.size());
        showInput();
        decimalShown_ = false;
    });
}

void TCalcCommands::histChange() {
    inputIsOurs_ = false;
    freshResult_ = false;
    refreshDisplay();
    display_.FollowPosition(input_.selStart() + input_.selLength());
    decimalShown_ = false;
    notify({});
}

bool TCalcCommands::startsNewInput(char key) {
    const auto c = static_cast<unsigned char>(key);
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '(';
}

void TCalcCommands::OnKeyPress(char& key) {
    if (key == '\r') {
        key = '\0';
        if (calculating()) return;
        keisan();
    }
    if (calculating()) return;
    if (key != '\0' && freshResult_ && inputIsOurs_ && !failed_ && startsNewInput(key)) {
        // The result stays in view until this key; the key then begins a new input, as
        // a pocket calculator does. A caret moved into the result edits it instead.
        text_ = input_.text();
        if (input_.selLength() == 0 && input_.selStart() == text_.size()) {
            text_.clear();
            input_.setText(text_);
        }
    }
    decimalShown_ = false;
}

}  // namespace nerova
