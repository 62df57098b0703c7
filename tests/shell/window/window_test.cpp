// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The main window driven as a user would: keys, clicks, menu actions, resizing.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QAbstractItemView>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QLibraryInfo>
#include <QLocale>
#include <QKeyEvent>
#include <QInputMethodEvent>
#include <QtTest>

#include <fstream>
#include <memory>

#include "display/qt/BunDisp.h"
#include "display/qt/accessible.h"
#include "shell/batch.h"
#include "shell/qt/fnerova.h"
#include "tests/shell/window/window_folders.h"
#include "shell/qt/calcrunner.h"
#include "shell/qt/fontdialog.h"
#include "shell/qt/helpwindow.h"
#include "shell/qt/inputwidgets.h"
#include "shell/textcalc.h"
#include "shell/version.h"

using namespace nerova;  // the code under test

class WindowTest : public QObject {
    Q_OBJECT

private:
    // The font dialog about to open will be given IPAMincho 30 and closed with OK or Cancel.
    void answerFontDialog(bool ok) {
        QTimer::singleShot(0, this, [ok] {
            auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setCurrentFont(QFont("IPAMincho", 30));
            ok ? dialog->accept() : dialog->reject();
        });
    }

    WindowFolders folders_;
    std::unique_ptr<Tfnerova> w_;
    QStringList errors_;

    QLineEdit* edit() { return w_->findChild<QLineEdit*>("edit"); }
    QComboBox* hist() { return w_->findChild<QComboBox*>("hist"); }
    QPushButton* button(const char* name) { return w_->findChild<QPushButton*>(name); }
    QWidget* widget(const char* name) { return w_->findChild<QWidget*>(name); }
    TBunDisp* disp() { return w_->findChild<TBunDisp*>("disp"); }
    QAction* action(const char* name) { return w_->findChild<QAction*>(name); }
    QLabel* label(const char* name) { return w_->findChild<QLabel*>(name); }

    void type(const QString& text) {
        edit()->clear();
        QTest::keyClicks(hist(), text);
    }
    void enter(const QString& text) {
        type(text);
        QTest::keyClick(hist(), Qt::Key_Return);
    }
    // The input reads shown; Enter turns it into result.
    void enterShown(const char* shown, const char* result) {
        QCOMPARE(edit()->text(), QString(shown));
        QTest::keyClick(hist(), Qt::Key_Return);
        QCOMPARE(edit()->text(), QString(result));
    }
    static int bottom(QWidget* x) { return x->y() + x->height(); }
    // Closes the window (which saves) and opens a new one, as a restart does.
    void restart() {
        w_->close();
        w_.reset();
        w_ = std::make_unique<Tfnerova>();
        w_->setErrorHandler([this](const QString& m) { errors_ << m; });
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }

private slots:
    void initTestCase() { QVERIFY(folders_.use()); }

    QString historyFile() const { return folders_.state.path() + "/window_tests/history"; }

    void init() {
        // Each test starts from the design: no settings or history left by the one before.
        QFile::remove(folders_.config.path() + "/window_tests.ini");
        QFile::remove(historyFile());
        errors_.clear();
        w_ = std::make_unique<Tfnerova>();
        w_->setErrorHandler([this](const QString& m) { errors_ << m; });
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        w_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w_.get()));
    }

    void cleanup() { w_.reset(); }

    void typingAndEnterShowTheResultAndTypesetIt() {
        type("1/3+1/6");
        QCOMPARE(disp()->CurrentText(), std::string("1/3+1/6;"));  // the display follows typing
        QTest::keyClick(hist(), Qt::Key_Return);
        QCOMPARE(edit()->text(), QString("1/2"));
        QCOMPARE(disp()->CurrentText(), std::string("1/2;"));
        QCOMPARE(hist()->count(), 1);
        QCOMPARE(hist()->itemText(0), QString("1/3+1/6"));
        QCOMPARE(edit()->cursorPosition(), 3);
        QVERIFY(!w_->commands().failed());

        enter("1+");
        QVERIFY(w_->commands().failed());
        QVERIFY(edit()->text() != "1+");
        QCOMPARE(disp()->CurrentText(), std::string("1+;"));
        QVERIFY(errors_.isEmpty());  // calculation errors are never dialogs
    }

    void historyPickPutsTheEntryIntoTheInput() {
        enter("1+1");
        enter("2+2");
        QCOMPARE(hist()->count(), 2);
        QCOMPARE(edit()->text(), QString("4"));
        hist()->setFocus();
        QTest::keyClick(hist(), Qt::Key_Down);  // steps into the list
        QVERIFY(edit()->text() == "2+2" || edit()->text() == "1+1");
        QCOMPARE(disp()->CurrentText(), edit()->text().toStdString() + ";");
        QCOMPARE(hist()->count(), 2);  // picking does not add entries
    }

    // Qt's combo box treats the focus leaving its edit field as a pick when the text
    // equals an entry; that is no edit of the input, and the window may be gone by then.
    void focusLeavingTheInputIsNoEdit() {
        enter("0.5");  // the input becomes 1/2; 0.5 is the history's entry 0
        QTest::mouseClick(button("fraction"), Qt::LeftButton);
        QCOMPARE(edit()->text(), QString("0.5"));
        QVERIFY(w_->commands().decimalShown());
        const auto shown = disp()->CurrentText();
        button("ac")->setFocus();
        QVERIFY(!edit()->hasFocus());
        QVERIFY(w_->commands().decimalShown());
        QCOMPARE(disp()->CurrentText(), shown);

        hist()->setFocus();
        enter("1");  // input and entry 0 are both "1", and the input has the focus
        QVERIFY(edit()->hasFocus());
        w_.reset();  // must not reach the commands of a window half destroyed
    }

    void buttonsConvertTheResult() {
        enter("1/3");
        QTest::mouseClick(button("fraction"), Qt::LeftButton);
        QVERIFY2(edit()->text().contains('['), qPrintable(edit()->text()));
        QVERIFY(w_->commands().decimalShown());
        QVERIFY(edit()->hasFocus());

        action("J1")->trigger();  // the option off: the truncated form, nothing evaluated
        QVERIFY(!action("J1")->isChecked());
        QTest::mouseClick(button("fraction"), Qt::LeftButton);
        QVERIFY2(edit()->text().endsWith(QString::fromUtf8("…")), qPrintable(edit()->text()));
        QCOMPARE(hist()->count(), 1);

        QTest::mouseClick(button("Kabun"), Qt::LeftButton);
        QCOMPARE(edit()->text(), QString("1/3"));
        QCOMPARE(hist()->count(), 1);

        enter("7/2");
        QTest::mouseClick(button("taibun"), Qt::LeftButton);
        QVERIFY2(edit()->text().contains(':'), qPrintable(edit()->text()));

        QTest::mouseClick(button("ac"), Qt::LeftButton);
        QCOMPARE(edit()->text(), QString("0"));
        QCOMPARE(disp()->CurrentText(), std::string("0;"));
        QCOMPARE(w_->commands().current().ToImproperText(), std::string("0"));
    }

    void mainMenuItemsRunTheCommands() {
        enter("1/4");
        action("N2")->trigger();
        QCOMPARE(edit()->text(), QString("0.25"));
        action("N1")->trigger();
        QCOMPARE(edit()->text(), QString("0"));
        type("5/4");
        action("N3")->trigger();
        QVERIFY(edit()->text().contains(':'));
        type("2*3");
        action("SelectAll1")->trigger();
        QCOMPARE(edit()->selectedText(), QString("2*3"));
        action("E1")->trigger();
        QCOMPARE(edit()->text(), QString("6"));
    }

    void ctrlEEvaluatesTheSelection() {
        type("x=1/2+1/3");
        edit()->setSelection(2, 7);
        QTest::keyClick(hist(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(edit()->text(), QString("x=5/6"));
        QCOMPARE(disp()->CurrentText(), std::string("x=5/6;"));
        QCOMPARE(hist()->count(), 0);

        // Selections are counted in characters on screen and in UTF-8 bytes by the commands:
        // texts before and after the selection, of two, three and four bytes a character,
        // come through whole.
        const QString before = QString::fromUtf8("é あ😀"), after = QString::fromUtf8("😀い");
        edit()->setText(before + "1/2+1/3" + after);  // QTest types ASCII only
        edit()->setSelection(static_cast<int>(before.size()), 7);
        QTest::keyClick(hist(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(edit()->text(), before + "5/6" + after);
        QCOMPARE(disp()->CurrentText(), (before + "5/6" + after).toStdString() + ";");

        type("x=5/6");
        // With nothing selected Ctrl+E changes nothing (and does not move the caret home).
        edit()->setCursorPosition(1);
        QTest::keyClick(hist(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(edit()->text(), QString("x=5/6"));
    }

    void clipboardShortcuts() {
        QClipboard* clip = QApplication::clipboard();
        type("12345");
        clip->setText("keep");
        edit()->setCursorPosition(2);
        // Nothing selected: cut and copy leave the clipboard alone, as edit controls do.
        QTest::keyClick(hist(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(edit()->text(), QString("12345"));
        QCOMPARE(clip->text(), QString("keep"));
        QTest::keyClick(hist(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clip->text(), QString("keep"));
        action("Copy1")->trigger();
        action("Cut1")->trigger();
        QCOMPARE(clip->text(), QString("keep"));
        QCOMPARE(edit()->text(), QString("12345"));

        edit()->setSelection(1, 2);
        QTest::keyClick(hist(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clip->text(), QString("23"));
        QCOMPARE(edit()->text(), QString("12345"));
        QTest::keyClick(hist(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(edit()->text(), QString("145"));
        QCOMPARE(disp()->CurrentText(), std::string("145;"));

        // A paste is taken whole: a million digits arrive as a million digits, line breaks
        // as blanks, full-width forms as ASCII, up to the first null character.
        struct Row {
            QString clipboard;
            QString inserted;
        };
        const Row rows[] = {
            {QString(1000000, '7'), QString(1000000, '7')},
            {QString(1500, QChar(0x3042)), QString(1500, QChar(0x3042))},
            {QString::fromUtf8("１／３＋１／６"), QString("1/3+1/6")},
            {QString("12") + QChar(0) + "34", QString("12")},
        };
        for (const Row& row : rows) {
            edit()->clear();
            clip->setText(row.clipboard);
            QTest::keyClick(hist(), Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(edit()->text().size(), row.inserted.size());
            QVERIFY(edit()->text() == row.inserted);
        }
        QCOMPARE(disp()->CurrentText(), std::string("12;"));

        // No text on the clipboard: nothing is inserted and the selection stays.
        type("123");
        edit()->setSelection(1, 1);
        auto* picture = new QMimeData;
        picture->setData("image/png", QByteArray("\x89PNG"));
        clip->setMimeData(picture);
        QTest::keyClick(hist(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit()->text(), QString("123"));
        QCOMPARE(edit()->selectedText(), QString("2"));
    }

    // Opened from the keyboard, the menu bar takes the focus; its commands must still
    // act on the input's selection, as they do when opened with the mouse.
    void editMenuFromTheKeyboardKeepsTheSelection() {
        QClipboard* clip = QApplication::clipboard();
        clip->setText("keep");
        type("1/2+1/3");
        edit()->selectAll();
        w_->menuBar()->setFocus(Qt::MenuBarFocusReason);  // what Alt does
        action("Copy1")->trigger();
        QCOMPARE(clip->text(), QString("1/2+1/3"));
        w_->menuBar()->setFocus(Qt::MenuBarFocusReason);
        action("E1")->trigger();
        QCOMPARE(edit()->text(), QString("5/6"));
    }

    // Line breaks in pasted or dropped text become blanks: the value is that of what the
    // display shows.
    void pastedAndDroppedLineBreaksAreBlanks() {
        QApplication::clipboard()->setText("1/2\n+1/3\n");
        edit()->clear();
        QTest::keyClick(hist(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit()->text(), QString("1/2 +1/3 "));
        QCOMPARE(disp()->CurrentText(), std::string("1/2 +1/3 ;"));
        QTest::keyClick(hist(), Qt::Key_Return);
        QCOMPARE(edit()->text(), QString("5/6"));

        edit()->clear();
        QMimeData dropped;
        dropped.setText("1/4\r\n+1/4");
        const QPoint at = edit()->rect().center();
        QDragEnterEvent enterEvent(at, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit(), &enterEvent);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit(), &drop);
        enterShown("1/4 +1/4", "1/2");
    }

    // A failure message stands selected, so that the next keystroke replaces it rather
    // than being read after it; a result does not.
    void whatFollowsAFailureReplacesIt() {
        enter("1/0");
        QCOMPARE(edit()->selectedText(), edit()->text());
        QTest::keyClicks(hist(), "+1");
        QTest::keyClick(hist(), Qt::Key_Return);
        QCOMPARE(edit()->text(), QString("1"));
        QVERIFY(!edit()->hasSelectedText());
        QTest::keyClicks(hist(), "+1");
        QTest::keyClick(hist(), Qt::Key_Return);
        QCOMPARE(edit()->text(), QString("2"));  // an operator continues from a result

        type("2*1/0");
        edit()->setSelection(2, 3);
        QTest::keyClick(hist(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(edit()->text().left(2), QString("2*"));
        QVERIFY(edit()->hasSelectedText());
        QTest::keyClicks(hist(), "3");
        QTest::keyClick(hist(), Qt::Key_Return);
        QCOMPARE(edit()->text(), QString("6"));

        QTest::mouseClick(button("ac"), Qt::LeftButton);
        QTest::keyClicks(hist(), "7");
        QCOMPARE(edit()->text(), QString("7"));
    }

    // Text the calculation did not use is named in the information line until the next
    // edit; a long result gives its length there.
    void theInformationLineNamesUnusedTextAndLongResults() {
        const QString hintText = label("Label2")->text();
        enter("2x3");
        QCOMPARE(edit()->text(), QString("2"));
        QCOMPARE(label("Label2")->text(), QString::fromUtf8("「x3」は計算に使っていません"));
        QVERIFY(label("Label2")->width() >= label("Label2")->sizeHint().width());
        QTest::keyClicks(hist(), "+1");
        QCOMPARE(label("Label2")->text(), hintText);
        enter("(10^1500)/7");
        QCOMPARE(label("Label2")->text(), QString::fromUtf8("分子 1,501 桁、分母 1 桁"));
        enter("2^10");
        QCOMPARE(label("Label2")->text(), hintText);
    }

    // While a long expression is typed, the display shows the part being typed.
    void theDisplayFollowsTheCaret() {
        QString expression;
        for (int i = 1; i <= 40; ++i) expression += QString::number(i) + "+";
        type(expression);
        auto* bar = qobject_cast<QScrollBar*>(widget("hScrollBar"));
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QTest::keyClick(hist(), Qt::Key_Home);
        QTest::keyClick(hist(), Qt::Key_Delete);  // an edit at the start brings the start back
        QCOMPARE(bar->value(), 0);
    }

    void layoutFollowsTheDesign() {
        QWidget* h = hist();
        QWidget* d = disp();
        QWidget* bar = widget("hScrollBar");
        QWidget* ac = button("ac");
        QWidget* kabun = button("Kabun");
        QWidget* taibun = button("taibun");
        // Left, width and height as designed (the layout sets the tops).
        struct Row {
            const char* name;
            int left, width, height;
        } const rows[] = {
            {"ac", 6, 57, 20},     {"fraction", 71, 57, 20}, {"taibun", 71, 57, 20},
            {"Kabun", 6, 57, 20},  {"Label1", 134, 140, 13},
            {"Label2", 134, -1, 13},  // reaches the input's right edge (at least 196)
            {"hist", 6, -1, 22},
            {"hScrollBar", 6, -1, 16},  // designed at 8; the layout puts it under the display
        };
        for (const Row& row : rows) {
            QWidget* x = widget(row.name);
            QVERIFY2(x, row.name);
            QCOMPARE(x->x(), row.left);
            if (row.width >= 0) QCOMPARE(x->width(), row.width);
            QCOMPARE(x->height(), row.height);
        }
        QCOMPARE(widget("Label2")->x() + widget("Label2")->width(), h->x() + h->width());
        const int g = ac->height() / 2;
        QCOMPARE(g, 10);
        QCOMPARE(d->y(), bottom(h) + g);
        QCOMPARE(bar->y(), bottom(d));
        QCOMPARE(ac->y(), bottom(bar) + g);
        QCOMPARE(button("fraction")->y(), ac->y());
        QCOMPARE(bottom(label("Label1")), bottom(ac));
        QCOMPARE(kabun->y(), bottom(ac) + g);
        QCOMPARE(taibun->y(), kabun->y());
        QCOMPARE(label("Label2")->y(), taibun->y());
        QCOMPARE(w_->centralWidget()->height(), bottom(taibun) + g / 2);
        QCOMPARE(d->width(), h->width());
        QCOMPARE(bar->width(), h->width());
        QCOMPARE(h->x() + h->width() + h->x(), w_->width());  // equal margins left and right

        // Widening widens the input, the display and the bar; the height stays.
        const int width = h->width();
        const int height = w_->height();
        w_->resize(w_->width() + 100, w_->height() + 50);
        QTRY_COMPARE(h->width(), width + 100);
        QCOMPARE(d->width(), width + 100);
        QCOMPARE(bar->width(), width + 100);
        QCOMPARE(w_->height(), height);
        QCOMPARE(ac->x(), 6);  // no left position moves

        // The window keeps the width of its two columns of buttons.
        w_->resize(50, w_->height());
        QTRY_COMPARE(w_->width(), 200);
        QCOMPARE(h->width(), 200 - 2 * h->x());
    }

    // The layout typesets the display again for a new width only: setting the height
    // causes further size notifications, and a long text would be typeset each time.
    void layoutTypesetsAgainOnlyForANewWidth() {
        type("1/2");
        {
            const QSignalBlocker quiet(edit());
            edit()->setText("3/4");  // not an edit: the display does not follow by itself
        }
        QResizeEvent sameSize(w_->size(), w_->size());
        QApplication::sendEvent(w_.get(), &sameSize);
        QCOMPARE(disp()->CurrentText(), std::string("1/2;"));
        w_->resize(w_->width() + 30, w_->height());
        QTRY_COMPARE(disp()->CurrentText(), std::string("3/4;"));
    }

    void tabOrderAndCaptions() {
        QCOMPARE(w_->windowTitle(), QString("Nerova"));
        QCOMPARE(button("ac")->text(), QString("AC"));
        QCOMPARE(button("fraction")->text(), QString::fromUtf8("小数化"));
        QCOMPARE(button("taibun")->text(), QString::fromUtf8("帯分数"));
        QCOMPARE(button("Kabun")->text(), QString::fromUtf8("仮分数"));
        QCOMPARE(label("Label1")->text(), QString("Nerova Version 2.3.2"));
        QVERIFY(action("J1")->isChecked());
        QCOMPARE(action("K1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(hist()));
        // The scroll bar takes its turn when it is shown (a drawing wider than the display).
        type(QString(200, '7'));
        QVERIFY(widget("hScrollBar")->isVisible());
        // Row by row through the 2×2 buttons.
        QWidget* order[] = {hist(), button("ac"), button("fraction"), button("Kabun"), button("taibun"),
                            widget("hScrollBar"), hist()};
        for (int i = 0; i + 1 < 7; ++i) {
            QCOMPARE(QApplication::focusWidget(), order[i]);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), order[6]);
        auto* bar = qobject_cast<QScrollBar*>(widget("hScrollBar"));
        bar->setFocus(Qt::TabFocusReason);
        QTest::keyClick(bar, Qt::Key_Home);
        QTest::keyClick(bar, Qt::Key_Right);  // the focused bar scrolls the display
        QCOMPARE(bar->value(), bar->singleStep());
        QTest::keyClick(bar, Qt::Key_End);
        QTest::keyClick(bar, Qt::Key_Left);
        QCOMPARE(bar->value(), bar->maximum() - bar->singleStep());
    }

    // Every menu item of the design: its menu, name, caption and order. The main menu has
    // no shortcuts; the input's pop-up menu shows the four it handles.
    void menusAsDesigned() {
        struct Row {
            const char* menu;
            QStringList items;  // object name, caption, shortcut (empty: none)
        };
        const Row rows[] = {
            {"File1", {"N1", "ＡＣ(&C)", "", "N2", "小数化(&F)", "", "N3", "帯分数風(&T)", "", "", "", "",
                       "Quit1", "終了(&X)", "Ctrl+Q"}},
            // The edit menu and the pop-up menu: the same actions in the same order.
            {"Edit1", {"Cut1", "切り取り(&T)", "Ctrl+X", "Copy1", "コピー(&C)", "Ctrl+C", "Paste1", "貼り付け(&P)",
                       "Ctrl+V", "SelectAll1", "すべて選択(&A)", "Ctrl+A", "E1", "計算(&E)", "Ctrl+E",
                       "CopyAs1", "形式を選んでコピー(&Y)", ""}},
            {"Show1", {"N4", "フォント…(&F)", "", "J1", "循環小数(&J)", "", "H1", "履歴を保存(&H)", "",
                       "Steps1", "途中式(&T)", "Ctrl+T"}},
            {"PopupMenu", {"KT1", "切り取り(&T)", "Ctrl+X", "KC1", "コピー(&C)", "Ctrl+C", "KP1", "貼り付け(&P)",
                           "Ctrl+V", "SelectAll2", "すべて選択(&A)", "Ctrl+A", "K1", "計算(&E)", "Ctrl+E",
                           "CopyAs2", "形式を選んでコピー(&Y)", ""}},
            {"Help1", {"Usage1", "使い方(&U)", "F1", "About1", "バージョン情報(&A)", ""}},
            {"CopyAs1", {"CopyImage1", "画像(&I)", "", "CopySvg1", "SVG(&S)", "", "CopyLatex1", "LaTeX(&L)", "",
                         "CopyMathml1", "MathML(&M)", ""}},
            {"CopyAs2", {"CopyImage2", "画像(&I)", "", "CopySvg2", "SVG(&S)", "", "CopyLatex2", "LaTeX(&L)", "",
                         "CopyMathml2", "MathML(&M)", ""}},
        };
        QStringList titles;
        for (QAction* a : w_->menuBar()->actions()) titles << a->text();
        QCOMPARE(titles, (QStringList{QString::fromUtf8("ファイル(&F)"), QString::fromUtf8("編集(&E)"),
                                      QString::fromUtf8("表示(&V)"), QString::fromUtf8("ヘルプ(&H)")}));
        for (const Row& row : rows) {
            auto* menu = w_->findChild<QMenu*>(row.menu);
            QVERIFY2(menu, row.menu);
            const QList<QAction*> actions = menu->actions();
            QCOMPARE(actions.size() * 3, row.items.size());
            for (int i = 0; i < actions.size(); ++i) {
                QCOMPARE(actions[i]->objectName(), row.items[3 * i]);
                QCOMPARE(actions[i]->text(), row.items[3 * i + 1]);
                QCOMPARE(actions[i]->shortcut().toString(QKeySequence::PortableText), row.items[3 * i + 2]);
            }
        }
        QVERIFY(action("J1")->isCheckable());
        QVERIFY(action("J1")->isChecked());
        QVERIFY(action("H1")->isCheckable());
        QVERIFY(action("H1")->isChecked());
    }

    // Each item of both copy-as menus puts what the display shows on the clipboard in one
    // update, with the MIME types other programs look for.
    void copyAsPutsTheDisplayOnTheClipboard() {
        enter("1/3+1/6");
        struct Row {
            const char* item;
            const char* type;
            QByteArray contains;  // in the data of type
            QString text;         // text/plain, empty for none
        };
        const Row rows[] = {
            {"CopyLatex1", "text/x-tex", "\\frac{1}{2}", "\\frac{1}{2}"},
            {"CopyLatex2", "text/x-tex", "\\frac{1}{2}", "\\frac{1}{2}"},
            {"CopyMathml1", "application/mathml+xml", "<mfrac><mn>1</mn><mn>2</mn></mfrac>", ""},
            {"CopySvg2", "image/svg+xml", "<svg", ""},
            {"CopyImage1", "image/png", "PNG", "1/2"},
        };
        QClipboard* clipboard = QApplication::clipboard();
        for (const Row& r : rows) {
            QSignalSpy updates(clipboard, &QClipboard::dataChanged);
            action(r.item)->trigger();
            QCOMPARE(updates.count(), 1);
            const QMimeData* data = clipboard->mimeData();
            QVERIFY2(data->hasFormat(r.type), r.item);
            QVERIFY2(data->data(r.type).contains(r.contains), r.item);
            if (!r.text.isEmpty()) QCOMPARE(data->text(), r.text);
        }
        QVERIFY(clipboard->mimeData()->hasFormat("text/plain"));
        QImage png;
        QVERIFY(png.loadFromData(clipboard->mimeData()->data("image/png"), "PNG"));
        const qreal ratio = disp()->devicePixelRatioF();
        QCOMPARE(png.size(), QSize(qCeil(disp()->width() * ratio), qCeil(disp()->height() * ratio)));
        QVERIFY(errors_.isEmpty());
    }

    // What a screen reader reads: the display by its name and the reading of the result,
    // the input line and the scroll bar by their names.
    void theDisplayIsReadAfterACalculation() {
        enter("1/3+1/6");
        QAccessibleInterface* display = QAccessible::queryAccessibleInterface(disp());
        QVERIFY(display);
        QCOMPARE(display->text(QAccessible::Name), QString::fromUtf8("数式"));
        QCOMPARE(display->text(QAccessible::Description), QString::fromUtf8("2分の1"));
        enter("-1:1/2^2");
        QCOMPARE(display->text(QAccessible::Description), QString::fromUtf8("マイナス4分の9"));
        QAccessibleInterface* input = QAccessible::queryAccessibleInterface(edit());
        QVERIFY(input);
        QCOMPARE(input->text(QAccessible::Name), QString::fromUtf8("入力"));
        QCOMPARE(QAccessible::queryAccessibleInterface(widget("hScrollBar"))->text(QAccessible::Name),
                 QString::fromUtf8("数式のスクロール"));
    }

    // A long input stays a text a screen reader can read, whose texts are handed out at
    // most kAccessibleTextCap characters at a time, by the offsets of the whole text; the
    // names stay short (Qt's own objects make it a password field without text beyond
    // InputEdit::kLong, and name the history box by the whole input).
    void longInputsStayReadableTextUnderShortNames() {
        const QString ellipsis = QString::fromUtf8("…");
        for (const qsizetype digits : {qsizetype{10}, InputEdit::kLong + 1, qsizetype{50000}}) {
            const QString text = "1+" + QString(digits, '7');
            const int n = static_cast<int>(text.size());
            edit()->clear();
            edit()->insert(text);  // as a paste does
            QAccessibleInterface* input = QAccessible::queryAccessibleInterface(edit());
            QVERIFY(input && input->textInterface());
            QAccessibleTextInterface* t = input->textInterface();
            QCOMPARE(input->role(), QAccessible::EditableText);
            QVERIFY(!input->state().passwordEdit);
            QVERIFY(input->state().editable);
            QCOMPARE(input->text(QAccessible::Name), QString::fromUtf8("入力"));
            QCOMPARE(t->characterCount(), n);
            QCOMPARE(t->cursorPosition(), n);
            const auto capped = [&](const QString& s) {
                return s.size() > kAccessibleTextCap ? s.left(kAccessibleTextCap) + ellipsis : s;
            };
            const QString whole = capped(text);
            QCOMPARE(t->text(0, n), whole);
            QCOMPARE(input->text(QAccessible::Value), whole);
            QCOMPARE(input->text(QAccessible::Description).contains(QString::number(n)), n > kAccessibleTextCap);
            // What a screen reader asks as the caret moves: units around an offset.
            int start = -1, end = -1;
            QCOMPARE(t->textBeforeOffset(n, QAccessible::CharBoundary, &start, &end), QString("7"));
            QCOMPARE(std::pair(start, end), std::pair(n - 1, n));
            QCOMPARE(t->textAtOffset(0, QAccessible::WordBoundary, &start, &end), QString("1"));
            QCOMPARE(t->textAfterOffset(0, QAccessible::WordBoundary, &start, &end), QString("+"));
            QCOMPARE(std::pair(start, end), std::pair(1, 2));
            QCOMPARE(t->textAtOffset(n - 1, QAccessible::WordBoundary, &start, &end), capped(text.mid(2)));
            QCOMPARE(std::pair(start, end), std::pair(2, n));
            QCOMPARE(t->textAtOffset(5, QAccessible::LineBoundary, &start, &end), whole);
            QCOMPARE(t->textAfterOffset(5, QAccessible::LineBoundary, &start, &end), QString());
            t->setSelection(0, n - 5, n - 2);
            QCOMPARE(edit()->selectedText(), QString("777"));
            QCOMPARE(t->selectionCount(), 1);
            t->selection(0, &start, &end);
            QCOMPARE(std::pair(start, end), std::pair(n - 5, n - 2));
            // The characters in view have boxes inside the input; one far out of it has none.
            t->setCursorPosition(n);
            const QRect last = t->characterRect(n - 1);
            QVERIFY(!last.isEmpty());
            QVERIFY(QRect(edit()->mapToGlobal(QPoint(0, 0)), edit()->size()).contains(last.center()));
            QCOMPARE(t->offsetAtPoint(last.center()), n - 1);
            if (n > 5000) QVERIFY(t->characterRect(0).isEmpty());

            QAccessibleInterface* box = QAccessible::queryAccessibleInterface(hist());
            QVERIFY(box);
            QCOMPARE(box->role(), QAccessible::ComboBox);
            QCOMPARE(box->text(QAccessible::Name), QString::fromUtf8("入力"));
            QCOMPARE(box->text(QAccessible::Value), whole);
            QCOMPARE(box->childCount(), 2);
            QCOMPARE(box->child(1)->object(), edit());
            QCOMPARE(box->indexOfChild(input), 1);
        }
        // Calculated, it enters the history, whose row is named by its capped text, and
        // the display's reading is capped with the reading of "…".
        QTest::keyClick(hist(), Qt::Key_Return);
        QCOMPARE(hist()->itemData(0, Qt::AccessibleTextRole).toString().size(), kAccessibleTextCap + 1);
        const QString reading = QAccessible::queryAccessibleInterface(disp())->text(QAccessible::Description);
        QVERIFY(reading.size() < kAccessibleTextCap + 10);
        QVERIFY(reading.endsWith(QString::fromUtf8("以下略")));
    }

    // The ten inputs come back after a restart; turned off, they are gone at once and stay
    // gone, and the choice itself is kept.
    void historySurvivesARestartUnlessTurnedOff() {
        for (int i = 1; i <= 12; ++i) enter(QString::number(i) + "/7");
        const std::vector<std::string> before = w_->commands().history();
        QCOMPARE(static_cast<int>(before.size()), 10);
        restart();
        QCOMPARE(w_->commands().history(), before);
        QCOMPARE(hist()->count(), 10);
        QCOMPARE(hist()->itemText(0), QString("12/7"));
        QVERIFY(QFile::exists(historyFile()));
        action("H1")->trigger();  // off
        QVERIFY(!QFile::exists(historyFile()));
        enter("5");
        restart();
        QVERIFY(w_->commands().history().empty());
        QVERIFY(!action("H1")->isChecked());
        QVERIFY(!QFile::exists(historyFile()));
        QVERIFY(errors_.isEmpty());
    }

    // A power of many million digits: Esc ends it, the input says so, and nothing that
    // is tried meanwhile gets through.
    void escCancelsALongCalculation() {
        enter("1/7");
        bool sawBusy = false;
        QString textDuring;
        QTimer::singleShot(150, this, [&] {
            sawBusy = w_->isCalculating();
            QVERIFY(label("Label2")->text().contains("Esc"));
            QVERIFY(edit()->isReadOnly());
            textDuring = edit()->text();
            QTest::mouseClick(button("ac"), Qt::LeftButton);       // refused
            QTest::keyClick(hist(), Qt::Key_Return);                // refused
            QTest::keyClick(hist(), Qt::Key_E, Qt::ControlModifier);
            hist()->showPopup();                                    // refused: no pick
            QVERIFY(!hist()->view()->isVisible());
            QTest::keyClick(hist(), Qt::Key_Down);
            QApplication::clipboard()->setText("9");
            edit()->selectAll();
            QTest::keyClick(hist(), Qt::Key_V, Qt::ControlModifier);  // paste refused
            QTest::keyClick(hist(), Qt::Key_X, Qt::ControlModifier);  // cut refused
            QTest::keyClicks(hist(), "12");                              // read-only
            QCOMPARE(edit()->text(), textDuring);
            QTest::keyClick(hist(), Qt::Key_Escape);
        });
        enter("3^3^17");
        QVERIFY(sawBusy);
        QCOMPARE(textDuring, QString("3^3^17"));
        QCOMPARE(edit()->text(), QString::fromUtf8("計算を中断しました"));
        QVERIFY(w_->commands().failed());
        QVERIFY(!w_->isCalculating());
        QVERIFY(!edit()->isReadOnly());
        QCOMPARE(w_->commands().current().ToImproperText(), std::string("1/7"));
        QVERIFY(!label("Label2")->text().contains(QString::fromUtf8("計算中")));
        QCOMPARE(hist()->itemText(0), QString("3^3^17"));
        QCOMPARE(hist()->count(), 2);
    }

    void closingDuringACalculationCancelsThenCloses() {
        QTimer::singleShot(150, this, [&] { w_->close(); });
        enter("3^3^17");
        QCOMPARE(edit()->text(), QString::fromUtf8("計算を中断しました"));
        QTRY_VERIFY(!w_->isVisible());
    }

    void aMillionDigitsStandWholeAndReadBack() {
        const int flash = QApplication::cursorFlashTime();
        enter("10^999999");
        QCOMPARE(QApplication::cursorFlashTime(), 0);  // no blinking repaint of such a text
        QCOMPARE(edit()->text().size(), 1000000);
        QVERIFY(edit()->text().startsWith("1000"));
        QTest::keyClick(hist(), Qt::Key_Return);  // read back exactly
        QVERIFY(!w_->commands().failed());
        QCOMPARE(edit()->text().size(), 1000000);
        QCOMPARE(hist()->itemText(0), QString("10^999999"));  // the input, not the result
        hist()->showPopup();  // the list shows such entries by their beginning
        QVERIFY(hist()->view()->isVisible());
        hist()->hidePopup();
        type("1");
        QCOMPARE(edit()->text(), QString("1"));
        QCOMPARE(QApplication::cursorFlashTime(), flash);
    }

    // The input is laid out left to right whatever it holds: its paragraph direction is
    // not guessed from the text, which would cost a scan of a million digits each time
    // the caret moves or the line is painted.
    void theInputIsAlwaysLeftToRight() {
        const QString hebrew = QString::fromUtf8("\u05d0\u05d1\u05d2");
        edit()->setText(hebrew);
        edit()->setCursorPosition(0);
        edit()->repaint();
        const QRect caret = edit()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY2(caret.x() < edit()->width() / 2, qPrintable(QString::number(caret.x())));
    }

    // A text too long for Qt's line edit to draw at every paint is drawn by the window,
    // only the part in view; clicks, shift-clicks, drags and double clicks follow that view.
    void longTextsAreDrawnAndClickedByTheirView() {
        enter("10^29999+12345");
        QLineEdit* e = edit();
        const int n = static_cast<int>(e->text().size());
        QCOMPARE(n, 30000);
        QCOMPARE(e->cursorPosition(), n);
        const int right = e->width() - 6, left = 5, y = e->height() / 2;
        e->repaint();  // a click lands on what was drawn last, as in Qt's line edit

        // The view shows the tail: the left edge is far into the text, the right one its end.
        QTest::mouseClick(e, Qt::LeftButton, {}, QPoint(right, y));
        QCOMPARE(e->cursorPosition(), n);
        QTest::mouseClick(e, Qt::LeftButton, {}, QPoint(left, y));
        const int shownFrom = e->cursorPosition();
        QVERIFY2(shownFrom > n - 100 && shownFrom < n - 20, qPrintable(QString::number(shownFrom)));
        QTest::mouseClick(e, Qt::LeftButton, Qt::ShiftModifier, QPoint(right, y));
        QCOMPARE(e->selectionStart(), shownFrom);
        QVERIFY(e->selectedText().endsWith("12345"));
        QTest::mouseClick(e, Qt::LeftButton, Qt::ShiftModifier, QPoint(e->width() / 2, y));
        QCOMPARE(e->selectionStart(), shownFrom);  // extended from the same end
        QVERIFY(e->selectionEnd() < n);

        QTest::mousePress(e, Qt::LeftButton, {}, QPoint(right, y));
        QTest::mouseMove(e, QPoint(e->width() / 2, y));
        QTest::mouseRelease(e, Qt::LeftButton, {}, QPoint(e->width() / 2, y));
        QVERIFY(e->hasSelectedText());
        QCOMPARE(e->selectionEnd(), n);
        QVERIFY(e->selectionStart() > shownFrom);

        // Home brings the view to the start.
        QTest::keyClick(hist(), Qt::Key_Home);
        e->repaint();
        QTest::mouseClick(e, Qt::LeftButton, {}, QPoint(left + 7 * 3, y));
        QVERIFY2(e->cursorPosition() >= 2 && e->cursorPosition() <= 4, qPrintable(QString::number(e->cursorPosition())));

        QTest::mouseDClick(e, Qt::LeftButton, {}, QPoint(right, y));
        QCOMPARE(e->selectedText().size(), n);

        // Typing goes on as usual, and the text is drawn.
        QTest::keyClick(hist(), Qt::Key_End);
        QTest::keyClick(hist(), Qt::Key_7);
        QVERIFY(e->text().endsWith("123457"));
        const QImage picture = e->grab().toImage();
        int dark = 0;
        for (int x = 0; x < picture.width(); ++x)
            for (int yy = 4; yy < picture.height() - 4; ++yy) dark += qGray(picture.pixel(x, yy)) < 96;
        QVERIFY2(dark > 100, qPrintable(QString::number(dark)));
    }

    // A text of more than 20,000 characters is not laid out by Qt; the caret still
    // steps by characters, selects with Shift, and typing and deleting edit the text.
    void longTextsEditByCharacters() {
        const QString digits(30000, '4');
        QApplication::clipboard()->setText(digits.left(900));
        type("1");
        for (int i = 0; i < 34; ++i) QTest::keyClick(hist(), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(edit()->text().size() > 30000);
        const qsizetype n = edit()->text().size();
        QTest::keyClick(hist(), Qt::Key_Left);
        QCOMPARE(edit()->cursorPosition(), n - 1);
        QTest::keyClick(hist(), Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(edit()->selectedText().size(), 1);
        QTest::keyClick(hist(), Qt::Key_Right);  // ends the selection at its right edge
        QVERIFY(!edit()->hasSelectedText());
        QCOMPARE(edit()->cursorPosition(), n - 1);
        QTest::keyClick(hist(), Qt::Key_7);
        QCOMPARE(edit()->text().size(), n + 1);
        QCOMPARE(edit()->text().at(n - 1), QChar('7'));
        QTest::keyClick(hist(), Qt::Key_Backspace);
        QCOMPARE(edit()->text().size(), n);
        QTest::keyClick(hist(), Qt::Key_Home);
        QTest::keyClick(hist(), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(edit()->selectedText(), QString("1"));
        QCOMPARE(disp()->CurrentText().size(), static_cast<std::size_t>(n) + 1);
    }

    // The runner's pump lets queued events run only once its interval has passed, and
    // throws the cancellation only after those events were handled; while it runs, a
    // second calculation (from such an event) is refused, and nothing pumps outside run().
    void runnerPumpsByIntervalRefusesASecondAndCancelsAfterEvents() {
        w_.reset();
        int ran = 0;
        {
            nerova::CalcRunner slow(std::chrono::hours(1));
            QVERIFY(slow.run([&] {
                QMetaObject::invokeMethod(this, [&] { ++ran; }, Qt::QueuedConnection);
                pump::ProcessMessages();
                QCOMPARE(ran, 0);
            }));
        }
        QCoreApplication::processEvents();
        QVERIFY(!pump::Current().handler);
        ran = 0;
        nerova::CalcRunner fast(std::chrono::milliseconds(0));
        QSignalSpy busy(&fast, &nerova::CalcRunner::busyChanged);
        bool cancelled = false, secondRan = false, secondRefused = false;
        try {
            fast.run([&] {
                QMetaObject::invokeMethod(
                    this,
                    [&] {
                        ++ran;
                        secondRefused = !fast.run([&] { secondRan = true; });
                        fast.cancel();
                    },
                    Qt::QueuedConnection);
                pump::ProcessMessages();
            });
        } catch (const TCancelledException&) {
            cancelled = true;
        }
        QVERIFY(cancelled);
        QCOMPARE(ran, 1);
        QVERIFY(secondRefused);
        QVERIFY(!secondRan);
        QVERIFY(!fast.busy());
        QCOMPARE(busy.count(), 2);
        // The cancel request ended with its calculation: the next one runs through.
        bool pumped = false;
        QVERIFY(fast.run([&] {
            pump::ProcessMessages();
            pumped = true;
        }));
        QVERIFY(pumped);
        fast.cancel();  // nothing runs: forgotten
        QVERIFY(!fast.cancelRequested());
    }

    void fontDialogSetsBothFontsOnlyWhenConfirmed() {
        type("1/3");
        const QFont before = edit()->font();
        const int heightBefore = w_->height();
        // Cancelled: both fonts stay, the display is typeset again all the same.
        answerFontDialog(false);
        action("N4")->trigger();
        QCOMPARE(edit()->font(), before);
        QCOMPARE(disp()->displayFont().family(), before.family());
        QCOMPARE(disp()->CurrentText(), std::string("1/3;"));
        QCOMPARE(w_->height(), heightBefore);

        // Confirmed: the input and the display take the font; the display grows with it
        // and the window's height follows.
        answerFontDialog(true);
        action("N4")->trigger();
        QCOMPARE(edit()->font().family(), QString("IPAMincho"));
        QCOMPARE(disp()->displayFont().family(), QString("IPAMincho"));
        QVERIFY(disp()->height() > 3 * 14 + 6);
        QVERIFY(w_->height() > heightBefore);
        QCOMPARE(button("ac")->y(), bottom(widget("hScrollBar")) + 10);
    }

    // Confirming the font dialog without a change changes nothing; a size that is
    // confirmed survives a restart exactly, and the input line grows to fit it.
    void fontDialogKeepsAnUnchangedFontAndTheInputFitsItsFont() {
        type("1/3");
        const QFont before = edit()->font();
        const int dispHeight = disp()->height(), windowHeight = w_->height();
        auto confirm = [this](const QFont* chosen) {
            QTimer::singleShot(0, this, [chosen] {
                auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                if (chosen) dialog->setCurrentFont(*chosen);
                dialog->accept();
            });
            action("N4")->trigger();
        };
        confirm(nullptr);
        QCOMPARE(edit()->font(), before);
        QCOMPARE(disp()->height(), dispHeight);
        QCOMPARE(w_->height(), windowHeight);

        QFont big(TBunDisp::defaultFont().family());
        big.setPointSize(20);
        confirm(&big);
        QCOMPARE(edit()->font().pointSize(), 20);
        const int bigDisp = disp()->height(), bigWindow = w_->height();
        auto textFits = [this] {
            const QFontMetrics fm(edit()->font());
            return edit()->height() >= fm.height() + 2;  // the text and the frame's lines
        };
        QVERIFY(textFits());
        QCOMPARE(disp()->y(), bottom(hist()) + 10);

        w_->close();
        w_.reset();
        w_ = std::make_unique<Tfnerova>();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        QCOMPARE(edit()->font().pointSize(), 20);
        QCOMPARE(disp()->height(), bigDisp);
        QCOMPARE(w_->height(), bigWindow);
        QVERIFY(textFits());
    }

    // Qt's font dialog has no colour; the window adds a button for it. The colour counts
    // only when the font dialog is confirmed, and goes to the input and the display.
    void fontDialogColourButton() {
        const QColor before = edit()->palette().color(QPalette::Text);
        const QColor chosen(200, 30, 40);
        for (const bool confirm : {false, true}) {
            QString caption;
            QTimer::singleShot(0, this, [&] {
                auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                QVERIFY(dialog->testOption(QFontDialog::ScalableFonts));  // scalable fonts only
                auto* colour = dialog->findChild<QPushButton*>("colorButton");
                QVERIFY(colour);
                caption = colour->text();
                QTimer::singleShot(0, this, [&] {
                    auto* picker = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
                    QVERIFY(picker);
                    picker->setCurrentColor(chosen);
                    picker->accept();
                });
                colour->click();
                if (confirm) dialog->accept();
                else dialog->reject();
            });
            action("N4")->trigger();
            QCOMPARE(caption, QString::fromUtf8("色(&L)…"));
            const QColor expected = confirm ? chosen : before;
            QCOMPARE(edit()->palette().color(QPalette::Text), expected);
            QCOMPARE(disp()->fontColor(), expected);
        }
    }

    // On a dark theme the default colour draws the display in the palette's text on its
    // base, so it stays readable; a colour chosen by the user keeps that background.
    void darkThemeKeepsTheDisplayReadable() {
        const QPalette light = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
        QPalette dark = light;
        dark.setColor(QPalette::Window, QColor(40, 40, 40));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(QPalette::Base, QColor(25, 25, 25));
        dark.setColor(QPalette::Text, QColor(235, 235, 235));
        QApplication::setPalette(dark);
        w_.reset();
        w_ = std::make_unique<Tfnerova>();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        type("1/3");
        auto lightAndDark = [this] {
            const QImage view = disp()->visibleImage();
            int lit = 0, unlit = 0;
            for (int y = 0; y < view.height(); ++y)
                for (int x = 0; x < view.width(); ++x) (qGray(view.pixel(x, y)) > 160 ? lit : unlit)++;
            return std::pair{lit, unlit};
        };
        const auto [textPixels, background] = lightAndDark();
        QCOMPARE(disp()->visibleImage().pixelColor(1, 1), QColor(25, 25, 25));
        QVERIFY2(textPixels > 20 && textPixels < background, qPrintable(QString::number(textPixels)));

        // An explicit colour: still the theme's background, never a white box.
        QTimer::singleShot(0, this, [this] {
            auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTimer::singleShot(0, this, [] {
                auto* picker = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
                QVERIFY(picker);
                picker->setCurrentColor(QColor(0, 0, 128));
                picker->accept();
            });
            dialog->findChild<QPushButton*>("colorButton")->click();
            dialog->accept();
        });
        action("N4")->trigger();
        QCOMPARE(disp()->visibleImage().pixelColor(1, 1), QColor(25, 25, 25));
        QCOMPARE(disp()->fontColor(), QColor(0, 0, 128));
    }

    void serviceStatusShowsInTheInformationLine() {
        w_->showServiceStatus("no bus");
        QCOMPARE(label("Label2")->text(), QString("no bus"));
        enter("1+1");
        QVERIFY(label("Label2")->text() != "no bus");  // a one-time note
    }

    void standardErrorBox() {
        w_->setErrorHandler(nullptr);
        struct Row {
            const char* message;
            const char* shown;
        } const rows[] = {
            {"ファイルが見つかりません", "ファイルが見つかりません."},  // sorts after "."
            {"Error.", "Error."},                                       // already ends in "."
            {"a-", "a-"},                                               // "-" sorts before "."
        };
        for (const Row& row : rows) {
            QString title, text;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QTimer::singleShot(0, this, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                title = box->windowTitle();
                text = box->text();
                icon = box->icon();
                box->accept();
            });
            w_->showError(row.message);
            QCOMPARE(title, QString("Nerova"));
            QCOMPARE(text, QString::fromUtf8(row.shown));
            QCOMPARE(icon, QMessageBox::Critical);
        }
    }

    void aFailedSettingsWriteGoesToTheErrorBox() {
        // A configuration folder below a plain file cannot be created, even by root.
        const QString blocker = folders_.config.path() + "/blocker";
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        qputenv("XDG_CONFIG_HOME", (blocker + "/config").toUtf8());
        w_->close();
        qputenv("XDG_CONFIG_HOME", folders_.config.path().toUtf8());
        QCOMPARE(errors_.size(), 1);
        QVERIFY2(errors_[0].contains(QString::fromUtf8("に書き込めません")), qPrintable(errors_[0]));
        QVERIFY(errors_[0].endsWith('.'));
        QFile::remove(blocker);
    }

    void nothingIsWrittenWhenClosedMaximised() {
        const QString file = folders_.config.path() + "/window_tests.ini";
        action("J1")->trigger();
        w_->showMaximized();
        QTRY_VERIFY(w_->isMaximized());
        w_->close();
        QVERIFY(!QFile::exists(file));
        w_.reset();
        QVERIFY(!QFile::exists(file));
    }

    void batchErrorGoesToTheErrorBoxAndTheWindowWorks() {
        w_.reset();
        w_ = std::make_unique<Tfnerova>();
        w_->setErrorHandler([this](const QString& m) { errors_ << m; });
        w_->setBatchFiles({(folders_.config.path() + "/missing.txt").toStdString()});
        w_->show();
        QTRY_COMPARE(errors_.size(), 1);
        QVERIFY(errors_[0].endsWith('.'));
        enter("1+1");
        QCOMPARE(edit()->text(), QString("2"));
    }

    void batchFromAFolderLeavesTheOutputAlone() {
        const QString keep = folders_.config.path() + "/keep.txt";
        std::ofstream(keep.toStdString()) << "keep\n";
        w_.reset();
        w_ = std::make_unique<Tfnerova>();
        w_->setErrorHandler([this](const QString& m) { errors_ << m; });
        w_->setBatchFiles({folders_.config.path().toStdString(), keep.toStdString()});
        w_->show();
        QTRY_COMPARE(errors_.size(), 1);
        QVERIFY(errors_[0].contains(QString::fromUtf8("ファイルを読み込めません")));
        QFile f(keep);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep\n"));
    }

    void batchRunsAtTheFirstShowing() {
        const QString in = folders_.config.path() + "/in.txt", out = folders_.config.path() + "/out.txt";
        std::ofstream(in.toStdString()) << "1/2+1/3\n";
        w_.reset();
        w_ = std::make_unique<Tfnerova>();
        w_->setErrorHandler([this](const QString& m) { errors_ << m; });
        w_->setBatchFiles({in.toStdString(), out.toStdString()});
        w_->show();
        // The batch starts just after the showing, once the window can say that it is
        // calculating and Esc can reach it.
        QVERIFY(!QFile::exists(out));
        QTRY_VERIFY(QFile::exists(out));
        QTRY_VERIFY(!w_->isCalculating());
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("1/2+1/3 = 5/6\n"));
        QVERIFY(errors_.isEmpty());
    }

    // After a result a digit starts a new input, an operator continues from the result;
    // the result stays in view until that key.
    void aKeyAfterAResultStartsANewInputOrContinues() {
        enter("1/3+1/6");
        QCOMPARE(edit()->text(), QString("1/2"));
        QTest::keyClicks(hist(), "7");
        QCOMPARE(edit()->text(), QString("7"));
        QCOMPARE(disp()->CurrentText(), std::string("7;"));
        enter("1/3+1/6");
        QTest::keyClicks(hist(), "+1");
        QTest::keyClick(hist(), Qt::Key_Return);
        QCOMPARE(edit()->text(), QString("3/2"));
        // A caret moved into the result edits it.
        QTest::keyClick(hist(), Qt::Key_Left);
        QTest::keyClicks(hist(), "1");
        QCOMPARE(edit()->text(), QString("3/12"));
    }

    // Only what the user calculated enters the history.
    void acThenDecimalLeavesTheHistoryAlone() {
        QTest::mouseClick(button("ac"), Qt::LeftButton);
        QTest::mouseClick(button("fraction"), Qt::LeftButton);
        QCOMPARE(hist()->count(), 0);
        enter("1/4");
        QTest::mouseClick(button("fraction"), Qt::LeftButton);
        QTest::mouseClick(button("Kabun"), Qt::LeftButton);
        QTest::keyClick(hist(), Qt::Key_Return);
        QCOMPARE(hist()->count(), 1);
    }

    // Every button gives the keyboard back to the input: what is typed next is not lost.
    void everyButtonGivesTheKeyboardBack() {
        for (const char* name : {"ac", "fraction", "taibun", "Kabun"}) {
            enter("1/3");
            QTest::mouseClick(button(name), Qt::LeftButton);
            QVERIFY2(edit()->hasFocus(), name);
            const QString before = edit()->text();
            QTest::keyClicks(QApplication::focusWidget(), "*3");
            QVERIFY2(edit()->text().endsWith("*3") || edit()->text() == "*3", name);
            QVERIFY2(edit()->text().size() > before.size() - 3, name);
            QVERIFY2(!button(name)->toolTip().isEmpty(), name);
        }
    }

    // Every editing key works at every length: Delete and the word keys too, where the
    // line edit no longer lays the text out.
    void longInputsDeleteAndStepByWords() {
        QClipboard* clip = QApplication::clipboard();
        const QString ones(30000, '1'), twos(20000, '2');
        edit()->clear();
        clip->setText(ones + "+" + twos);
        QTest::keyClick(hist(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit()->text().size(), 50001);
        QTest::keyClick(hist(), Qt::Key_Home);
        QTest::keyClick(hist(), Qt::Key_Delete);
        QCOMPARE(edit()->text().size(), 50000);
        QCOMPARE(disp()->CurrentText().size(), std::size_t{50001});  // the display follows
        QTest::keyClick(hist(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(edit()->cursorPosition(), 30000);  // the start of the next word
        QTest::keyClick(hist(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(edit()->text(), QString(29999, '1') + "+");
        QTest::keyClick(hist(), Qt::Key_End);
        QTest::keyClick(hist(), Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(edit()->text(), QString());
        clip->setText(ones + ones);
        QTest::keyClick(hist(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(hist(), Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(edit()->selectedText().size(), 60000);
        QTest::keyClick(hist(), Qt::Key_Delete);
        QCOMPARE(edit()->text(), QString());
    }

    // Full-width characters typed or committed by an input method enter as ASCII.
    void fullWidthInputEntersAsAscii() {
        edit()->clear();
        for (const QChar c : QString::fromUtf8("１／３＋１／６")) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(hist(), &press);
        }
        enterShown("1/3+1/6", "1/2");
        edit()->clear();
        QInputMethodEvent commit;
        commit.setCommitString(QString::fromUtf8("２×３÷４−１"));
        QApplication::sendEvent(edit(), &commit);
        enterShown("2*3/4-1", "1/2");
    }

    // A power of a fraction literal fails as the syntax says; the information line says
    // how to write the division.
    void aFractionLiteralExponentExplainsTheDivision() {
        enter("2^100/3^50");
        QVERIFY(w_->commands().failed());
        QVERIFY2(label("Label2")->text().contains("2^100 / 3^50"), qPrintable(label("Label2")->text()));
        enter("2^100 / 3^50");
        QVERIFY(!w_->commands().failed());
        QVERIFY(!label("Label2")->text().contains("2^100 / 3^50"));
    }

    // ヘルプ → 使い方 (F1) opens the help; バージョン情報 names version and licence, and
    // the home page only when the build has one; ファイル → 終了 closes the window.
    void helpAboutAndQuit() {
        QTest::keyClick(hist(), Qt::Key_F1);
        auto* help = w_->findChild<HelpWindow*>("HelpWindow");
        QVERIFY(help);
        QVERIFY(help->isVisible());
        for (const char* part : {"1:2/3", "0.[3]", "2^100 / 3^50", "Enter", "Ctrl+E", "Esc", "小数化", "仮分数"})
            QVERIFY2(HelpWindow::helpHtml().contains(QString::fromUtf8(part)), part);
        action("Usage1")->trigger();  // one help window
        QCOMPARE(w_->findChildren<HelpWindow*>().size(), 1);
        QVERIFY(HelpWindow::aboutText("").contains(QLatin1String(nerova::version())));
        QVERIFY(HelpWindow::aboutText("").contains(QLatin1String(nerova::licence())));
        QVERIFY(!HelpWindow::aboutText("").contains("http"));
        QVERIFY(HelpWindow::aboutText("https://example.org/n").contains("https://example.org/n"));
        w_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w_.get()));
        hist()->setFocus();
        QTest::keyClick(hist(), Qt::Key_Q, Qt::ControlModifier);  // from the input line
        QTRY_VERIFY(!w_->isVisible());
    }

    // Every access letter in the font dialog is its own, in Japanese and in English.
    void fontDialogAccessLettersAreUnique() {
        for (const bool japanese : {false, true}) {
            QTranslator qtTexts;
            if (japanese && qtTexts.load(QLocale(QLocale::Japanese), "qtbase", "_",
                                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
                QApplication::installTranslator(&qtTexts);
            QList<QChar> letters;
            QTimer::singleShot(0, this, [&] {
                auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                letters = mnemonicsIn(*dialog);
                dialog->reject();
            });
            action("N4")->trigger();
            QVERIFY(letters.size() >= 4);
            for (const QChar c : letters) QVERIFY2(letters.count(c) == 1, qPrintable(QString(c)));
            QApplication::removeTranslator(&qtTexts);
        }
    }

    // A batch of long lines, started as `nerova IN OUT` starts it.
    QString startLongBatch(int lines) {
        const QString in = folders_.config.path() + "/long.txt", out = folders_.config.path() + "/long-out.txt";
        {
            std::ofstream file(in.toStdString());
            file << "1/2+1/3\n";
            for (int i = 0; i < lines; ++i) file << "3^3^13+" << i << "\n";
        }
        QFile::remove(out);
        w_.reset();
        w_ = std::make_unique<Tfnerova>();
        w_->setErrorHandler([this](const QString& m) { errors_ << m; });
        w_->setBatchFiles({in.toStdString(), out.toStdString()});
        w_->show();
        return out;
    }

    // What a stopped batch leaves: whole lines, each its own value, none a cancellation.
    static int checkStoppedOutput(const QString& out, int lines) {
        QFile f(out);
        if (!f.open(QIODevice::ReadOnly)) return -1;
        const QByteArray bytes = f.readAll();
        if (!bytes.isEmpty() && !bytes.endsWith('\n')) return -2;
        const QList<QByteArray> records = bytes.split('\n');
        const int written = static_cast<int>(records.size()) - 1;
        if (written >= lines + 1) return -3;  // it ran to the end
        for (int i = 0; i < written; ++i) {
            if (records[i].contains(nerova::sourceText(kCancelled))) return -4;
            if (i > 0 && !records[i].startsWith("3^3^13+" + QByteArray::number(i - 1) + " = ")) return -5;
        }
        return written;
    }

    // Esc during the window's batch ends the whole run: the lines done stay in the file,
    // no later line is calculated, the information line says how many were done, and the
    // window works on. While it runs, the information line counts the lines.
    void escStopsTheWholeBatch() {
        const int lines = 3000;
        // The batch runs inside an event; what happens meanwhile comes through its pump.
        bool sawProgress = false;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            if (!w_->isCalculating() || !label("Label2")->text().contains(QString::fromUtf8("一括計算中"))) return;
            sawProgress = true;
            user.stop();
            QTest::keyClick(edit(), Qt::Key_Escape);
        });
        user.start(5);
        const QString out = startLongBatch(lines);
        QTRY_VERIFY_WITH_TIMEOUT(sawProgress && !w_->isCalculating(), 60000);
        const int written = checkStoppedOutput(out, lines);
        QVERIFY2(written >= 1, qPrintable(QString::number(written)));
        QCOMPARE(label("Label2")->text(),
                 QString::fromStdString(nerova::batchEndNotice(static_cast<std::size_t>(written), true)));
        QVERIFY(errors_.isEmpty());
        enter("1+1");
        QCOMPARE(edit()->text(), QString("2"));
    }

    // Closing the window during its batch ends the run as Esc does, then the window closes.
    void closeStopsTheWholeBatch() {
        const int lines = 3000;
        bool closed = false;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            if (!w_->isCalculating()) return;
            closed = true;
            user.stop();
            w_->close();
        });
        user.start(5);
        const QString out = startLongBatch(lines);
        QTRY_VERIFY_WITH_TIMEOUT(closed && !w_->isCalculating() && !w_->isVisible(), 60000);
        QVERIFY(checkStoppedOutput(out, lines) >= 0);
    }

    void settingsSurviveARestart() {
        action("J1")->trigger();
        w_->resize(w_->width() + 40, w_->height());
        const int width = w_->width();
        w_->close();
        w_.reset();
        w_ = std::make_unique<Tfnerova>();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        QVERIFY(!action("J1")->isChecked());
        QCOMPARE(w_->width(), width);
        QCOMPARE(edit()->font().pixelSize(), 14);  // the 14-pixel design font comes back whole
        action("J1")->trigger();
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
