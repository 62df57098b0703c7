// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The calculator's commands and state, free of any window system: the current exact
// result, the history rules, the two state flags and the refusal of commands while a
// calculation is running. The window binds these to its controls.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/lrat.h"
#include "shell/calcowner.h"
#include "shell/textcalc.h"

namespace nerova {

/// The notice while a long result is put into the input and the display, a step that
/// Esc cannot cancel.
inline constexpr Message kShowingResult = Message::ShowingResultNotice;

/// The input line: its text and its selection, both counted in bytes of UTF-8.
class ICalcInput {
public:
    virtual ~ICalcInput() = default;
    /// The whole input text.
    virtual std::string text() const = 0;
    /// Replaces the whole text; this is not a user edit (no change notification).
    virtual void setText(const std::string& text) = 0;
    /// Start of the selection, or the caret when the selection is empty.
    virtual std::size_t selStart() const = 0;
    /// Length of the selection; 0 for a plain caret.
    virtual std::size_t selLength() const = 0;
    /// Selects length bytes from start (a caret when length is 0).
    virtual void setSelection(std::size_t start, std::size_t length) = 0;
    /// Replaces the selected bytes by text and leaves the caret after it.
    virtual void replaceSelection(const std::string& text) = 0;
    /// Gives the input the keyboard focus.
    virtual void setFocus() = 0;
};

/// The view of the history (the drop-down list): the commands keep the entries and tell
/// the view each change; the view is never read back.
class IHistoryList {
public:
    virtual ~IHistoryList() = default;
    /// Inserts text before index (index == count appends).
    virtual void insert(int index, const std::string& text) = 0;
    virtual void remove(int index) = 0;
};

/// The fraction display; only its text is set from here.
class ITextDisplay {
public:
    virtual ~ITextDisplay() = default;
    /// Typesets text (normally the input followed by ";").
    virtual void ShowText(const std::string& text) = 0;
    /// Brings the place where the first `bytes` bytes of the text end into view (the
    /// caret while the user types); a display that always shows all ignores it.
    virtual void FollowPosition(std::size_t bytes) { (void)bytes; }
};

/// The recurring-decimal option, held by the window's menu item.
class IRecurringOption {
public:
    virtual ~IRecurringOption() = default;
    virtual bool recurring() const = 0;
};

/// Puts the macro item's link on the clipboard; throws std::exception with the message to show.
class ILinkCopier { public: virtual ~ILinkCopier() = default; virtual void copyLink() = 0; };

/// The calculator commands over their four collaborators.
///
/// Invariants: decimalShown() implies !failed(); the history holds at most 10 distinct
/// entries, each an input the user typed or picked, never a text the commands set; current() changes only in keisan (on success) and in acClick. While
/// calculating() is true every command that could start another calculation or change
/// the input or current() returns at once without doing anything.
class TCalcCommands {
public:
    static constexpr int kMaxHistory = 10;

    TCalcCommands(ICalcInput& input, IHistoryList& history, ITextDisplay& display,
                  const IRecurringOption& option);
    TCalcCommands(const TCalcCommands&) = delete;
    TCalcCommands& operator=(const TCalcCommands&) = delete;

    /// The copier that AC on the input "DDE" uses; nullptr (the default) makes that AC
    /// only clear. The copier is borrowed and must outlive its use.
    void setLinkCopier(ILinkCopier* copier) { linkCopier_ = copier; }
    /// Runs the calculations through owner (borrowed: the program's one, which the macro
    /// service shares); nullptr (the default) gives them an owner of their own.
    void setOwner(CalcOwner* owner) { owner_ = owner ? owner : &ownOwner_; }
    /// Called after every command that calculated, with the notice for the information
    /// line (the text the calculation did not use, see nerova::unusedNotice; else the
    /// length of a long result, see nerova::lengthNotice) or the empty text; and with the
    /// empty text at the next edit of the input.
    void setNoticeObserver(std::function<void(const std::string&)> observer) {
        noticeObserver_ = std::move(observer);
    }
    /// Called after every calculation of the input (keisan), failed or not, with the
    /// text that was calculated (for the steps view).
    void setCalculatedObserver(std::function<void(const std::string&)> observer) {
        calculatedObserver_ = std::move(observer);
    }

    /// Calculates the input: history first (unless the input is a text the commands set
    /// and the user has not edited), then the value as an improper fraction, or the
    /// failure message in the input. Never throws a calculation error; the display may throw.
    void keisan();
    /// Puts text at the top of the history (a repeat moves up, at most 10 entries).
    void addHistory(const std::string& text);
    /// Clears to "0" and 0; on the input "DDE" first copies the link, whose failure
    /// (thrown on) stops the command before anything is cleared.
    void acClick();
    /// Shows current() as a decimal, calculating the input first unless a decimal is shown.
    void fractionClick();
    /// Shows current() as a mixed number with ":".
    void taibunClick();
    /// Shows current() as an improper fraction.
    void KabunClick();
    /// Replaces the selected part of the input by its value (or failure message).
    void eva();
    /// The user changed the input text: typeset it with the caret in view, forget the
    /// decimal form and the notice.
    void histChange();
    /// Typesets the input text (followed by ";") in the display, as the input holds it now.
    void refreshDisplay();
    /// A character typed into the input; Enter ('\r') is swallowed (key becomes '\0')
    /// and calculates. Right after a result, with the caret at its end, a key that
    /// starts an expression (see startsNewInput) empties the input first, so that the
    /// key begins a new one; an operator continues from the result.
    void OnKeyPress(char& key);
    /// Whether key begins a new input after a result: a digit, a letter, "." or "(".
    static bool startsNewInput(char key);
    /// The input was cut or pasted into; the window calls histChange as well.
    void inputEdited() {
        decimalShown_ = false;
        inputIsOurs_ = false;
        freshResult_ = false;
    }
    /// The user moved the caret or the selection: a result then is edited by what is
    /// typed, no longer replaced.
    void caretMoved() { freshResult_ = false; }
    /// Shows notice in the information line until the next command or edit.
    void showNotice(const std::string& notice) { notify(notice); }
    /// The input's text as the commands last read or set it.
    const std::string& inputText() const { return text_; }

    /// Runs work as a calculation through the owner: calculating() is true meanwhile.
    /// Returns false without running it when a calculation is already running.
    bool runCalculation(const std::function<void()>& work) { return owner_->run(work); }

    const TLoRational& current() const { return current_; }
    /// The history, index 0 the most recent.
    const std::vector<std::string>& history() const { return entries_; }
    bool failed() const { return failed_; }
    bool decimalShown() const { return decimalShown_; }
    bool calculating() const { return owner_->busy(); }

private:
    /// Runs work as a calculation, then announces the notice of what it did not use.
    void runCommand(const std::function<void()>& work);
    /// keisan's steps, inside a calculation that is already marked as running.
    void calculate();
    void show(const std::string& text);
    /// Sets the input's text, here and in the view.
    void setInput(std::string text);
    /// Typesets the input text as the commands know it.
    void showInput();
    void caretToEnd();
    /// A failure message stands selected, so that the next keystroke replaces it; a
    /// result stands with the caret at its end, so that an operator continues from it.
    void placeCaret();
    void notify(const std::string& notice);
    /// Runs a conversion of current(); a failure (a cancellation, no memory) shows its
    /// message like a failed calculation.
    bool convert(const std::function<std::string()>& toText);

    ICalcInput& input_;
    IHistoryList& history_;
    ITextDisplay& display_;
    const IRecurringOption& option_;
    ILinkCopier* linkCopier_ = nullptr;
    CalcOwner ownOwner_;  ///< the owner until setOwner gives the program's
    CalcOwner* owner_ = &ownOwner_;
    std::function<void(const std::string&)> noticeObserver_;
    std::function<void(const std::string&)> calculatedObserver_;

    TLoRational current_;
    bool failed_ = false;
    bool decimalShown_ = false;
    std::string text_;  ///< the input's text, read once at the start of a command or an edit
    std::vector<std::string> entries_;  ///< the history; the view shows the same
    std::string unused_;  ///< what the last calculation did not read
    std::string length_;  ///< the length notice of the last calculation's long result
    std::string hint_;    ///< how to write what the last calculation failed on
    /// The input holds a text the commands set (a result, "0", a failure message) that
    /// the user has not edited: it is not an input of the user's for the history.
    bool inputIsOurs_ = false;
    /// A result stands as the last command left it, caret and all: see OnKeyPress.
    bool freshResult_ = false;
};

}  // namespace nerova
