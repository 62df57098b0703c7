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

void* ReadOnlyTextAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

void ReadOnlyTextAccessible::selection(int, int* start, int* end) const { *start = *end = 0; }

QString ReadOnlyTextAccessible::text(int start, int end) const {
    return start < 0 || end < start ? QString() : readOnlyText().mid(start, end - start);
}

QString ReadOnlyTextAccessible::attributes(int, int* start, int* end) const {
    *start = *end = 0;
    return {};
}

namespace {

// The reading of what the display shows: its text up to the ";" the shell appends.
QString ReadingOf(const TBunDisp& disp) {
    const std::string& text = disp.CurrentText();
    return QString::fromStdString(speechOf(std::string_view(text).substr(0, text.find(';'))));
}

class DisplayAccessible : public ReadOnlyTextAccessible {
public:
    explicit DisplayAccessible(TBunDisp* disp)
        : ReadOnlyTextAccessible(disp, QAccessible::StaticText,
                                 QCoreApplication::translate("TBunDisp", kDisplayAccessibleName)) {}
    using ReadOnlyTextAccessible::text;

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name: return QCoreApplication::translate("TBunDisp", kDisplayAccessibleName);
        case QAccessible::Description:
        case QAccessible::Value: return Reading();
        default: return QAccessibleWidget::text(t);
        }
    }

protected:
    QString readOnlyText() const override { return Reading(); }

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
