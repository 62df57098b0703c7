// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/links.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>

#include "display/qt/BunDisp.h"
#include "display/qt/accessible.h"
#include "shell/qt/inputwidgets.h"

namespace nerova {

namespace {

// Positions cross between the line edit (UTF-16 units) and the commands (UTF-8 bytes).
// They are counted here without converting the text: it may hold a million digits.

/// Bytes of the UTF-8 form of a character starting with unit i of s; sets units to the
/// units it takes (a lone surrogate is written as U+FFFD, three bytes, as toUtf8 does).
std::size_t utf8Bytes(QStringView s, qsizetype i, qsizetype& units) {
    const char16_t c = s[i].unicode();
    units = 1;
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (QChar::isHighSurrogate(c) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode())) {
        units = 2;
        return 4;
    }
    return 3;
}

/// Byte length of the UTF-8 form of s's first n UTF-16 units.
std::size_t bytesBefore(QStringView s, qsizetype n) {
    std::size_t bytes = 0;
    qsizetype units = 1;
    n = std::min(n, s.size());
    for (qsizetype i = 0; i < n; i += units) {
        if (s[i].unicode() < 0x80) {  // ASCII runs (a result's digits) counted in a tight loop
            const qsizetype from = i;
            while (i < n && s[i].unicode() < 0x80) ++i;
            bytes += static_cast<std::size_t>(i - from);
            units = 0;
            continue;
        }
        bytes += utf8Bytes(s, i, units);
    }
    return bytes;
}

/// UTF-16 index of the byte position pos of the UTF-8 form of s (the character that
/// pos falls into ends the count).
qsizetype unitsBefore(QStringView s, std::size_t pos) {
    std::size_t bytes = 0;
    qsizetype i = 0, units = 1;
    while (i < s.size()) {
        // An ASCII run (a result's digits) in a tight loop: a byte and a unit each.
        while (i < s.size() && s[i].unicode() < 0x80 && bytes < pos) {
            ++i;
            ++bytes;
        }
        if (i == s.size() || bytes >= pos) break;
        const std::size_t next = bytes + utf8Bytes(s, i, units);
        if (next > pos) break;
        bytes = next;
        i += units;
    }
    return i;
}

}  // namespace

std::string InputLink::text() const { return edit_.text().toStdString(); }

void InputLink::setText(const std::string& text) {
    const QSignalBlocker block(&edit_);
    edit_.setWholeText(QString::fromStdString(text));
    if (textSet_) textSet_();
}

std::size_t InputLink::selStart() const {
    const qsizetype start = edit_.hasSelectedText() ? edit_.selectionStart() : edit_.cursorPosition();
    return bytesBefore(edit_.text(), start);
}

std::size_t InputLink::selLength() const {
    if (!edit_.hasSelectedText()) return 0;
    const QString text = edit_.text();
    const QStringView selected = QStringView(text).mid(edit_.selectionStart(), edit_.selectionLength());
    return bytesBefore(selected, selected.size());
}

void InputLink::setSelection(std::size_t start, std::size_t length) {
    const QString text = edit_.text();
    const qsizetype from = unitsBefore(text, start);
    const qsizetype to = unitsBefore(text, start + length);
    if (to == from) {
        edit_.deselect();
        edit_.setCursorPosition(static_cast<int>(from));
    } else {
        edit_.setSelection(static_cast<int>(from), static_cast<int>(to - from));
    }
}

void InputLink::replaceSelection(const std::string& text) {
    const QSignalBlocker block(&edit_);
    edit_.insert(QString::fromStdString(text));
    edit_.followLength();
    if (textSet_) textSet_();
}

void InputLink::setFocus() { hist_.setFocus(Qt::OtherFocusReason); }

void HistoryLink::insert(int index, const std::string& text) {
    keepInput([&] {
        const QString item = QString::fromStdString(text);
        hist_.insertItem(index, item);
        // The list's rows are named by their text for assistive technology.
        if (item.size() > kAccessibleTextCap) hist_.setItemData(index, accessibleCapped(item), Qt::AccessibleTextRole);
    });
}

void HistoryLink::remove(int index) {
    keepInput([&] { hist_.removeItem(index); });
}

// A combo box may copy an item into its edit field when its list changes; the
// history's list operations must leave the input as it is.
template <class F>
void HistoryLink::keepInput(F f) {
    const QString text = edit_.text();
    const int cursor = edit_.cursorPosition();
    const QSignalBlocker blockCombo(&hist_);
    const QSignalBlocker blockEdit(&edit_);
    f();
    hist_.setCurrentIndex(-1);
    if (edit_.text() != text) edit_.setText(text);
    edit_.setCursorPosition(cursor);
}

void DisplayLink::ShowText(const std::string& text) { disp_.ShowText(text); }

void DisplayLink::FollowPosition(std::size_t bytes) { disp_.FollowPosition(bytes); }

bool OptionLink::recurring() const { return item_.isChecked(); }

}  // namespace nerova
