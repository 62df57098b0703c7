// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The four collaborators of the calculator commands, over the window's controls.
#pragma once

#include <functional>

#include "shell/commands.h"

class QAction;
class QComboBox;
class QLineEdit;
class TBunDisp;

namespace nerova {

class InputEdit;

/// The input line: the combo box's edit part. Positions are bytes of UTF-8 outside and
/// UTF-16 units inside the line edit; texts set here are not user edits (no signals).
class InputLink : public ICalcInput {
public:
    /// textSet runs after every text the commands set (the window adjusts its caret).
    InputLink(QComboBox& hist, InputEdit& edit, std::function<void()> textSet)
        : hist_(hist), edit_(edit), textSet_(std::move(textSet)) {}
    std::string text() const override;
    void setText(const std::string& text) override;
    std::size_t selStart() const override;
    std::size_t selLength() const override;
    void setSelection(std::size_t start, std::size_t length) override;
    void replaceSelection(const std::string& text) override;
    void setFocus() override;

private:
    QComboBox& hist_;
    InputEdit& edit_;
    std::function<void()> textSet_;
};

/// The history: the combo box's item list. Its changes leave the input as it is.
class HistoryLink : public IHistoryList {
public:
    HistoryLink(QComboBox& hist, QLineEdit& edit) : hist_(hist), edit_(edit) {}
    void insert(int index, const std::string& text) override;
    void remove(int index) override;

private:
    template <class F>
    void keepInput(F f);

    QComboBox& hist_;
    QLineEdit& edit_;
};

/// The fraction display.
class DisplayLink : public ITextDisplay {
public:
    explicit DisplayLink(TBunDisp& disp) : disp_(disp) {}
    void ShowText(const std::string& text) override;
    void FollowPosition(std::size_t bytes) override;

private:
    TBunDisp& disp_;
};

/// The recurring option: the check mark of a menu item.
class OptionLink : public IRecurringOption {
public:
    explicit OptionLink(const QAction& item) : item_(item) {}
    bool recurring() const override;

private:
    const QAction& item_;
};

}  // namespace nerova
