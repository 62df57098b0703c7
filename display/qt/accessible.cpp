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
#include "engine/utf8.h"

namespace nerova {

QString accessibleCapped(QStringView text) {
    if (text.size() <= kAccessibleTextCap) return text.toString();
    const qsizetype n = text.at(kAccessibleTextCap).isLowSurrogate() ? kAccessibleTextCap - 1 : kAccessibleTextCap;
    return text.left(n).toString() + QString::fromUtf8(utf8::kEllipsis.data(), utf8::kEllipsis.size());
}

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

// The reading of what the display shows: its text up to the ";" the shell appends, at
// most kAccessibleTextCap bytes of it; a text cut short is read with its "…" ("以下略").
QString ReadingOf(const TBunDisp& disp) {
    const std::string_view text = std::string_view(disp.CurrentText()).substr(0, disp.CurrentText().find(';'));
    const std::string_view head = utf8::cut(text, kAccessibleTextCap);
    if (head.size() == text.size()) return QString::fromStdString(speechOf(text));
    return QString::fromStdString(speechOf(std::string(head).append(utf8::kEllipsis)));
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
