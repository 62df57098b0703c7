// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Not a test: times what a user waits for while the input holds a very long result.
// Build the target input_timing and run it on the off-screen platform:
//   QT_QPA_PLATFORM=offscreen build/tools/input_timing [digits]
// It prints the milliseconds of a typed digit, a caret move, a repaint of the input
// line and of the whole window, and the history list's opening, as CPU time of the
// window's thread (a busy machine does not blur them); the two Enters, whose powers may
// use a second thread, in wall-clock time.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <ctime>
#include <functional>

#include <QFontMetrics>
#include <QTextLayout>
#include "display/qt/BunDisp.h"

#include "shell/qt/fnerova.h"

namespace {

// CPU time of this thread: the machine may be busy with other work.
double threadMillis() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double millis(int repeat, const std::function<void()>& step) {
    const double start = threadMillis();
    for (int i = 0; i < repeat; ++i) step();
    return (threadMillis() - start) / repeat;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    const int digits = argc > 1 ? std::atoi(argv[1]) : 1000000;

    Tfnerova w;
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) return 1;
    auto* hist = w.findChild<QComboBox*>("hist");
    auto* edit = w.findChild<QLineEdit*>("edit");
    hist->setFocus();

    QElapsedTimer t;
    t.start();
    QTest::keyClicks(hist, QString("10^%1").arg(digits - 1));
    QTest::keyClick(hist, Qt::Key_Return);
    QApplication::processEvents();
    std::printf("Enter on 10^%d (calculation, shown): %.1f ms, %lld characters\n", digits - 1,
                static_cast<double>(t.nsecsElapsed()) / 1e6, static_cast<long long>(edit->text().size()));

    const int n = 5;
    std::printf("typed digit at the end:      %7.1f ms\n", millis(n, [&] {
                    QTest::keyClick(hist, Qt::Key_1);
                    QApplication::processEvents();
                }));
    std::printf("backspace at the end:        %7.1f ms\n", millis(n, [&] {
                    QTest::keyClick(hist, Qt::Key_Backspace);
                    QApplication::processEvents();
                }));
    std::printf("caret one to the left:       %7.1f ms\n", millis(n, [&] {
                    QTest::keyClick(hist, Qt::Key_Left);
                    QApplication::processEvents();
                }));
    std::printf("caret home and end:          %7.1f ms\n", millis(n, [&] {
                    QTest::keyClick(hist, Qt::Key_Home);
                    QTest::keyClick(hist, Qt::Key_End);
                    QApplication::processEvents();
                }));
    std::printf("repaint of the input line:   %7.1f ms\n", millis(n, [&] { edit->repaint(); }));
    std::printf("repaint of the window:       %7.1f ms\n", millis(n, [&] { w.repaint(); }));
    std::printf("history list opened, closed: %7.1f ms\n", millis(n, [&] {
                    hist->showPopup();
                    QApplication::processEvents();
                    hist->hidePopup();
                    QApplication::processEvents();
                }));
    const QString text = edit->text();
    std::printf("Qt's bounding rect of it:   %7.1f ms (each paint of Qt's line edit)\n",
                millis(n, [&] { (void)QFontMetrics(edit->font()).boundingRect(text); }));
    std::printf("one-line layout of it:      %7.1f ms (each edit)\n", millis(n, [&] {
                    QTextLayout layout(text, edit->font());
                    layout.beginLayout();
                    layout.createLine();
                    layout.endLayout();
                }));
    auto* disp = w.findChild<TBunDisp*>("disp");
    const std::string bytes = text.toStdString() + ";";
    std::printf("display typeset of it:      %7.1f ms\n", millis(n, [&] { disp->ShowText(bytes); }));
    t.restart();
    QTest::keyClick(hist, Qt::Key_Return);
    QApplication::processEvents();
    std::printf("Enter on the long text:      %7.1f ms\n", static_cast<double>(t.nsecsElapsed()) / 1e6);
    return 0;
}
