// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// display_measure: times ShowText and scrolling to the end on huge texts and reports the
// peak memory of the process. Run by hand: display_measure [DIGITS]
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "display/qt/BunDisp.h"

namespace {

long PeakKiB() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

void Measure(TBunDisp& disp, QScrollBar& bar, const char* what, const std::string& text) {
    QElapsedTimer t;
    t.start();
    disp.ShowText(text);
    const qint64 shown = t.elapsed();
    t.restart();
    bar.setValue(bar.maximum());
    const qint64 end = t.elapsed();
    t.restart();
    bar.setValue(bar.maximum() / 2);
    const qint64 middle = t.elapsed();
    std::printf("%-34s show %5lld ms, to end %4lld ms, to middle %4lld ms, drawing %d px, image %lld KiB, peak %ld KiB\n",
                what, static_cast<long long>(shown), static_cast<long long>(end), static_cast<long long>(middle),
                disp.drawingWidth(), static_cast<long long>(disp.offscreenBytes() / 1024), PeakKiB());
}

}  // namespace

int main(int argc, char** argv) {
    static int qargc = 3;
    static char a0[] = "display_measure", a1[] = "-platform", a2[] = "offscreen";
    static char* qargv[] = {a0, a1, a2, nullptr};
    QApplication app(qargc, qargv);
    const size_t digits = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1'000'000;

    QWidget window;
    window.setFont(TBunDisp::defaultFont());  // the display takes its owner's font
    QScrollBar bar(&window);
    TBunDisp disp(&window, &bar);
    disp.resize(306, disp.controlHeight());
    std::printf("start: peak %ld KiB\n", PeakKiB());

    Measure(disp, bar, "number", std::string(digits, '7') + ";");
    Measure(disp, bar, "fraction", std::string(digits, '3') + "/" + std::string(digits, '9') + ";");
    const std::string half(digits / 2, '1');
    Measure(disp, bar, "mixed number in parentheses", "-(" + half + "+" + half + "/" + half + "9);");
    std::string expr;
    for (int i = 0; i < 50'000; ++i) expr += "1+";
    Measure(disp, bar, "100,000-token sum", expr + "1;");
    std::string mixed;
    for (int i = 0; i < 20'000; ++i) mixed += "(1/2)^3*";
    Measure(disp, bar, "100,000-token fractions and powers", mixed + "1;");
    return 0;
}
