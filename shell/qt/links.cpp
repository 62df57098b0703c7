#include "shell/qt/links.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>

#include "display/BunDisp.h"
#include "shell/qt/inputwidgets.h"

namespace nerova {

namespace {

/// Byte length of the UTF-8 form of s's first n UTF-16 units.
std::size_t bytesBefore(const QString& s, qsizetype n) {
    return static_cast<std::size_t>(QStringView(s).left(n).toUtf8().size());
}

/// UTF-16 index of the byte position pos in the UTF-8 text bytes.
qsizetype unitsBefore(const std::string& bytes, std::size_t pos) {
    pos = std::min(pos, bytes.size());
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(pos)).size();
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
    return static_cast<std::size_t>(edit_.selectedText().toUtf8().size());
}

void InputLink::setSelection(std::size_t start, std::size_t length) {
    const std::string bytes = text();
    const qsizetype from = unitsBefore(bytes, start);
    const qsizetype to = unitsBefore(bytes, start + length);
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
    keepInput([&] { hist_.insertItem(index, QString::fromStdString(text)); });
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
