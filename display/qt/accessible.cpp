// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "display/qt/accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QString>

#include <string>
#include <string_view>

#include "display/qt/BunDisp.h"
#include "display/writers.h"

namespace nerova {

namespace {

// The reading of what the display shows: its text up to the ";" the shell appends.
QString ReadingOf(const TBunDisp& disp) {
    const std::string& text = disp.CurrentText();
    return QString::fromStdString(speechOf(std::string_view(text).substr(0, text.find(';'))));
}

// Read-only text: no selection, the caret at 0, no geometry per character.
class DisplayAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit DisplayAccessible(TBunDisp* disp)
        : QAccessibleWidget(disp, QAccessible::StaticText, QCoreApplication::translate("TBunDisp", kDisplayAccessibleName)) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name: return QCoreApplication::translate("TBunDisp", kDisplayAccessibleName);
        case QAccessible::Description:
        case QAccessible::Value: return Reading();
        default: return QAccessibleWidget::text(t);
        }
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override {
        const QString r = Reading();
        return start < 0 || end < start ? QString() : r.mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(Reading().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = *end = 0;
        return {};
    }

private:
    // Screen readers ask many times for one text; the reading is made once per text.
    QString Reading() const {
        const auto* disp = static_cast<const TBunDisp*>(widget());
        if (disp->CurrentText() != Source) {
            Source = disp->CurrentText();
            Cached = ReadingOf(*disp);
        }
        return Cached;
    }

    mutable std::string Source = "\x01";  // no display text: the first call reads
    mutable QString Cached;
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("TBunDisp") && object && object->isWidgetType())
        return new DisplayAccessible(static_cast<TBunDisp*>(object));
    return nullptr;
}

}  // namespace

void installDisplayAccessibility() {
    static const bool installed = (QAccessible::installFactory(Factory), true);
    (void)installed;
}

void announceDisplay(TBunDisp* disp) {
    if (!QAccessible::isActive()) return;  // nobody listens: spare making the reading
    // Both the description and the value carry the reading; bridges forward either change.
    QAccessibleEvent description(disp, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&description);
    QAccessibleValueChangeEvent value(disp, ReadingOf(*disp));
    QAccessible::updateAccessibility(&value);
}

}  // namespace nerova
