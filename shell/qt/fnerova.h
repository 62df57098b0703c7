// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The calculator's main window: input line with history, fraction display, four
// buttons, two labels, the main and pop-up menus; it binds them to the commands.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QMainWindow>

#include "shell/commands.h"
#include "shell/qt/calcrunner.h"
#include "shell/qt/windowsession.h"
#include "shell/settings.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class TBunDisp;

namespace nerova {
enum class CopyFormat;
}

/// The main window. Owns the current result (through its commands), the display and
/// the program's one owner of calculations (its pump, busy state and cancellation).
///
/// Invariants: while a calculation runs the input line is read-only, Label2 says so
/// and every command that could start another calculation or change the input or the
/// result is refused; the window's height always follows from its content; settings
/// are written at most once, and only after they were read at the first showing.
class Tfnerova : public QMainWindow {
    Q_OBJECT

public:
    /// Builds the window from its design; nothing is shown or read yet.
    explicit Tfnerova(QWidget* parent = nullptr);
    ~Tfnerova() override;

    /// Sets the files of a batch run (input, optional output) that the first showing
    /// runs; an empty list runs nothing.
    void setBatchFiles(std::vector<std::string> files) { batchFiles_ = std::move(files); }

    // --- Integration points for the macro service ---

    /// The copier that AC on the input "DDE" uses to put the macro item's link on the
    /// clipboard; nullptr (the default) makes that AC only clear. Borrowed.
    void setLinkCopier(nerova::ILinkCopier* copier) { commands_->setLinkCopier(copier); }
    /// Shows a one-time note in the information line (for instance why the macro
    /// service is not available); the usual hint comes back with the next calculation.
    void showServiceStatus(const QString& note);
    /// True while a calculation runs (the window's or a macro's).
    bool isCalculating() const { return runner_->busy(); }
    /// The program's one owner of calculations, which the macro service shares.
    nerova::CalcRunner& runner() { return *runner_; }

    // --- Settings ---

    /// Hands the window the settings the program read at its start; the first showing
    /// applies them instead of reading the file again.
    void setSettings(const nerova::FormSettings& settings) { settings_ = settings; }
    /// Applies the bounds, the recurring option, the kept history and the input font of
    /// the handed settings, or of the settings file when none were handed. Never fails.
    void loadSettings();
    /// Writes the bounds, the option and the font unless the window is minimised or
    /// maximised; a failed write is shown in the standard error box. Called on close,
    /// never from the destructor.
    void saveSettings();

    // --- For the application and the tests ---

    /// Prepares a close that nobody attends (SIGTERM, SIGINT): from now on errors go to
    /// standard error instead of a box, and open dialogs are ended, so that the close
    /// ends the program in bounded time.
    void prepareUnattendedClose();
    /// Replaces the standard error box (tests collect the messages instead).
    void setErrorHandler(std::function<void(const QString&)> handler) { errorHandler_ = std::move(handler); }
    /// Shows message in the standard error box ("." appended after a message that ends
    /// in a character sorting after ".").
    void showError(const std::string& message);
    /// The calculator state behind the window.
    const nerova::TCalcCommands& commands() const { return *commands_; }
    /// The recurring option (the check mark of 循環小数).
    bool recurring() const;

public:
    /// The first showing loads the settings and starts the batch run, if any.
    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The window's bounds, the recurring option and the input font as they are now.
    nerova::FormSettings currentSettings() const;

    void createControls();
    void createMenus();
    /// The actions of 編集 and of the input's pop-up menu, one list for both, in the
    /// same order; the suffix tells the menus' object names apart.
    void addEditActions(QMenu* menu, int which);
    /// Keeps the whole frame on the screen once the window manager has framed the window.
    void fitFrameOnce();
    /// Places the controls for the current width and fixes the height (OnResize).
    void layoutControls();
    /// Runs a handler; an error that leaves it goes to the standard error box.
    void guarded(const std::function<void()>& handler);
    void busyChanged(bool busy);
    /// Shows the commands' notice, or the usual hint for the empty text.
    void showNotice(const std::string& notice);
    void runBatchFiles();
    /// Gives the input and the display font and colour; no colour means the system's
    /// text colour, with which the display takes the palette's base and text colours.
    void applyInputFont(const QFont& font, const std::optional<QColor>& color);
    QString hint() const;
    /// The information line's usual tool tip, with the service's note when there is one.
    QString hintTip() const;
    /// Stops the caret blinking while the input holds a very long text.
    void steadyCaretForLongTexts();

    // Handlers of the controls and menu items.
    void KT1Click();
    void KC1Click();
    void KP1Click();
    void SelectAll1Click();
    void N4Click();
    void J1Click();
    void H1Click();
    void evaClick();
    void helpClick();
    void aboutClick();
    /// Puts what the display shows on the clipboard in format, in one update.
    void copyAs(nerova::CopyFormat format);
    /// Adds the copy-as submenu to menu; its items' names end in suffix.
    void addCopyAsMenu(QMenu* menu, const char* suffix);
    void keyTyped(char key);
    /// Runs a button's command, then gives the keyboard back to the input.
    void buttonClick(void (nerova::TCalcCommands::*command)());

    // Controls, owned by Qt's parent chain.
    QComboBox* hist = nullptr;
    QLineEdit* edit = nullptr;
    QPushButton* ac = nullptr;
    QPushButton* fraction = nullptr;
    QPushButton* taibun = nullptr;
    QPushButton* Kabun = nullptr;
    QScrollBar* hScrollBar = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    TBunDisp* disp = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* J1 = nullptr;
    QAction* H1 = nullptr;  ///< 履歴を保存: the history is kept across restarts
    std::string shownBefore_;  ///< the display's text when the running calculation began

    std::unique_ptr<nerova::CalcRunner> runner_;
    std::unique_ptr<nerova::ICalcInput> input_;
    std::unique_ptr<nerova::IHistoryList> history_;
    std::unique_ptr<nerova::ITextDisplay> display_;
    std::unique_ptr<nerova::IRecurringOption> option_;
    std::unique_ptr<nerova::TCalcCommands> commands_;
    nerova::WindowSession session_{*this};
    std::optional<nerova::FormSettings> settings_;  ///< as read at the program's start
    QWidget* help_ = nullptr;  ///< the help window once opened; owned by this window
    bool frameFitted_ = false;

    std::optional<QColor> inputColor_;  ///< nothing: the system's text colour
    int flashTime_ = 0;  ///< the desktop's caret blink period
    std::vector<std::string> batchFiles_;
    std::function<void(const QString&)> errorHandler_;
    bool firstShow_ = true;
    bool closing_ = false;
    bool settingsLoaded_ = false;
    bool settingsSaved_ = false;
    bool closeWhenDone_ = false;
    bool unattended_ = false;  ///< errors go to standard error
    QString serviceNote_;      ///< why the macro service is not available, if it is not
};
