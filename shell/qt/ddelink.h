// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The link to the macro item that AC on the input "DDE" puts on the clipboard.
#pragma once

#include "shell/commands.h"
#include "shell/macro.h"

#include <QByteArray>
#include <QString>

#include <string>

namespace nerova {

/// Message of a clipboard that cannot be written.
inline constexpr const char* kClipboardOpenError = QT_TRANSLATE_NOOP("nerova::DdeLink", "クリップボードを開くことができません");

/// Puts text as plain text and link under the format "Link" on the clipboard, both in
/// one update that replaces what it held. Throws std::runtime_error with
/// kClipboardOpenError when there is no clipboard or it does not take the data.
void putLinkOnClipboard(const QString& text, const QByteArray& link);

/// Copies the item's text and the link bytes (service, "DDE", "NEROVA", each ended by a
/// null byte) to the clipboard. Invariant: the item outlives the copier.
class DdeLink : public ILinkCopier {
public:
    DdeLink(const MacroItem& item, std::string service)
        : item_(item), service_(std::move(service)) {}

    /// Throws std::runtime_error with kClipboardOpenError; the clipboard then holds
    /// what it held before or the whole new content, never a part of it.
    void copyLink() override;

private:
    const MacroItem& item_;
    std::string service_;
};

}  // namespace nerova
