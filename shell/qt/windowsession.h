// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Where the main window stands across restarts: its saved bounds put back on a screen
// that can show them, its whole frame kept on that screen, its bounds read for saving.
#pragma once

#include "shell/settings.h"

class QWidget;

namespace nerova {

/// The window's place between sessions. Positions are the frame's (the window manager
/// places the frame where a window set before it was framed asks), sizes the client's.
///
/// Invariant: after keepFrameOnScreen, the window's whole frame lies on the available
/// area of its screen whenever it fits there.
class WindowSession {
public:
    /// window is borrowed and must outlive this object.
    explicit WindowSession(QWidget& window) : window_(window) {}

    /// Moves and sizes the window to the saved bounds of s, fitted on the available area
    /// of the screen that holds their centre (so that a window saved on a second monitor
    /// comes back there; else the window's own screen). Call before the native window
    /// exists, so that the position is the frame's.
    void restore(const FormSettings& s);

    /// Once the window manager has framed the window (its frame is larger than its client
    /// area), moves the window by the least amount that puts its whole frame on the
    /// available area. Returns false, doing nothing, while the window is not framed yet.
    bool keepFrameOnScreen();

    /// Whether the window's bounds are worth saving: not minimised, maximised or full screen.
    bool boundsSavable() const;

    /// Writes the window's bounds (frame position, client size) into s.
    void storeBounds(FormSettings& s) const;

private:
    QWidget& window_;
};

}  // namespace nerova
