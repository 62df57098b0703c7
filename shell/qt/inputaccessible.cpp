// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The input line for assistive technology. Qt's own objects do not serve it: its line
// edit reports a long text (held in the no-echo mode, see InputEdit) as a password with
// no text, and its combo box takes the whole input as its name. Here the input stays a
// text at every length, the names stay short and no text handed out is longer than
// kAccessibleTextCap characters.
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>

#include <algorithm>
#include <utility>

#include "display/qt/accessible.h"
#include "shell/qt/inputwidgets.h"

namespace nerova {

namespace {

// Told for a text longer than what is handed out (QCoreApplication::translate's context).
const char* const kLengthDescription = QT_TRANSLATE_NOOP("nerova::InputEdit", "文字数 %1");

bool isWordChar(QChar c) { return c.isLetterOrNumber(); }

/// The range of the unit of text (a character, a word or the whole line) that offset
/// falls into; a word is a run of letters and digits or a run of other characters.
std::pair<int, int> unitAt(const QString& t, int offset, QAccessible::TextBoundaryType boundary) {
    const int n = static_cast<int>(t.size());
    if (offset < 0 || offset >= n) return {n, n};
    switch (boundary) {
    case QAccessible::CharBoundary: {
        const int start = offset > 0 && t.at(offset).isLowSurrogate() && t.at(offset - 1).isHighSurrogate()
                              ? offset - 1 : offset;
        return {start, start + (t.at(start).isHighSurrogate() && start + 1 < n ? 2 : 1)};
    }
    case QAccessible::WordBoundary: {
        const bool word = isWordChar(t.at(offset));
        int start = offset, end = offset;
        while (start > 0 && isWordChar(t.at(start - 1)) == word) --start;
        while (end < n && isWordChar(t.at(end)) == word) ++end;
        return {start, end};
    }
    default:  // one line, one sentence, one paragraph
        return {0, n};
    }
}

/// The input's line edit: a text role at every length, its text handed out at most
/// kAccessibleTextCap characters at a time (offsets are those of the whole text, as in
/// the caret and change events Qt sends), its length in its description when longer.
class InputAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit InputAccessible(InputEdit* edit) : QAccessibleWidget(edit, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = !edit()->isReadOnly();
        s.readOnly = edit()->isReadOnly();
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Value: return accessibleCapped(edit()->text());
        case QAccessible::Description:
            if (edit()->text().size() > kAccessibleTextCap)
                return QCoreApplication::translate("nerova::InputEdit", kLengthDescription).arg(edit()->text().size());
            return QAccessibleWidget::text(t);
        default: return QAccessibleWidget::text(t);
        }
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && edit()->hasSelectedText()) {
            *start = static_cast<int>(edit()->selectionStart());
            *end = static_cast<int>(edit()->selectionEnd());
        }
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { edit()->deselect(); }
    void setSelection(int, int start, int end) override {
        const int n = characterCount();
        start = std::clamp(start, 0, n);
        end = std::clamp(end, 0, n);
        edit()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }

    QString text(int start, int end) const override {
        const QString t = edit()->text();
        start = std::clamp(start, 0, static_cast<int>(t.size()));
        end = std::clamp(end, start, static_cast<int>(t.size()));
        return accessibleCapped(QStringView(t).mid(start, end - start));
    }
    // Qt's versions of these three look at the whole text, which may be millions of
    // characters; these look only at the unit asked for.
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start, int* end) const override {
        std::tie(*start, *end) = unitAt(edit()->text(), offset, boundary);
        return text(*start, *end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                             int* end) const override {
        const QString t = edit()->text();
        const int here = std::min(offset, static_cast<int>(t.size()));
        const int unitStart = here < t.size() ? unitAt(t, here, boundary).first : here;
        std::tie(*start, *end) = unitStart > 0 ? unitAt(t, unitStart - 1, boundary) : std::pair{0, 0};
        return text(*start, *end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                            int* end) const override {
        const QString t = edit()->text();
        std::tie(*start, *end) = unitAt(t, unitAt(t, offset, boundary).second, boundary);
        return text(*start, *end);
    }
    int characterCount() const override { return static_cast<int>(edit()->text().size()); }
    QRect characterRect(int offset) const override {
        const QRect box = edit()->characterBox(offset);
        return box.isEmpty() ? box : box.translated(edit()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return static_cast<int>(edit()->characterAt(edit()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int start, int) override { setCursorPosition(start); }
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

private:
    InputEdit* edit() const { return static_cast<InputEdit*>(widget()); }
};

/// The history box: named by its accessible name (not, as Qt's is here, by its whole
/// text), its value the input capped; its children are the list and the input.
class HistAccessible : public QAccessibleWidget {
public:
    explicit HistAccessible(HistCombo* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return accessibleCapped(combo()->currentText());
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 2; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1) return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child) return -1;
        if (child->object() == combo()->view()) return 0;
        if (child->object() == combo()->lineEdit()) return 1;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        QLineEdit* edit = combo()->lineEdit();
        return edit && QRect(edit->mapToGlobal(QPoint(0, 0)), edit->size()).contains(x, y) ? child(1) : nullptr;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) return;
        if (combo()->view()->isVisible()) combo()->hidePopup();
        else combo()->showPopup();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    HistCombo* combo() const { return static_cast<HistCombo*>(widget()); }
};

// Neither class has a meta-object of its own: they are asked for under their Qt bases'
// names. The last installed factory is asked first, before Qt's.
QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("QLineEdit")) {
        if (auto* edit = dynamic_cast<InputEdit*>(object)) return new InputAccessible(edit);
    } else if (className == QLatin1String("QComboBox")) {
        if (auto* combo = dynamic_cast<HistCombo*>(object)) return new HistAccessible(combo);
    }
    return nullptr;
}

}  // namespace

void installInputAccessibility() {
    static const bool installed = (QAccessible::installFactory(Factory), true);
    (void)installed;
}

}  // namespace nerova
