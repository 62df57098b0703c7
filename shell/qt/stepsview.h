// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The steps view (途中式): a tool window beside the calculator that typesets the working
// of the last calculation line by line, as the display does, and copies it as text or
// LaTeX. Screen readers find an object named 途中式 that holds the lines as text and
// their spoken reading as description.
#pragma once

#include <QWidget>

#include <string>

#include "shell/steps.h"

class QAction;
class QMainWindow;
class QVBoxLayout;
class TBunDisp;

namespace nerova {

class TCalcCommands;

/// The steps view's title and the accessible name of its list of lines (the source text;
/// shown through QCoreApplication::translate in the context "nerova::StepsView").
inline constexpr const char* kStepsAccessibleName = QT_TRANSLATE_NOOP("nerova::StepsView", "途中式");

/// The list of lines: one typeset row per line of the working, a note as text.
class StepsList : public QWidget {
    Q_OBJECT
public:
    explicit StepsList(QWidget* parent);

    /// Shows steps, each calculation line typeset in font and colour on background.
    void show(const StepsView& steps, const QFont& font, const QColor& color, const QColor& background);
    /// The lines as plain text ("= " before each step), as the command line prints them.
    const QString& plainText() const { return text_; }
    /// The spoken reading, one sentence per line.
    const QString& reading() const { return reading_; }

private:
    QVBoxLayout* rows_;
    QString text_;
    QString reading_;
};

/// The tool window.
class StepsWindow : public QWidget {
    Q_OBJECT
public:
    /// A tool window of owner showing the working of what commands calculate.
    StepsWindow(QMainWindow* owner, TCalcCommands& commands);

    /// Works out text and shows it (while the window is open; otherwise only remembers it).
    void follow(const std::string& text);
    /// The action 途中式 (Ctrl+T) that opens and closes the window.
    QAction* toggleAction() const { return toggle_; }
    StepsList* list() const { return list_; }

    void copyText();
    void copyLatex();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    QMainWindow* owner_;
    StepsList* list_;
    QAction* toggle_;
    std::string text_;       // the last calculated text
    std::string shownText_;  // the text whose working is shown
    bool placed_ = false;
    StepsView steps_;
};

/// Creates the steps view of window, puts its action 途中式 (Ctrl+T) into window's menu
/// named "Show1" and lets it follow every calculation of commands.
StepsWindow* installStepsView(QMainWindow& window, TCalcCommands& commands);

}  // namespace nerova
