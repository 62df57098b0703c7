// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/stepsview.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <sstream>

#include "display/qt/BunDisp.h"
#include "display/qt/accessible.h"
#include "shell/commands.h"

namespace nerova {

namespace {

// A row wider than this scrolls within itself rather than widening the window.
constexpr int kMaxRowWidth = 1200;

QString StepsName() { return QCoreApplication::translate("nerova::StepsView", kStepsAccessibleName); }

// The list for assistive technology: named 途中式, its text the lines ("= 2/6+1/6"), its
// description their spoken reading; the rows are its children.
class StepsAccessible : public ReadOnlyTextAccessible {
public:
    explicit StepsAccessible(StepsList* list)
        : ReadOnlyTextAccessible(list, QAccessible::List, StepsName()) {}
    using ReadOnlyTextAccessible::text;

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name: return StepsName();
        case QAccessible::Description: return list()->reading();
        case QAccessible::Value: return list()->plainText();
        default: return QAccessibleWidget::text(t);
        }
    }

protected:
    QString readOnlyText() const override { return list()->plainText(); }

private:
    const StepsList* list() const { return static_cast<const StepsList*>(widget()); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("nerova::StepsList") && object && object->isWidgetType())
        return new StepsAccessible(static_cast<StepsList*>(object));
    return nullptr;
}

}  // namespace

StepsList::StepsList(QWidget* parent) : QWidget(parent), rows_(new QVBoxLayout(this)) {
    static const bool installed = (QAccessible::installFactory(Factory), true);
    (void)installed;
    setObjectName("StepsList");
    rows_->setSizeConstraint(QLayout::SetMinAndMaxSize);
    rows_->setSpacing(2);
    rows_->addStretch(1);
}

void StepsList::show(const StepsView& steps, const QFont& font, const QColor& color, const QColor& background) {
    // The rows stand on the display's own colours, also under a dark desktop theme.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, color);
    setPalette(colours);
    setAutoFillBackground(true);
    while (QLayoutItem* item = rows_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    std::ostringstream text;
    writeStepsText(steps, text);
    if (!steps.ok) text << steps.error << '\n';
    text_ = QString::fromStdString(text.str());
    std::string reading = stepsSpeech(steps);
    if (!steps.ok) reading += (reading.empty() ? "" : "\n") + steps.error + "。";
    reading_ = QString::fromStdString(reading);

    auto note = [this](const std::string& s) {
        auto* label = new QLabel(QString::fromStdString(s), this);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setContentsMargins(4, 2, 4, 2);
        rows_->addWidget(label);
    };
    for (const StepLine& line : steps.lines) {
        if (line.kind == StepLine::Kind::Note) {
            note(line.text);
            continue;
        }
        auto* row = new QWidget(this);
        auto* grid = new QGridLayout(row);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setHorizontalSpacing(4);
        grid->setVerticalSpacing(0);
        auto* equals = new QLabel(line.kind == StepLine::Kind::Step ? QStringLiteral("＝") : QString(), row);
        equals->setFont(font);
        equals->setFixedWidth(QFontMetrics(font).horizontalAdvance(QStringLiteral("＝")) + 2);
        equals->setAccessibleName(line.kind == StepLine::Kind::Step ? tr("イコール") : QString());
        auto* bar = new QScrollBar(Qt::Horizontal, row);
        auto* disp = new TBunDisp(row, bar);
        disp->setObjectName("StepLine");
        disp->setDisplayFont(font, color);
        disp->setBackground(background);
        disp->ApplyFont();
        disp->ShowText(line.text + ";");
        disp->setFixedSize(std::min(disp->drawingWidth() + 4, kMaxRowWidth), disp->controlHeight());
        disp->ShowText(line.text + ";");
        grid->addWidget(equals, 0, 0, Qt::AlignVCenter);
        grid->addWidget(disp, 0, 1, Qt::AlignLeft);
        grid->addWidget(bar, 1, 1);
        grid->setColumnStretch(2, 1);
        rows_->addWidget(row);
    }
    if (!steps.ok) note(steps.error);
    rows_->addStretch(1);
    if (QAccessible::isActive()) {
        QAccessibleEvent description(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&description);
        QAccessibleValueChangeEvent value(this, text_);
        QAccessible::updateAccessibility(&value);
    }
}

StepsWindow::StepsWindow(QMainWindow* owner, TCalcCommands& commands)
    : QWidget(owner, Qt::Tool), owner_(owner), list_(nullptr), toggle_(new QAction(owner)) {
    setObjectName("StepsWindow");
    setWindowTitle(StepsName());
    auto* layout = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("StepsScroll");
    scroll->setWidgetResizable(true);
    scroll->setBackgroundRole(QPalette::Base);
    list_ = new StepsList(scroll);
    scroll->setWidget(list_);
    layout->addWidget(scroll, 1);

    auto* buttons = new QHBoxLayout;
    auto* copyText = new QPushButton(QCoreApplication::translate("nerova::StepsView", "テキストでコピー(&C)"), this);
    copyText->setObjectName("StepsCopyText");
    auto* copyLatex = new QPushButton(QCoreApplication::translate("nerova::StepsView", "LaTeX でコピー(&L)"), this);
    copyLatex->setObjectName("StepsCopyLatex");
    buttons->addStretch(1);
    buttons->addWidget(copyText);
    buttons->addWidget(copyLatex);
    layout->addLayout(buttons);
    connect(copyText, &QPushButton::clicked, this, &StepsWindow::copyText);
    connect(copyLatex, &QPushButton::clicked, this, &StepsWindow::copyLatex);

    auto* copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, &StepsWindow::copyText);
    addAction(copy);

    toggle_->setObjectName("Steps1");
    toggle_->setText(QCoreApplication::translate("nerova::StepsView", "途中式(&T)"));
    toggle_->setCheckable(true);
    toggle_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    toggle_->setShortcutContext(Qt::ApplicationShortcut);
    connect(toggle_, &QAction::toggled, this, [this](bool on) { setVisible(on); });

    if (!commands.history().empty()) text_ = commands.history().front();
    commands.setCalculatedObserver([this](const std::string& text) { follow(text); });
    resize(520, 440);
}

void StepsWindow::follow(const std::string& text) {
    text_ = text;
    if (isVisible()) refresh();
}

void StepsWindow::refresh() {
    if (shownText_ == text_ && !steps_.lines.empty()) return;
    shownText_ = text_;
    steps_ = text_.empty() ? StepsView{{}, true, {}, {}} : stepsOf(text_);
    const auto* main = owner_->findChild<TBunDisp*>("disp");
    const QFont font = main ? main->displayFont() : TBunDisp::defaultFont();
    const QColor color = main ? main->fontColor() : palette().color(QPalette::Text);
    const QColor background = main ? main->background() : palette().color(QPalette::Base);
    list_->show(steps_, font, color, background);
}

void StepsWindow::copyText() {
    QApplication::clipboard()->setText(list_->plainText());
}

void StepsWindow::copyLatex() {
    std::ostringstream out;
    writeStepsLatex(steps_, out);
    QApplication::clipboard()->setText(QString::fromStdString(out.str()));
}

void StepsWindow::showEvent(QShowEvent* event) {
    if (!placed_) {
        // Beside the calculator: on its right, else on its left, below or above it; where
        // none fits the screen, on its right as far as the screen allows.
        placed_ = true;
        const QRect frame = owner_->frameGeometry();
        QRect avail = frame.adjusted(-4000, -4000, 4000, 4000);
        if (const QScreen* screen = owner_->screen()) avail = screen->availableGeometry();
        resize(std::min(width(), avail.width() - 16), std::min(height(), avail.height() - 48));
        const QSize size = frameGeometry().size().expandedTo(this->size());
        const QPoint candidates[] = {
            {frame.right() + 8, frame.top()}, {frame.left() - size.width() - 8, frame.top()},
            {frame.left(), frame.bottom() + 8}, {frame.left(), frame.top() - size.height() - 8}};
        QPoint at = candidates[0];
        bool fits = false;
        for (const QPoint& c : candidates) {
            if (!fits && avail.contains(QRect(c, size))) {
                at = c;
                fits = true;
            }
        }
        if (!fits) {
            at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() - size.width())));
            at.setY(std::clamp(at.y(), avail.top(), std::max(avail.top(), avail.bottom() - size.height())));
        }
        move(at);
    }
    toggle_->setChecked(true);
    refresh();
    QWidget::showEvent(event);
}

void StepsWindow::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) toggle_->setChecked(false);
    QWidget::hideEvent(event);
}

StepsWindow* installStepsView(QMainWindow& window, TCalcCommands& commands) {
    auto* view = new StepsWindow(&window, commands);
    if (auto* menu = window.menuBar()->findChild<QMenu*>("Show1")) menu->addAction(view->toggleAction());
    window.addAction(view->toggleAction());
    return view;
}

}  // namespace nerova
