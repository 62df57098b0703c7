// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/fnerova.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <iostream>

#include "display/qt/BunDisp.h"
#include "display/qt/accessible.h"
#include "display/qt/clipdata.h"
#include "shell/batch.h"
#include "shell/cli.h"
#include "shell/qt/fontdialog.h"
#include "shell/qt/helpwindow.h"
#include "shell/qt/inputwidgets.h"
#include "shell/qt/links.h"
#include "shell/qt/stepsview.h"
#include "shell/history.h"
#include "shell/programfile.h"
#include "shell/settings.h"
#include "shell/textcalc.h"
#include "shell/version.h"

using namespace nerova;

namespace {

const QKeySequence kQuitKey(Qt::CTRL | Qt::Key_Q);

const char* const kBusyNote = QT_TRANSLATE_NOOP("Tfnerova", "計算中… Esc で中断");
const char* const kHint = QT_TRANSLATE_NOOP("Tfnerova", "Enter: 計算  Ctrl+E: 選択を計算");
const char* const kHintTip = QT_TRANSLATE_NOOP("Tfnerova",
    "Enter: 入力を計算します\nCtrl+E: 選択した部分を値に置き換えます\n"
    "Esc: 長い計算を中断します\n↓: 履歴");

// The design font of the labels. The design names a font that Linux lacks; this is its
// nearest Debian counterpart (the input's is the display's default font).
const char* const kLabelFamily = "IPAPMincho";
const int kLabelPixels = 13;

/// Design bounds (left, top, width, height) of the controls in pixels at 96 dpi.
using Bounds = nerova::WindowBounds;
constexpr Bounds kHistBounds{6, 6, 306, 22};
constexpr Bounds kAcBounds{6, 93, 57, 20};
constexpr Bounds kFractionBounds{71, 93, 57, 20};
constexpr Bounds kTaibunBounds{71, 118, 57, 20};
constexpr Bounds kKabunBounds{6, 118, 57, 20};
constexpr Bounds kScrollBounds{8, 72, 121, 16};
constexpr Bounds kLabel1Bounds{134, 100, 140, 13};
constexpr Bounds kLabel2Bounds{134, 118, 196, 13};

void place(QWidget* w, const Bounds& b) { w->setGeometry(b.left, b.top, b.width, b.height); }

// Names for assistive technology; the display names itself (display/qt/accessible.h).
const char* const kInputAccessibleName = QT_TRANSLATE_NOOP("Tfnerova", "入力");
const char* const kScrollAccessibleName = QT_TRANSLATE_NOOP("Tfnerova", "数式のスクロール");

struct CopyAsItem {
    const char* name;  // object name before the menu's suffix
    const char* caption;
    nerova::CopyFormat format;
};
constexpr CopyAsItem kCopyAsItems[] = {
    {"CopyImage", QT_TRANSLATE_NOOP("Tfnerova", "画像(&I)"), nerova::CopyFormat::Image},
    {"CopySvg", QT_TRANSLATE_NOOP("Tfnerova", "SVG(&S)"), nerova::CopyFormat::Svg},
    {"CopyLatex", QT_TRANSLATE_NOOP("Tfnerova", "LaTeX(&L)"), nerova::CopyFormat::Latex},
    {"CopyMathml", QT_TRANSLATE_NOOP("Tfnerova", "MathML(&M)"), nerova::CopyFormat::Mathml},
};

}  // namespace

using nerova::HistCombo;
using nerova::InputEdit;
using nerova::ShortTextDelegate;


Tfnerova::Tfnerova(QWidget* parent)
    : QMainWindow(parent),
      runner_(std::make_unique<nerova::CalcRunner>()) {
    setObjectName("fnerova");
    setWindowTitle("Nerova");
    // Before the display and the input are first asked for.
    nerova::installDisplayAccessibility();
    nerova::installInputAccessibility();
    createControls();
    createMenus();
    // A text an input method commits is a typed text: its first character may begin a
    // new input after a result.
    static_cast<InputEdit&>(*edit).setCommitHandler([this](const QString& text) {
        if (!text.isEmpty()) guarded([this, &text] { keyTyped(text.toUtf8().front()); });
    });
    static_cast<InputEdit&>(*edit).setNoticeHandler([this](const std::string& notice) {
        commands_->showNotice(notice);
    });
    input_ = std::make_unique<nerova::InputLink>(*hist, static_cast<InputEdit&>(*edit),
                                                 [this] { steadyCaretForLongTexts(); });
    history_ = std::make_unique<nerova::HistoryLink>(*hist, *edit);
    display_ = std::make_unique<nerova::DisplayLink>(*disp);
    option_ = std::make_unique<nerova::OptionLink>(*J1);
    commands_ = std::make_unique<TCalcCommands>(*input_, *history_, *display_, *option_);
    commands_->setOwner(&runner_->owner());
    commands_->setNoticeObserver([this](const std::string& notice) { showNotice(notice); });
    connect(runner_.get(), &nerova::CalcRunner::busyChanged, this, &Tfnerova::busyChanged);
    nerova::installStepsView(*this, *commands_);
    flashTime_ = QApplication::cursorFlashTime();
    qApp->installEventFilter(this);

    move(nerova::kDesignLeft, nerova::kDesignTop);
    resize(nerova::kDesignWidth, nerova::kDesignHeight);
    setMinimumWidth(nerova::kMinWidth);
    layoutControls();
    disp->ShowText("");
    hist->setFocus(Qt::OtherFocusReason);
}

Tfnerova::~Tfnerova() {
    qApp->removeEventFilter(this);
    // The controls outlive this object's members and may still signal (the focus leaves
    // them when the window closes); nothing of theirs may reach the commands any more.
    for (QObject* child : findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
    QApplication::setCursorFlashTime(flashTime_);
    closing_ = true;
}

void Tfnerova::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setAutoFillBackground(true);
    client->setBackgroundRole(QPalette::Button);  // the button-face colour of the design
    setCentralWidget(client);

    QFont inputFont = TBunDisp::defaultFont();
    // Results can be a million digits long; digits need no shaping, which keeps the
    // line edit's layout of such texts noticeably faster.
    inputFont.setStyleStrategy(QFont::PreferNoShaping);
    inputFont.setKerning(false);
    client->setFont(inputFont);

    auto* combo = new HistCombo(client, [this] { return commands_->calculating(); });
    hist = combo;
    hist->setObjectName("hist");
    hist->setEditable(true);
    hist->setInsertPolicy(QComboBox::NoInsert);  // the commands keep the history
    hist->setMaxCount(TCalcCommands::kMaxHistory);
    hist->setDuplicatesEnabled(true);
    hist->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    hist->setMinimumContentsLength(1);
    hist->view()->setTextElideMode(Qt::ElideRight);
    hist->setItemDelegate(new ShortTextDelegate(hist));
    place(hist, kHistBounds);
    hist->setLineEdit(new InputEdit(hist));
    edit = hist->lineEdit();
    edit->setObjectName("edit");
    hist->setAccessibleName(tr(kInputAccessibleName));
    edit->setAccessibleName(tr(kInputAccessibleName));
    edit->setMaxLength(INT_MAX);  // results of any length stand in the input
    edit->setCompleter(nullptr);
    edit->setContextMenuPolicy(Qt::CustomContextMenu);
    // The combo box takes the focus leaving a text that equals an entry for a pick of
    // that entry; only a real pick is an edit of the input.
    QObject::disconnect(edit, &QLineEdit::editingFinished, hist, nullptr);
    // Expressions read left to right. Left to itself the line edit guesses the direction
    // from the text, scanning all of it whenever it places the caret or paints: a fifth
    // of the time a keystroke takes when the input holds a million digits. Qt's
    // direction key is the one way to fix the direction of a line edit's text.
    QKeyEvent leftToRight(QEvent::KeyPress, Qt::Key_Direction_L, Qt::NoModifier);
    QCoreApplication::sendEvent(edit, &leftToRight);

    hScrollBar = new QScrollBar(Qt::Horizontal, client);
    hScrollBar->setObjectName("hScrollBar");
    hScrollBar->setAccessibleName(tr(kScrollAccessibleName));
    place(hScrollBar, kScrollBounds);
    // Last in the tab order, so that the keys can scroll the display; a click leaves the
    // focus in the input.
    hScrollBar->setFocusPolicy(Qt::TabFocus);

    auto makeButton = [client](const char* name, const QString& caption, const Bounds& b) {
        auto* button = new QPushButton(caption, client);
        button->setObjectName(name);
        button->setAutoDefault(false);
        place(button, b);
        return button;
    };
    ac = makeButton("ac", tr("AC"), kAcBounds);
    fraction = makeButton("fraction", tr("小数化"), kFractionBounds);
    taibun = makeButton("taibun", tr("帯分数"), kTaibunBounds);
    Kabun = makeButton("Kabun", tr("仮分数"), kKabunBounds);

    QFont labelFont(kLabelFamily);
    labelFont.setStyleHint(QFont::Serif);
    labelFont.setPixelSize(kLabelPixels);
    auto makeLabel = [&](const char* name, const QString& caption, const Bounds& b) {
        auto* label = new QLabel(caption, client);
        label->setObjectName(name);
        label->setFont(labelFont);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(p);
        place(label, b);
        return label;
    };
    Label1 = makeLabel("Label1", QStringLiteral("Nerova Version ") + QLatin1String(nerova::version()), kLabel1Bounds);
    Label2 = makeLabel("Label2", hint(), kLabel2Bounds);
    Label2->setToolTip(hintTip());

    disp = new TBunDisp(client, hScrollBar);
    disp->setObjectName("disp");
    disp->setGeometry(hist->x(), hist->y() + hist->height() + 10, hist->width(), disp->controlHeight());
    disp->setFocusPolicy(Qt::NoFocus);

    // Row by row through the 2×2 buttons: AC, 小数化, then 仮分数, 帯分数.
    setTabOrder(hist, ac);
    setTabOrder(ac, fraction);
    setTabOrder(fraction, Kabun);
    setTabOrder(Kabun, taibun);
    setTabOrder(taibun, hScrollBar);
    ac->setToolTip(tr("入力と答えを 0 にします"));
    fraction->setToolTip(tr("答えを小数で表します"));
    taibun->setToolTip(tr("答えを帯分数（1:2/3 の形）で表します"));
    Kabun->setToolTip(tr("答えを仮分数（5/3 の形）で表します"));

    disp->setDisplayFont(edit->font(), edit->palette().color(QPalette::Text));  // the window's font
    disp->setBackground(edit->palette().color(QPalette::Base));
    disp->ApplyFont();

    connect(ac, &QPushButton::clicked, this, [this] { buttonClick(&TCalcCommands::acClick); });
    connect(fraction, &QPushButton::clicked, this, [this] { buttonClick(&TCalcCommands::fractionClick); });
    connect(taibun, &QPushButton::clicked, this, [this] { buttonClick(&TCalcCommands::taibunClick); });
    connect(Kabun, &QPushButton::clicked, this, [this] { buttonClick(&TCalcCommands::KabunClick); });
    // Typing, deleting and undo arrive as textEdited; a pick from the list as activated.
    // Texts the commands set themselves are set with signals blocked.
    connect(edit, &QLineEdit::textEdited, this, [this] {
        steadyCaretForLongTexts();
        guarded([this] { commands_->histChange(); });
    });
    // A caret the user moves makes a result one to edit (the commands' own moves happen
    // within their commands).
    connect(edit, &QLineEdit::cursorPositionChanged, this, [this] {
        if (!closing_ && commands_) commands_->caretMoved();
    });
    connect(edit, &QLineEdit::selectionChanged, this, [this] {
        if (!closing_ && commands_) commands_->caretMoved();
    });
    connect(hist, &QComboBox::activated, this, [this] {
        steadyCaretForLongTexts();
        guarded([this] {
            commands_->histChange();
            input_->setSelection(input_->text().size(), 0);
        });
    });
    connect(edit, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu->exec(edit->mapToGlobal(pos)); });
}

void Tfnerova::createMenus() {
    auto action = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
        auto* a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
        return a;
    };
    auto command = [this](QMenu* menu, const char* name, const QString& caption, void (TCalcCommands::*op)()) {
        auto* a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, op] { guarded([this, op] { ((*commands_).*op)(); }); });
        return a;
    };

    QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
    file->setObjectName("File1");
    command(file, "N1", tr("ＡＣ(&C)"), &TCalcCommands::acClick);
    command(file, "N2", tr("小数化(&F)"), &TCalcCommands::fractionClick);
    command(file, "N3", tr("帯分数風(&T)"), &TCalcCommands::taibunClick);

    file->addSeparator();
    QAction* quit = file->addAction(tr("終了(&X)"));
    quit->setObjectName("Quit1");
    quit->setShortcut(kQuitKey);
    quit->setShortcutContext(Qt::ApplicationShortcut);  // from the help window as well
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* editMenu = menuBar()->addMenu(tr("編集(&E)"));
    editMenu->setObjectName("Edit1");
    addEditActions(editMenu, 0);

    QMenu* show = menuBar()->addMenu(tr("表示(&V)"));
    show->setObjectName("Show1");
    action(show, "N4", tr("フォント…(&F)"), &Tfnerova::N4Click);
    J1 = action(show, "J1", tr("循環小数(&J)"), &Tfnerova::J1Click);
    J1->setCheckable(true);
    J1->setChecked(true);
    H1 = action(show, "H1", tr("履歴を保存(&H)"), &Tfnerova::H1Click);
    H1->setCheckable(true);
    H1->setChecked(true);

    QMenu* helpMenu = menuBar()->addMenu(tr("ヘルプ(&H)"));
    helpMenu->setObjectName("Help1");
    QAction* usage = helpMenu->addAction(tr("使い方(&U)"));
    usage->setObjectName("Usage1");
    usage->setShortcut(QKeySequence::HelpContents);
    usage->setShortcutContext(Qt::WindowShortcut);
    connect(usage, &QAction::triggered, this, [this] { guarded([this] { helpClick(); }); });
    QAction* about = helpMenu->addAction(tr("バージョン情報(&A)"));
    about->setObjectName("About1");
    connect(about, &QAction::triggered, this, [this] { guarded([this] { aboutClick(); }); });

    // The input line's pop-up menu: the same actions as 編集, in the same order.
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName("PopupMenu");
    addEditActions(PopupMenu, 1);
}

void Tfnerova::addEditActions(QMenu* menu, int which) {
    struct EditItem {
        const char* names[2];  // in 編集, in the pop-up menu
        const char* caption;
        void (Tfnerova::*handler)();
        QKeySequence shortcut;
    };
    const EditItem items[] = {
        {{"Cut1", "KT1"}, QT_TR_NOOP("切り取り(&T)"), &Tfnerova::KT1Click, QKeySequence::Cut},
        {{"Copy1", "KC1"}, QT_TR_NOOP("コピー(&C)"), &Tfnerova::KC1Click, QKeySequence::Copy},
        {{"Paste1", "KP1"}, QT_TR_NOOP("貼り付け(&P)"), &Tfnerova::KP1Click, QKeySequence::Paste},
        {{"SelectAll1", "SelectAll2"}, QT_TR_NOOP("すべて選択(&A)"), &Tfnerova::SelectAll1Click, QKeySequence::SelectAll},
        {{"E1", "K1"}, QT_TR_NOOP("計算(&E)"), &Tfnerova::evaClick, QKeySequence(Qt::CTRL | Qt::Key_E)},
    };
    for (const EditItem& item : items) {
        QAction* a = menu->addAction(tr(item.caption));
        a->setObjectName(item.names[which]);
        // The shortcuts are shown as hints; the input's key filter runs them, since the
        // line edit would otherwise run its own cut and paste.
        a->setShortcut(item.shortcut);
        a->setShortcutContext(Qt::WidgetShortcut);
        const auto handler = item.handler;
        connect(a, &QAction::triggered, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    }
    addCopyAsMenu(menu, which == 0 ? "1" : "2");
}

void Tfnerova::addCopyAsMenu(QMenu* menu, const char* suffix) {
    QMenu* sub = menu->addMenu(tr("形式を選んでコピー(&Y)"));
    sub->setObjectName(QStringLiteral("CopyAs") + QLatin1String(suffix));
    sub->menuAction()->setObjectName(sub->objectName());
    for (const CopyAsItem& item : kCopyAsItems) {
        QAction* a = sub->addAction(tr(item.caption));
        a->setObjectName(QLatin1String(item.name) + QLatin1String(suffix));
        const nerova::CopyFormat format = item.format;
        connect(a, &QAction::triggered, this, [this, format] { guarded([this, format] { copyAs(format); }); });
    }
}

void Tfnerova::copyAs(nerova::CopyFormat format) {
    QApplication::clipboard()->setMimeData(nerova::clipboardData(*disp, format).release());
}

void Tfnerova::steadyCaretForLongTexts() {
    // Texts this long are drawn by InputEdit, whose caret does not blink: Qt's blink
    // would place its repaints by its own drawing, not by the part in view.
    const int wanted = edit->text().size() > InputEdit::kLong ? 0 : flashTime_;
    if (QApplication::cursorFlashTime() != wanted) QApplication::setCursorFlashTime(wanted);
}

QString Tfnerova::hint() const { return tr(kHint); }

bool Tfnerova::recurring() const { return J1->isChecked(); }

void Tfnerova::showServiceStatus(const QString& note) {
    serviceNote_ = note;
    if (!commands_->calculating()) Label2->setText(note);
    Label2->setToolTip(hintTip());
}

QString Tfnerova::hintTip() const {
    // The service's note stays in the tool tip after the line has gone on to other notices.
    const QString tip = tr(kHintTip);
    return serviceNote_.isEmpty() ? tip : serviceNote_ + "\n\n" + tip;
}

void Tfnerova::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const nerova::TCancelledException&) {
        // The user's own request: whoever cancelled has been answered, nothing failed.
    } catch (const std::exception& e) {
        showError(messageOf(e));
    }
}

void Tfnerova::showNotice(const std::string& notice) {
    const QString text = notice.empty() ? hint() : QString::fromStdString(notice);
    Label2->setText(text);
    Label2->setToolTip(notice.empty() ? hintTip() : text);
    // During a calculation the event loop waits: the line is drawn now.
    if (commands_ && commands_->calculating()) Label2->repaint();
}

void Tfnerova::prepareUnattendedClose() {
    unattended_ = true;
    // A dialog's own event loop would keep the program waiting for a user.
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top != this && top->isVisible() && top->isModal()) top->close();
}

void Tfnerova::showError(const std::string& message) {
    QString text = QString::fromStdString(message);
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') text += '.';
    if (unattended_) {
        std::cerr << nerova::messagePrefix() << text.toStdString() << std::endl;
        return;
    }
    if (errorHandler_) {
        errorHandler_(text);
        return;
    }
    QMessageBox::critical(isVisible() ? this : nullptr, QStringLiteral("Nerova"), text);
}

void Tfnerova::busyChanged(bool busy) {
    // A calculation that changed the display is read out; typing is not (it runs no
    // calculation), nor is a macro's calculation, which leaves the display alone.
    if (busy) shownBefore_ = disp->CurrentText();
    else if (disp->CurrentText() != shownBefore_) nerova::announceDisplay(disp);
    edit->setReadOnly(busy);
    showNotice(busy ? tr(kBusyNote).toStdString() : std::string());
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QApplication::restoreOverrideCursor();
        if (closeWhenDone_) QTimer::singleShot(0, this, &QWidget::close);
    }
}

// ---------------------------------------------------------------------------------
// Events

void Tfnerova::setVisible(bool visible) {
    if (visible && firstShow_) {
        firstShow_ = false;
        // Before the native window exists: a position set then is the frame's, and the
        // window manager places the frame there. Set later, before the window manager has
        // framed the window, it would place the client area there, and every restart
        // would move the window by its frame.
        loadSettings();
        if (!batchFiles_.empty()) QTimer::singleShot(0, this, &Tfnerova::runBatchFiles);
    }
    QMainWindow::setVisible(visible);
}

void Tfnerova::runBatchFiles() {
    using Clock = std::chrono::steady_clock;
    std::size_t done = 0;
    bool ran = false, cancelled = false;
    Clock::time_point shown{};
    nerova::BatchControl control;
    control.progress = [&](std::size_t written, std::size_t read) {
        done = written;
        // The line is drawn at the pump's pace; a new text for every short line is waste.
        const auto now = Clock::now();
        if (now - shown < std::chrono::milliseconds(100)) return;
        shown = now;
        showNotice(nerova::batchProgressNotice(written, read));
    };
    guarded([&] {
        try {
            ran = commands_->runCalculation([&] {
                const std::string out = batchFiles_.size() > 1 ? batchFiles_[1] : std::string();
                nerova::runBatch(batchFiles_[0], out, std::cin, std::cout, 1, control);
            });
        } catch (const nerova::TCancelledException&) {
            ran = cancelled = true;  // Esc, the close, SIGTERM or SIGINT: the whole run ends
        }
    });
    if (ran) showNotice(nerova::batchEndNotice(done, cancelled));
}

void Tfnerova::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutControls();
    fitFrameOnce();
}

void Tfnerova::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    fitFrameOnce();
}

void Tfnerova::fitFrameOnce() {
    // The saved bounds were fitted before the frame was known; the first framed
    // position is checked once more with the frame.
    if (!frameFitted_ && isVisible() && !closing_) frameFitted_ = session_.keepFrameOnScreen();
}

void Tfnerova::layoutControls() {
    if (closing_ || !disp) return;
    const int g = ac->height() / 2;
    // Linux window frames lie outside the window's width, so the margins are measured
    // from the client edges: the input keeps its left margin on the right as well.
    const int width = std::max(this->width() - 2 * hist->x(), 1);
    const bool widthChanged = width != disp->width();
    // The input line grows with its font from its designed height.
    const int grown = QFontMetrics(hist->font()).height() - QFontMetrics(TBunDisp::defaultFont()).height();
    hist->resize(width, kHistBounds.height + std::max(grown, 0));
    disp->setGeometry(hist->x(), hist->y() + hist->height() + g, width, disp->controlHeight());
    hScrollBar->setGeometry(disp->x(), disp->y() + disp->height(), disp->width(), hScrollBar->height());
    ac->move(ac->x(), hScrollBar->y() + hScrollBar->height() + g);
    fraction->move(fraction->x(), ac->y());
    Label1->move(Label1->x(), ac->y() + ac->height() - Label1->height());
    Kabun->move(Kabun->x(), ac->y() + ac->height() + g);
    taibun->move(taibun->x(), Kabun->y());
    // The information line reaches to the input's right edge: a notice may be longer
    // than the designed width.
    Label2->setGeometry(Label2->x(), taibun->y(), std::max(kLabel2Bounds.width, hist->x() + width - Label2->x()),
                        Label2->height());
    const int clientHeight = taibun->y() + taibun->height() + g / 2;
    const int menuHeight = menuBar()->isVisible() || !menuBar()->isNativeMenuBar()
                               ? menuBar()->sizeHint().height()
                               : 0;
    // The height follows the content: the user can change the width only.
    setFixedHeight(menuHeight + clientHeight);
    if (widthChanged) guarded([this] { commands_->refreshDisplay(); });
}

void Tfnerova::closeEvent(QCloseEvent* event) {
    if (commands_->calculating()) {
        // End the calculation first; the window closes as soon as it has returned.
        closeWhenDone_ = true;
        runner_->cancel();
        event->ignore();
        return;
    }
    saveSettings();
    closing_ = true;
    event->accept();
}

bool Tfnerova::eventFilter(QObject* watched, QEvent* event) {
    if (watched == hScrollBar && event->type() == QEvent::KeyPress) {
        // Qt's scroll bars turn the arrow keys round for vertical use (Up goes back);
        // on this horizontal bar Left goes back and Right forward.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right)) {
            hScrollBar->triggerAction(key->key() == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                                 : QAbstractSlider::SliderSingleStepAdd);
            return true;
        }
    }
    // Keys reach the combo box (the input's focus proxy), which hands them to its line
    // edit directly; tools and tests may send them to the line edit itself.
    if (watched != edit && watched != hist) return false;
    if (event->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(event)->reason() == Qt::MenuBarFocusReason) {
        // The menu bar opened from the keyboard takes the focus; the line edit would drop
        // its selection, which the menu's commands act on. Treated as the pop-up that
        // the mouse opens, it keeps it.
        QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
        QCoreApplication::sendEvent(watched, &popup);
        return true;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrlE = key->key() == Qt::Key_E && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
    const bool ours = key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Copy) ||
                      key->matches(QKeySequence::Paste) || ctrlE;
    if (event->type() == QEvent::ShortcutOverride) {
        // Keep these keys for the input line's own key press, handled below.
        if (ours) event->accept();
        // The line edit would keep Ctrl+Q for itself; 終了 is the window's.
        return QKeySequence(key->keyCombination()) == kQuitKey;
    }
    if (ours) {
        if (key->matches(QKeySequence::Cut)) guarded([this] { KT1Click(); });
        else if (key->matches(QKeySequence::Copy)) guarded([this] { KC1Click(); });
        else if (key->matches(QKeySequence::Paste)) guarded([this] { KP1Click(); });
        else guarded([this] { commands_->eva(); });
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        guarded([this] { keyTyped('\r'); });
        return true;
    }
    const QString text = key->text();
    if (text.isEmpty() || !text.front().isPrint()) return false;
    // An input method's or a keyboard's full-width forms enter as ASCII, so that what is
    // calculated is what the display shows.
    const QString ascii = QString::fromStdString(nerova::asciiForms(text.toStdString()));
    if (ascii != text) {
        QKeyEvent typed(key->type(), key->key(), key->modifiers(), ascii, key->isAutoRepeat(),
                        static_cast<ushort>(key->count()));
        QCoreApplication::sendEvent(edit, &typed);
        return true;
    }
    guarded([this, &text] { keyTyped(text.toUtf8().front()); });
    return false;
}

void Tfnerova::keyTyped(char key) { commands_->OnKeyPress(key); }

// ---------------------------------------------------------------------------------
// Clipboard and selection

// With nothing selected, cut and copy leave the clipboard alone, as edit controls do.
void Tfnerova::KT1Click() {
    if (commands_->calculating() || !edit->hasSelectedText()) return;
    QApplication::clipboard()->setText(edit->selectedText());
    input_->replaceSelection("");
    commands_->inputEdited();
    commands_->histChange();
}

void Tfnerova::KC1Click() {
    if (edit->hasSelectedText()) QApplication::clipboard()->setText(edit->selectedText());
}

void Tfnerova::KP1Click() {
    if (commands_->calculating()) return;
    const QMimeData* pasted = QApplication::clipboard()->mimeData();
    // Without text on the clipboard nothing is inserted and the selection stays.
    if (!pasted || !pasted->hasText()) return;
    const std::optional<std::string> text = nerova::pastedText(pasted->text().toStdString());
    if (!text) {
        commands_->showNotice(nerova::pasteTooLongNotice());  // refused whole, never cut
        return;
    }
    input_->replaceSelection(*text);
    commands_->inputEdited();
    commands_->histChange();
}

void Tfnerova::SelectAll1Click() { edit->selectAll(); }

void Tfnerova::evaClick() { commands_->eva(); }

void Tfnerova::buttonClick(void (TCalcCommands::*command)()) {
    guarded([this, command] { ((*commands_).*command)(); });
    // Whatever the command did, what is typed next goes to the input.
    if (!closing_) input_->setFocus();
}

void Tfnerova::helpClick() {
    if (!help_) help_ = new nerova::HelpWindow(this);
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void Tfnerova::aboutClick() { nerova::HelpWindow::showAbout(this); }

void Tfnerova::J1Click() {
    // QAction toggles the check mark itself; nothing else happens until 小数化.
}

void Tfnerova::N4Click() {
    if (commands_->calculating()) return;
    if (const auto choice = nerova::chooseFont(this, {edit->font(), inputColor_}, edit->palette().color(QPalette::Text)))
        applyInputFont(choice->font, choice->color);
    disp->ApplyFont();
    layoutControls();
    commands_->refreshDisplay();
}

void Tfnerova::applyInputFont(const QFont& font, const std::optional<QColor>& color) {
    hist->setFont(font);
    inputColor_ = color;
    QPalette p = QApplication::palette(edit);
    if (color) p.setColor(QPalette::Text, *color);
    edit->setPalette(p);
    // The display draws on the theme's base (white on a light theme, as designed; dark
    // on a dark one) in the palette's text colour or the one the user chose.
    disp->setDisplayFont(font, p.color(QPalette::Text));
    disp->setBackground(p.color(QPalette::Base));
}

// ---------------------------------------------------------------------------------
// Settings

namespace {

int pointSizeOf(const QFont& font, const QWidget* w) {
    if (font.pointSize() > 0) return font.pointSize();
    return static_cast<int>(std::lround(font.pixelSize() * 72.0 / w->logicalDpiY()));
}

int32_t settingOf(const std::optional<QColor>& c) {
    return c ? nerova::encodeColor({c->red(), c->green(), c->blue()}) : nerova::kWindowTextColor;
}

std::optional<QColor> colorOf(int32_t v) {
    const auto rgb = nerova::decodeColor(v);
    if (!rgb) return std::nullopt;
    return QColor(rgb->red, rgb->green, rgb->blue);
}

std::string programPath() {
    return startedProgramFile(QCoreApplication::arguments().value(0).toStdString(),
                       QCoreApplication::applicationFilePath().toStdString());
}

std::string programSettingsPath() { return settingsPath(programPath()); }
std::string programHistoryPath() { return nerova::historyPath(programPath()); }

}  // namespace

FormSettings Tfnerova::currentSettings() const {
    FormSettings s;
    session_.storeBounds(s);
    s.junkan = J1->isChecked();
    s.fontName = edit->font().family().toStdString();
    s.fontSize = pointSizeOf(edit->font(), this);
    s.fontColor = settingOf(inputColor_);
    s.keepHistory = H1->isChecked();
    return s;
}

void Tfnerova::loadSettings() {
    const FormSettings before = currentSettings();
    FormSettings s = before;
    if (settings_) {
        s = *settings_;
    } else {
        const std::string file = programSettingsPath();
        // A file over the cap is broken: the defaults stand, and the save leaves it alone.
        if (!readSettings(file, s)) std::cerr << nerova::messagePrefix() << nerova::text(nerova::kSettingsTooLarge, file) << '\n';
        settings_ = s;
    }
    settingsLoaded_ = true;
    session_.restore(s);
    J1->setChecked(s.junkan);
    H1->setChecked(s.keepHistory);
    if (s.keepHistory) nerova::restoreHistory(programHistoryPath(), *commands_);

    // The design font is set by pixels; its whole point size only replaces it when the
    // file says something else, so that a save and load keep the 14-pixel design.
    QFont font = edit->font();
    if (s.fontName != before.fontName) font.setFamily(QString::fromStdString(s.fontName));
    if (s.fontSize != before.fontSize && s.fontSize > 0) font.setPointSize(s.fontSize);
    applyInputFont(font, colorOf(s.fontColor));
    disp->ApplyFont();
    layoutControls();
    commands_->refreshDisplay();
}

void Tfnerova::H1Click() {
    // Turned off, the kept history goes at once; turned on, it is written at the close.
    if (!H1->isChecked()) nerova::forgetHistory(programHistoryPath());
}

void Tfnerova::saveSettings() {
    if (!settingsLoaded_ || settingsSaved_) return;
    settingsSaved_ = true;
    // The history is kept whatever the window's state; a failed write is reported as the
    // settings' is.
    if (H1->isChecked()) {
        try {
            nerova::keepHistory(programHistoryPath(), *commands_);
        } catch (const std::exception& e) {
            showError(messageOf(e));
        }
    }
    if (!session_.boundsSavable()) return;
    try {
        writeSettings(programSettingsPath(), currentSettings());
    } catch (const std::exception& e) {
        showError(messageOf(e));
    }
}
