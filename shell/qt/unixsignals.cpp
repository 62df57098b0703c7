// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/unixsignals.h"

#include <QSocketNotifier>

#include <cassert>
#include <cerrno>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nerova {

namespace {

// The pipe's two ends: [0] read by the event loop, [1] written by the handler.
int gPipe[2] = {-1, -1};

extern "C" void onUnixSignal(int sig) {
    int saved = errno;  // a handler must leave errno as it found it
    char byte = static_cast<char>(sig);
    [[maybe_unused]] ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

UnixSignalCloser::UnixSignalCloser(QWidget* window, QObject* parent)
    : QObject(parent), window_(window) {
    assert(gPipe[0] < 0 && "one UnixSignalCloser at a time");
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gPipe) != 0) {
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UnixSignalCloser::onSignal);

    // Keep the handlers found at start, to restore them at the end.
    active_ = ::sigaction(SIGTERM, nullptr, &oldTerm_) == 0 &&
              ::sigaction(SIGINT, nullptr, &oldInt_) == 0 && arm();
}

bool UnixSignalCloser::arm() {
    struct sigaction sa {};
    sa.sa_handler = onUnixSignal;
    sigemptyset(&sa.sa_mask);
    // SA_RESETHAND: until the event loop has handled this signal, the next one takes
    // the default action.
    sa.sa_flags = SA_RESTART | SA_RESETHAND;
    return ::sigaction(SIGTERM, &sa, nullptr) == 0 && ::sigaction(SIGINT, &sa, nullptr) == 0;
}

UnixSignalCloser::~UnixSignalCloser() {
    if (active_) {
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
        ::sigaction(SIGINT, &oldInt_, nullptr);
    }
    delete notifier_;
    for (int& fd : gPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void UnixSignalCloser::onSignal() {
    char bytes[16];
    while (::read(gPipe[0], bytes, sizeof bytes) > 0) {
    }
    // A window that refused to close (it may ask first) stays: arm again.
    if (beforeClose_) beforeClose_();
    if (window_ && window_->close()) return;
    arm();
}

}  // namespace nerova
