// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The macro service's window side, off screen: the clipboard link, AC on "DDE", the
// service status in the information line, and a maximised window that saves nothing.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "shell/commands.h"
#include "shell/qt/ddelink.h"
#include "shell/qt/ddeservice.h"
#include "shell/qt/fnerova.h"
#include "shell/macro.h"
#include "shell/settings.h"

using namespace nerova;  // the code under test

// Counts the Esc presses that reach the object it filters.
class EscapeSeen : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
            ++count;
        return false;
    }
};

class DdeLinkTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    const QByteArray link_ = QByteArray("nerova\0DDE\0NEROVA\0", 18);

    static std::string iniPath() {
        return settingsPath(QCoreApplication::applicationFilePath().toStdString());
    }
    static std::string slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::unique_ptr<Tfnerova> openWindow() {
        auto w = std::make_unique<Tfnerova>();
        w->setErrorHandler([](const QString& m) { QFAIL(qPrintable("error box: " + m)); });
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) return nullptr;
        return w;
    }

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    }

    void init() { std::filesystem::remove(iniPath()); }

    void copyLinkPutsTextAndLinkInOneUpdate() {
        MacroItem item;
        item.poke("1/2\r\nsecond line");
        nerova::DdeLink link(item, "nerova");
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText("old");
        QSignalSpy changed(clipboard, &QClipboard::dataChanged);
        link.copyLink();
        QCOMPARE(changed.count(), 1);  // text and link arrive together
        const QMimeData* data = clipboard->mimeData();
        QVERIFY(data);
        QCOMPARE(data->text(), QString("1/2"));  // the item's text is its first line
        QCOMPARE(data->data("Link"), link_);
    }

    void acOnDdeCopiesTheLinkAndClears() {
        MacroItem item;
        item.poke("5/6");
        nerova::DdeLink link(item, "nerova");
        auto w = openWindow();
        QVERIFY(w);
        w->setLinkCopier(&link);
        QGuiApplication::clipboard()->setText("old");
        auto* edit = w->findChild<QLineEdit*>("edit");
        auto* ac = w->findChild<QPushButton*>("ac");
        QVERIFY(edit && ac);

        edit->setText("dde");  // only "DDE" exactly copies the link
        ac->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("old"));
        QCOMPARE(edit->text(), QString("0"));

        edit->setText("DDE");
        ac->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("5/6"));
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->data("Link"), link_);
        QCOMPARE(edit->text(), QString("0"));
        w->setLinkCopier(nullptr);
    }

    void serviceStatusShowsInLabel2() {
        auto w = openWindow();
        QVERIFY(w);
        const QString why = QString::fromUtf8(nerova::DdeServer::kNameTakenNote);
        w->showServiceStatus(why);
        auto* label = w->findChild<QLabel*>("Label2");
        QVERIFY(label);
        QCOMPARE(label->text(), why);
        // Each note is whole in the information line.
        for (const char* note : {nerova::DdeServer::kNoBusNote, nerova::DdeServer::kNameTakenNote,
                                 nerova::DdeServer::kNotRegisteredNote}) {
            const int advance = label->fontMetrics().horizontalAdvance(QString::fromUtf8(note));
            QVERIFY2(advance <= label->width(),
                     qPrintable(QString("%1: %2 > %3 pixels").arg(note).arg(advance).arg(label->width())));
        }
    }

    // A macro that would calculate for hours, sent while the window is idle: Esc in the
    // window stops it, the item says so, and the window is free again. (Called here as
    // the bus would call it; the quit path is driven over the bus in dbus_test.sh.)
    void escapeInTheWindowStopsALongMacro() {
        auto w = openWindow();
        QVERIFY(w);
        MacroItem item;
        nerova::DdeAdaptor adaptor(item, w->runner());
        auto* edit = w->findChild<QLineEdit*>("edit");
        QVERIFY(edit);
        item.poke("9^9^9");
        bool escapeSent = false, stillRunning = false;
        bool secondEscapePassed = false, windowRefused = false;
        QTimer::singleShot(100, [&] {
            escapeSent = item.running();
            // One calculation at a time: the window's own calculation waits its turn.
            QTest::keyClicks(edit, "1+1");
            QTest::keyClick(edit, Qt::Key_Return);
            windowRefused = w->isCalculating() && edit->isReadOnly() && edit->text().isEmpty() &&
                            w->commands().current().ToImproperText() == "0";
            QTest::keyClick(edit, Qt::Key_Escape);
            // The macro ends at its next pump call; a second Esc meanwhile (one that
            // would close a dialog opened during the macro) is left to the window.
            EscapeSeen seen;
            edit->installEventFilter(&seen);
            QTest::keyClick(edit, Qt::Key_Escape);
            edit->removeEventFilter(&seen);
            secondEscapePassed = seen.count == 1;
        });
        // Should Esc not stop it, the test ends in a failure rather than hanging.
        QTimer::singleShot(30000, [&] {
            stillRunning = item.running();
            w->runner().cancel();
        });
        adaptor.Execute("calc");
        QVERIFY(escapeSent);
        QVERIFY(windowRefused);
        QVERIFY(secondEscapePassed);
        QVERIFY(!stillRunning);
        QCOMPARE(item.text(), std::string(nerova::sourceText(kCancelled)));
        QVERIFY(!w->isCalculating());
        item.poke("1/3+1/6");
        adaptor.Execute("calc");
        QCOMPARE(item.text(), std::string("1/2"));
    }

    // Once the application quits, a macro that arrives in the same round of events is
    // refused, since nothing would be left to stop it; pokes and requests still work.
    // (The quit is handed to the adaptor's filter alone: a real one ends this test.)
    void noMacroBeginsAfterTheQuit() {
        MacroItem item;
        nerova::CalcRunner runner;
        nerova::DdeAdaptor adaptor(item, runner);
        item.poke("1/2+1/3");
        adaptor.Execute("calc");
        QCOMPARE(item.text(), std::string("5/6"));
        QEvent quit(QEvent::Quit);
        QVERIFY(!static_cast<QObject&>(runner).eventFilter(qApp, &quit));
        item.poke("1/3+1/6");
        adaptor.Execute("calc");
        QCOMPARE(item.text(), std::string("1/3+1/6"));
        QCOMPARE(adaptor.Request("NEROVA"), QString("1/3+1/6\r\n"));
    }

    void maximisedWindowWritesNothing() {
        // A window whose option is changed, then maximised or minimised, closed or not.
        const auto changeAndLeave = [this](bool maximise, bool close) {
            auto w = openWindow();
            QVERIFY(w);
            w->findChild<QAction*>("J1")->trigger();
            maximise ? w->showMaximized() : w->showMinimized();
            QTRY_VERIFY(maximise ? w->isMaximized() : w->isMinimized());
            if (close) w->close();
        };
        // No file before: none after, although the option was changed.
        changeAndLeave(true, true);
        QVERIFY(!std::filesystem::exists(iniPath()));

        // An existing file stays byte for byte as it was, maximised or minimised.
        const std::string before = "[FORM]\ntop=100\njunkan=1\n; mine\n";
        std::ofstream(iniPath(), std::ios::binary) << before;
        changeAndLeave(true, false);  // destroyed without a close: the destructor's save must also hold back
        QCOMPARE(slurp(iniPath()), before);
        changeAndLeave(false, true);
        QCOMPARE(slurp(iniPath()), before);

        // The same window in its normal state writes.
        {
            auto w = openWindow();
            QVERIFY(w);
            w->close();
        }
        FormSettings s;
        s.top = -1;
        readSettings(iniPath(), s);
        QCOMPARE(s.top, 100);
        QVERIFY(slurp(iniPath()) != before);
    }
};

QTEST_MAIN(DdeLinkTest)
#include "ddelink_test.moc"
