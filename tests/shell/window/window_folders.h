// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The window's settings and history in a test's own temporary folders, never the user's.
#pragma once

#include <QTemporaryDir>
#include <QtGlobal>

struct WindowFolders {
    QTemporaryDir config;  ///< the settings file's folder
    QTemporaryDir state;   ///< the history's folder

    /// Points the window at both folders (XDG_CONFIG_HOME, XDG_STATE_HOME); false when one
    /// could not be made.
    bool use() {
        if (!config.isValid() || !state.isValid()) return false;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        qputenv("XDG_STATE_HOME", state.path().toUtf8());
        return true;
    }
};
