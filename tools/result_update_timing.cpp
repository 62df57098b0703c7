// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Not a test: times the window's update after a huge result, the step that Esc cannot
// cancel. Build the target result_update_timing and run it on the off-screen platform:
//   QT_QPA_PLATFORM=offscreen build/tools/result_update_timing [digits]
// It prints, in wall-clock milliseconds, the calculation alone (window-free), the whole
// Enter in the window, their difference (the update), and the update's two parts: the
// input taking the text and the display typesetting it. The Enter's processor time is
// printed too: on a loaded machine the wall clock also counts the waits for a processor.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "display/qt/BunDisp.h"
#include "shell/qt/fnerova.h"
#include "shell/qt/inputwidgets.h"
#include "shell/textcalc.h"

namespace {

double wallMillis(const std::function<void()>& step) {
    QElapsedTimer timer;
    timer.start();
    step();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("XDG_STATE_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    const long digits = argc > 1 ? std::atol(argv[1]) : 10000000;
    const std::string expression = "10^" + std::to_string(digits - 1);

    Tfnerova w;
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) return 1;
    auto* hist = w.findChild<QComboBox*>("hist");
    auto* edit = static_cast<nerova::InputEdit*>(hist->lineEdit());
    auto* disp = w.findChild<TBunDisp*>("disp");

    std::string result;
    const double calculation =
        wallMillis([&] { result = nerova::evalText(expression, nerova::ResultForm::Improper).text; });
    edit->setWholeText(QString::fromStdString(expression));
    const std::clock_t before = std::clock();
    const double enter = wallMillis([&] { QTest::keyClick(hist, Qt::Key_Return); });
    const double enterCpu = 1000.0 * static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    if (edit->text().size() != static_cast<qsizetype>(result.size())) {
        std::fprintf(stderr, "the window shows %lld characters, expected %zu\n",
                     static_cast<long long>(edit->text().size()), result.size());
        return 1;
    }
    const QString text = QString::fromStdString(result);
    const double input = wallMillis([&] { edit->setWholeText(text); });
    const double display = wallMillis([&] { disp->ShowText(result + ";"); });
    std::printf("digits %ld\ncalculation %.1f ms\nenter %.1f ms (processor time %.1f ms)\n"
                "update (enter - calculation) %.1f ms\n  input takes the text %.1f ms\n  display typesets it %.1f ms\n",
                digits, calculation, enter, enterCpu, enter - calculation, input, display);
    return 0;
}
