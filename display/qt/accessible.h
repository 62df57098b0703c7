// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The fraction display for assistive technology: an accessible object named 数式 whose
// description and text are the spoken reading of what it shows.
#pragma once

#include <QAccessibleWidget>
#include <QString>
#include <QStringView>
#include <QtGlobal>

class TBunDisp;

namespace nerova {

/// The accessible name of the fraction display (translated where used, in the context
/// "TBunDisp").
inline constexpr const char* kDisplayAccessibleName = QT_TRANSLATE_NOOP("TBunDisp", "数式");

/// Assistive technology is given at most this many characters of one text (its first
/// ones, then "…"): a result may have millions of digits, which nobody listens to and
/// which would cross the accessibility bus whole at every question.
inline constexpr qsizetype kAccessibleTextCap = 1000;

/// text, or its first kAccessibleTextCap characters followed by "…" (a surrogate pair is
/// kept whole).
QString accessibleCapped(QStringView text);

/// A widget's accessible object with a text interface over one read-only text: no
/// selection, the caret at 0, no geometry per character. Subclasses give the text.
class ReadOnlyTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    using QAccessibleWidget::QAccessibleWidget;
    using QAccessibleWidget::text;

    void* interface_cast(QAccessible::InterfaceType type) override;
    void selection(int, int* start, int* end) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override;
    int characterCount() const override { return static_cast<int>(readOnlyText().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override;

protected:
    /// The text the interface serves.
    virtual QString readOnlyText() const = 0;
};

/// Makes every TBunDisp an accessible object: role static text, name 数式, and the
/// Japanese reading of its current text (speechOf) as description and as the text of its
/// text interface. Needs the QApplication; calling it again does nothing.
void installDisplayAccessibility();

/// Tells assistive technology that disp's reading changed (after a calculation), so that
/// a screen reader reads the new result.
void announceDisplay(TBunDisp* disp);

}  // namespace nerova
