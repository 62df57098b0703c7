// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/windowsession.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace nerova {

namespace {

WindowBounds boundsOf(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

void WindowSession::restore(const FormSettings& s) {
    WindowBounds bounds{s.left, s.top, s.width, s.height};
    const auto middle = [](int pos, int size) {
        return static_cast<int>(std::clamp<int64_t>(int64_t{pos} + size / 2, INT_MIN, INT_MAX));
    };
    const QScreen* screen = QGuiApplication::screenAt(QPoint(middle(s.left, s.width), middle(s.top, s.height)));
    if (!screen) screen = window_.screen();
    if (screen)
        bounds = fitOnArea(bounds, boundsOf(screen->availableGeometry()), window_.minimumWidth(), window_.height());
    window_.move(bounds.left, bounds.top);
    window_.resize(bounds.width, window_.height());
}

bool WindowSession::keepFrameOnScreen() {
    const QRect frame = window_.frameGeometry();
    const QRect client = window_.geometry();
    if (frame.size() == client.size()) return false;  // not framed yet
    const QScreen* screen = window_.screen();
    if (!screen || window_.isMaximized() || window_.isFullScreen()) return true;
    const QRect area = screen->availableGeometry();
    // The frame is fitted as a whole; the client follows by the same offset.
    const WindowBounds fitted = fitOnArea(boundsOf(frame), boundsOf(area), frame.width(), frame.height());
    if (fitted.left != frame.x() || fitted.top != frame.y()) window_.move(fitted.left, fitted.top);
    return true;
}

bool WindowSession::boundsSavable() const {
    return !window_.isMinimized() && !window_.isMaximized() && !window_.isFullScreen();
}

void WindowSession::storeBounds(FormSettings& s) const {
    s.left = window_.x();
    s.top = window_.y();
    s.width = window_.width();
    s.height = window_.height();
}

}  // namespace nerova
