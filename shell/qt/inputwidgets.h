// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The input line's widgets: the history combo box, its list's item delegate and the
// line edit that draws very long texts itself.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include <functional>
#include <string>

namespace nerova {

/// The history list: refuses being opened or stepped through while a calculation runs,
/// since a pick would replace the input under the running calculation.
class HistCombo : public QComboBox {
public:
    /// busy tells whether a calculation runs now.
    HistCombo(QWidget* parent, std::function<bool()> busy) : QComboBox(parent), busy_(std::move(busy)) {}
    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    std::function<bool()> busy_;
};

/// Shows history entries by their beginning only: an entry may be a result of a million
/// digits, which the list need not measure or draw whole.
class ShortTextDelegate : public QStyledItemDelegate {
public:
    static constexpr qsizetype kShown = 200;
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

/// The input's line edit. Qt's line edit measures and draws its whole text at every
/// paint (a million digits: some 60 ms a paint, and a paint follows every key and caret
/// move); a text longer than kLong is drawn here instead, only the characters in view.
/// Such a text is not laid out by Qt either (at a million digits a layout takes some 35
/// ms, and Qt lays the text out at every edit): the line edit holds it in its no-echo
/// mode, whose display text is empty. Editing, selection and undo stay Qt's; the caret
/// moves by characters and the mouse are mapped here, since Qt's follow its layout.
/// Dropped text and an input method's committed text enter as a paste does (line
/// breaks as blanks, full-width forms as ASCII).
///
/// Invariant: for a long text, first_ is the index of the first character drawn and
/// never splits a surrogate pair.
class InputEdit : public QLineEdit {
public:
    /// Texts longer than this are drawn here, with a caret that does not blink.
    static constexpr qsizetype kLong = 20000;
    static constexpr int kMargin = 2;  ///< Qt's space between the frame and the text

    explicit InputEdit(QWidget* parent);

    /// Replaces the whole text, as setText does, without laying out a long one.
    void setWholeText(const QString& text);
    /// Lays the text out (Qt's drawing) or not (this class's), as its length asks; needed
    /// after edits made with signals blocked.
    void followLength() { followLength(text().size()); }

    bool isLong() const { return text().size() > kLong; }
    /// Called with the text an input method commits (in its ASCII forms), before it is
    /// inserted.
    void setCommitHandler(std::function<void(const QString&)> handler) { commit_ = std::move(handler); }
    /// Called with a notice for the information line (a drop refused for its length).
    void setNoticeHandler(std::function<void(const std::string&)> handler) { notice_ = std::move(handler); }
    /// Index of the first character drawn (0 for texts Qt draws).
    qsizetype firstShown() const { return isLong() ? first_ : 0; }
    /// The box of the character at index i, in this widget's coordinates; empty when it
    /// is not in view (for assistive technology).
    QRect characterBox(qsizetype i) const;
    /// The index of the character at p (this widget's coordinates).
    qsizetype characterAt(QPoint p);  // not const: QLineEdit::cursorPositionAt is not

protected:
    void paintEvent(QPaintEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void followLength(qsizetype length);
    /// The caret position one character after or before c, surrogate pairs kept whole.
    qsizetype nextPosition(qsizetype c) const;
    qsizetype previousPosition(qsizetype c) const;
    /// The caret position at the start of the next word after c, or of the word before
    /// c (a word: letters and digits), for the word keys of a long text.
    qsizetype nextWord(qsizetype c) const;
    qsizetype previousWord(qsizetype c) const;
    /// The text's area inside the frame.
    QRect textRect() const;
    /// The first character shown once the view has moved as Qt's line edit moves it: just
    /// enough to show the caret, and no empty room after the text's end while its start
    /// is out of view.
    qsizetype scrolledToCursor(const QString& t, const QFontMetrics& fm, int width) const;
    /// The caret position nearest to x (widget coordinates) in the view starting at the
    /// character first.
    qsizetype positionAt(int x, qsizetype first) const;

    qsizetype first_ = 0;
    qsizetype anchor_ = 0;
    std::function<void(const QString&)> commit_;
    std::function<void(const std::string&)> notice_;
};

/// Makes every HistCombo and InputEdit an accessible object that suits long inputs: the
/// input a text at every length, handed out capped (kAccessibleTextCap), the history box
/// named by its accessible name. Needs the QApplication; calling it again does nothing.
void installInputAccessibility();

}  // namespace nerova
