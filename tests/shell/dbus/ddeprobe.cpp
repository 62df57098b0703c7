// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// A stand-in host for the macro service: the service and the signal closer without the
// calculator's window, so that the adaptor can be driven by a real D-Bus client.
//   ddeprobe [--as PROGRAM-PATH] [--busy]
// It names its service after PROGRAM-PATH (default: its own path), prints the start
// status (or "serving <bus name>") on one line, and runs until its hidden window closes.
// --busy makes every macro meet a calculation in progress.
#include "shell/qt/calcrunner.h"
#include "shell/qt/ddeservice.h"
#include "shell/qt/unixsignals.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::string program = argv[0];
    bool busy = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--as") == 0 && i + 1 < argc) program = argv[++i];
        else if (std::strcmp(argv[i], "--busy") == 0) busy = true;
    }
    QWidget window;
    nerova::CalcRunner runner;
    nerova::DdeServer server(program, runner);
    QString status = server.start();
    std::printf("%s\n", status.isEmpty() ? qPrintable("serving " + server.busName())
                                         : qPrintable(status));
    std::fflush(stdout);
    // After the start, as in the calculator: a host that handles SIGTERM has tried the name.
    nerova::UnixSignalCloser closer(&window);
    window.show();
    int rc = 0;
    // --busy: the whole run is one calculation, which every macro then meets.
    if (busy) runner.run([&] { rc = app.exec(); });
    else rc = app.exec();
    return rc;
}
