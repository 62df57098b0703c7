// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/inputwidgets.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyleOptionFrame>
#include <QWheelEvent>

#include <algorithm>
#include <optional>

#include "shell/textcalc.h"

namespace nerova {

namespace {

qsizetype unitBefore(const QString& t, qsizetype i) {
    return i >= 2 && t.at(i - 1).isLowSurrogate() && t.at(i - 2).isHighSurrogate() ? i - 2 : i - 1;
}

}  // namespace

void HistCombo::showPopup() {
    if (!busy_()) QComboBox::showPopup();
}

void HistCombo::keyPressEvent(QKeyEvent* e) {
    if (busy_()) {
        switch (e->key()) {
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_PageUp: case Qt::Key_PageDown:
        case Qt::Key_Home: case Qt::Key_End: case Qt::Key_F4:
            e->accept();
            return;
        default:
            break;
        }
    }
    QComboBox::keyPressEvent(e);
}

void HistCombo::wheelEvent(QWheelEvent* e) {
    if (busy_()) {
        e->accept();
        return;
    }
    QComboBox::wheelEvent(e);
}

void ShortTextDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->text.size() > kShown) option->text = option->text.left(kShown) + QChar(0x2026);
}

InputEdit::InputEdit(QWidget* parent) : QLineEdit(parent) {
    // Qt repaints only the parts it thinks changed; a long text is redrawn whole.
    auto all = [this] {
        if (isLong()) update();
    };
    connect(this, &QLineEdit::cursorPositionChanged, this, all);
    connect(this, &QLineEdit::selectionChanged, this, all);
    connect(this, &QLineEdit::textChanged, this, [this, all](const QString& text) {
        followLength(text.size());
        all();
    });
}

void InputEdit::setWholeText(const QString& text) {
    followLength(text.size());
    setText(text);
}

void InputEdit::followLength(qsizetype length) {
    // The no-echo mode shows nothing, so Qt has nothing to lay out; its editing works on
    // the text all the same.
    setEchoMode(length > kLong ? QLineEdit::NoEcho : QLineEdit::Normal);
}

qsizetype InputEdit::nextPosition(qsizetype c) const {
    const QString t = text();
    if (c >= t.size()) return t.size();
    return c + (t.at(c).isHighSurrogate() && c + 1 < t.size() ? 2 : 1);
}

qsizetype InputEdit::previousPosition(qsizetype c) const {
    if (c <= 0) return 0;
    return unitBefore(text(), c);
}

qsizetype InputEdit::nextWord(qsizetype c) const {
    const QString t = text();
    while (c < t.size() && t.at(c).isLetterOrNumber()) ++c;
    while (c < t.size() && !t.at(c).isLetterOrNumber()) ++c;
    return c;
}

qsizetype InputEdit::previousWord(qsizetype c) const {
    const QString t = text();
    while (c > 0 && !t.at(c - 1).isLetterOrNumber()) --c;
    while (c > 0 && t.at(c - 1).isLetterOrNumber()) --c;
    return c;
}

void InputEdit::inputMethodEvent(QInputMethodEvent* e) {
    const QString commit = e->commitString();
    const QString ascii = commit.isEmpty() ? commit : QString::fromStdString(asciiForms(commit.toStdString()));
    if (commit_ && !ascii.isEmpty()) commit_(ascii);
    if (ascii == commit) {
        QLineEdit::inputMethodEvent(e);
        return;
    }
    QInputMethodEvent copy(e->preeditString(), e->attributes());
    copy.setCommitString(ascii, e->replacementStart(), e->replacementLength());
    QLineEdit::inputMethodEvent(&copy);
    e->setAccepted(copy.isAccepted());
}

void InputEdit::keyPressEvent(QKeyEvent* e) {
    if (!isLong()) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    // Qt steps the caret through its layout of the text, which a long text does not have.
    const qsizetype c = cursorPosition();
    const bool selected = hasSelectedText();
    const qsizetype anchor = !selected ? c : c == selectionStart() ? selectionEnd() : selectionStart();
    auto select = [this](qsizetype from, qsizetype to) {
        setSelection(static_cast<int>(from), static_cast<int>(to - from));
    };
    if (e == QKeySequence::MoveToNextChar) {
        setCursorPosition(static_cast<int>(selected ? selectionEnd() : nextPosition(c)));
    } else if (e == QKeySequence::MoveToPreviousChar) {
        setCursorPosition(static_cast<int>(selected ? selectionStart() : previousPosition(c)));
    } else if (e == QKeySequence::SelectNextChar) {
        select(anchor, nextPosition(c));
    } else if (e == QKeySequence::SelectPreviousChar) {
        select(anchor, previousPosition(c));
    } else if (e == QKeySequence::MoveToNextWord) {
        setCursorPosition(static_cast<int>(nextWord(c)));
    } else if (e == QKeySequence::MoveToPreviousWord) {
        setCursorPosition(static_cast<int>(previousWord(c)));
    } else if (e == QKeySequence::SelectNextWord) {
        select(anchor, nextWord(c));
    } else if (e == QKeySequence::SelectPreviousWord) {
        select(anchor, previousWord(c));
    } else if (!isReadOnly() && (e == QKeySequence::Delete || e == QKeySequence::DeleteEndOfWord ||
                                 e == QKeySequence::DeleteStartOfWord)) {
        // Qt deletes forward by its layout of the text, which a long text does not have;
        // a deletion of the selected part needs none.
        if (!selected) {
            const qsizetype to = e == QKeySequence::Delete          ? nextPosition(c)
                                 : e == QKeySequence::DeleteEndOfWord ? nextWord(c)
                                                                      : previousWord(c);
            if (to == c) {
                e->accept();
                return;
            }
            select(std::min(c, to), std::max(c, to));
        }
        del();
    } else {
        QLineEdit::keyPressEvent(e);
        return;
    }
    e->accept();
}

void InputEdit::paintEvent(QPaintEvent* e) {
    if (!isLong()) {
        QLineEdit::paintEvent(e);
        return;
    }
    QPainter p(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &p, this);
    const QRect line = textRect();
    p.setClipRect(line.adjusted(-kMargin, 0, kMargin, 0));
    const QString t = text();
    const QFontMetrics fm(font());
    first_ = scrolledToCursor(t, fm, line.width());
    const QString shown = t.mid(first_, std::min<qsizetype>(t.size() - first_, line.width() + 2));
    const int top = line.y() + (line.height() - fm.height() + 1) / 2;
    const int baseline = top + fm.ascent();
    auto xOf = [&](qsizetype index) {
        return line.x() + fm.horizontalAdvance(shown.left(std::clamp<qsizetype>(index - first_, 0, shown.size())));
    };
    p.setPen(palette().color(QPalette::Text));
    p.drawText(line.x(), baseline, shown);
    if (hasSelectedText()) {
        const qsizetype from = selectionStart(), to = selectionEnd();
        const int x0 = xOf(from), x1 = xOf(to);
        if (x1 > x0) {
            const QRect band(x0, top, x1 - x0, fm.height());
            p.fillRect(band, palette().brush(QPalette::Highlight));
            p.setClipRect(band, Qt::IntersectClip);
            p.setPen(palette().color(QPalette::HighlightedText));
            p.drawText(line.x(), baseline, shown);
            p.setClipRect(line.adjusted(-kMargin, 0, kMargin, 0));
        }
    }
    if (hasFocus() && !isReadOnly())
        p.fillRect(xOf(cursorPosition()), top, 1, fm.height(), palette().brush(QPalette::Text));
}

void InputEdit::mousePressEvent(QMouseEvent* e) {
    if (!isLong() || e->button() != Qt::LeftButton) {
        if (!isLong() || e->button() == Qt::RightButton) QLineEdit::mousePressEvent(e);
        return;
    }
    const qsizetype pos = positionAt(e->position().toPoint().x(), first_);
    if (e->modifiers() & Qt::ShiftModifier) {
        // Extend from the end of the selection that the caret is not at.
        anchor_ = !hasSelectedText()                        ? cursorPosition()
                  : cursorPosition() == selectionStart() ? selectionEnd()
                                                         : selectionStart();
        setSelection(static_cast<int>(anchor_), static_cast<int>(pos - anchor_));
    } else {
        anchor_ = pos;
        setCursorPosition(static_cast<int>(pos));
    }
}
void InputEdit::mouseMoveEvent(QMouseEvent* e) {
    if (!isLong()) {
        QLineEdit::mouseMoveEvent(e);
        return;
    }
    if (e->buttons() & Qt::LeftButton) {
        anchor_ = std::min(anchor_, text().size());  // the press may have met another text
        const qsizetype pos = positionAt(e->position().toPoint().x(), first_);
        setSelection(static_cast<int>(anchor_), static_cast<int>(pos - anchor_));
    }
}
void InputEdit::mouseReleaseEvent(QMouseEvent* e) {
    if (!isLong()) QLineEdit::mouseReleaseEvent(e);
}
void InputEdit::mouseDoubleClickEvent(QMouseEvent* e) {
    if (!isLong()) QLineEdit::mouseDoubleClickEvent(e);
    else if (e->button() == Qt::LeftButton) selectAll();
}
void InputEdit::dragEnterEvent(QDragEnterEvent* e) {
    // Qt places a drop by its own drawing; long texts take no drops.
    if (isLong()) e->ignore();
    else QLineEdit::dragEnterEvent(e);
}
void InputEdit::dragMoveEvent(QDragMoveEvent* e) {
    if (isLong()) e->ignore();
    else QLineEdit::dragMoveEvent(e);
}
void InputEdit::dropEvent(QDropEvent* e) {
    if (isLong() || !e->mimeData()->hasText()) {
        e->ignore();
        return;
    }
    // A drop inserts what a paste would: line breaks as blanks, so that what is
    // calculated is what the display shows.
    const std::optional<std::string> dropped = pastedText(e->mimeData()->text().toStdString());
    if (!dropped) {
        if (notice_) notice_(pasteTooLongNotice());
        e->ignore();
        return;
    }
    QMimeData text;
    text.setText(QString::fromStdString(*dropped));
    QDropEvent copy(e->position(), e->possibleActions(), &text, e->buttons(), e->modifiers(), e->type());
    QLineEdit::dropEvent(&copy);
    e->setDropAction(copy.dropAction());
    e->setAccepted(copy.isAccepted());
}

QRect InputEdit::textRect() const {
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect r = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    return r.adjusted(kMargin, 0, -kMargin, 0);
}

qsizetype InputEdit::scrolledToCursor(const QString& t, const QFontMetrics& fm, int width) const {
    const qsizetype c = std::min<qsizetype>(cursorPosition(), t.size());
    qsizetype first = std::min(first_, c);
    // The leftmost start from which the text up to end still fits beside the caret.
    const auto fittingStart = [&](qsizetype end) {
        qsizetype start = end;
        int used = 1;  // the caret
        while (start > 0) {
            const qsizetype before = unitBefore(t, start);
            const int w = fm.horizontalAdvance(t.mid(before, start - before));
            if (used + w > width) break;
            used += w;
            start = before;
        }
        return start;
    };
    first = std::max(first, fittingStart(c));        // the caret stays in view
    first = std::min(first, fittingStart(t.size())); // no blank after the text's tail
    if (first > 0 && first < t.size() && t.at(first).isLowSurrogate()) --first;
    return first;
}

QRect InputEdit::characterBox(qsizetype i) const {
    const QString t = text();
    if (i < 0 || i >= t.size()) return {};
    const QFontMetrics fm(font());
    const QRect line = textRect();
    const qsizetype next = i + (t.at(i).isHighSurrogate() && i + 1 < t.size() ? 2 : 1);
    int x = 0;
    if (isLong()) {
        // Where the next paint will start. Every character is at least a pixel wide: one
        // that far after the first shown is out of view, and is not measured.
        const qsizetype first = scrolledToCursor(t, fm, line.width());
        if (i < first || i - first > line.width()) return {};
        x = line.x() + fm.horizontalAdvance(t.mid(first, i - first));
    } else {
        // Qt's layout is hidden; its caret shows where the text stands.
        const qsizetype c = cursorPosition();
        const int caret = cursorRect().center().x();
        x = i >= c ? caret + fm.horizontalAdvance(t.mid(c, i - c)) : caret - fm.horizontalAdvance(t.mid(i, c - i));
    }
    const QRect box(x, line.y() + (line.height() - fm.height() + 1) / 2, fm.horizontalAdvance(t.mid(i, next - i)),
                    fm.height());
    return box.intersects(line) ? box : QRect();
}

qsizetype InputEdit::characterAt(QPoint p) {
    const qsizetype c = isLong() ? positionAt(p.x(), scrolledToCursor(text(), QFontMetrics(font()), textRect().width()))
                                 : cursorPositionAt(p);
    // The caret position nearest to p is before or after the character p is on.
    const qsizetype before = previousPosition(c);
    const QRect box = characterBox(before);
    return c > 0 && !box.isEmpty() && p.x() <= box.right() ? before : c;
}

qsizetype InputEdit::positionAt(int x, qsizetype first) const {
    const QString t = text();
    const QFontMetrics fm(font());
    const QRect line = textRect();
    qsizetype i = std::min(first, t.size());
    int left = line.x();
    while (i < t.size()) {
        const qsizetype next = i + (t.at(i).isHighSurrogate() && i + 1 < t.size() ? 2 : 1);
        const int w = fm.horizontalAdvance(t.mid(i, next - i));
        if (x < left + w / 2) break;
        left += w;
        i = next;
        if (left > line.right() + w) break;
    }
    return i;
}

}  // namespace nerova
