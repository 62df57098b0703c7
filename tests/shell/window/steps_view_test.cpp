// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The steps view driven as a user would: opened from the menu, following calculations,
// read by assistive technology, copied.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "display/qt/BunDisp.h"
#include "shell/qt/fnerova.h"
#include "tests/shell/window/window_folders.h"
#include "shell/qt/stepsview.h"

using namespace nerova;  // the code under test

class StepsViewTest : public QObject {
    Q_OBJECT

private:
    WindowFolders folders_;
    std::unique_ptr<Tfnerova> w_;

    QComboBox* hist() { return w_->findChild<QComboBox*>("hist"); }
    QAction* toggle() { return w_->findChild<QAction*>("Steps1"); }
    StepsWindow* view() { return w_->findChild<StepsWindow*>("StepsWindow"); }
    void enter(const QString& text) {
        w_->findChild<QLineEdit*>("edit")->clear();
        QTest::keyClicks(hist(), text);
        QTest::keyClick(hist(), Qt::Key_Return);
    }
    // The texts the rows typeset, without the display's ";".
    QStringList rows() {
        QStringList out;
        for (TBunDisp* d : view()->findChildren<TBunDisp*>("StepLine")) {
            const std::string& t = d->CurrentText();
            out << QString::fromStdString(t.substr(0, t.find(';')));
        }
        return out;
    }

private slots:
    void initTestCase() { QVERIFY(folders_.use()); }
    void init() {
        w_ = std::make_unique<Tfnerova>();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() { w_.reset(); }

    void theMenuItemOpensAndClosesTheView() {
        QAction* a = toggle();
        QVERIFY(a);
        QCOMPARE(a->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
        auto* show = w_->menuBar()->findChild<QMenu*>("Show1");
        QVERIFY(show && show->actions().contains(a));
        QVERIFY(!view()->isVisible());
        a->trigger();
        QVERIFY(view()->isVisible());
        QVERIFY(a->isChecked());
        view()->close();  // the window's own close button
        QVERIFY(!a->isChecked());
        a->trigger();
        QVERIFY(view()->isVisible());
        a->trigger();
        QVERIFY(!view()->isVisible());
    }

    void theViewFollowsEachCalculationAndIsReadByScreenReaders() {
        toggle()->trigger();
        enter("1/3+1/6");
        QCOMPARE(rows(), (QStringList{"1/3+1/6", "2/6+1/6", "3/6", "1/2"}));

        StepsList* list = view()->list();
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(list);
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Name), QString::fromUtf8("途中式"));
        QAccessibleTextInterface* text = iface->textInterface();
        QVERIFY(text);
        const QString all = text->text(0, text->characterCount());
        QVERIFY2(all.contains("= 2/6+1/6"), qPrintable(all));
        const QString reading = iface->text(QAccessible::Description);
        QVERIFY2(reading.contains(QString::fromUtf8("イコール、6分の2たす6分の1。")), qPrintable(reading));
        QCOMPARE(reading.count('\n'), 3);  // one sentence per line

        enter("2/3 / (4/9)");
        QCOMPARE(rows(), (QStringList{"2/3 / (4/9)", "2/3*9/4", "18/12", "3/2"}));

        // A failure shows the lines so far and the message.
        enter("1/3 / (1-1)");
        QCOMPARE(rows(), (QStringList{"1/3 / (1-1)", "1/3 / 0"}));
        bool message = false;
        for (QLabel* l : list->findChildren<QLabel*>()) message |= l->text() == QString::fromUtf8("0で割ろうとした");
        QVERIFY(message);
    }

    void aClosedViewCatchesUpWhenOpened() {
        enter("1+2*3");
        QVERIFY(!view()->isVisible());
        toggle()->trigger();
        QCOMPARE(rows(), (QStringList{"1+2*3", "1+6", "7"}));
    }

    void copiesAsTextAndLatex() {
        toggle()->trigger();
        enter("1/2+1/2");
        view()->findChild<QPushButton*>("StepsCopyText")->click();
        QCOMPARE(QApplication::clipboard()->text(), QString("1/2+1/2\n= 2/2\n= 1\n"));
        view()->findChild<QPushButton*>("StepsCopyLatex")->click();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString("\\begin{aligned}\n& \\frac{1}{2}+\\frac{1}{2} \\\\\n&= \\frac{2}{2} \\\\\n&= 1\n\\end{aligned}\n"));
    }
};

QTEST_MAIN(StepsViewTest)
#include "steps_view_test.moc"
