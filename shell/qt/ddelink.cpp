// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/ddelink.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>
#include <stdexcept>

namespace nerova {

void putLinkOnClipboard(const QString& text, const QByteArray& link) {
    QClipboard* clipboard =
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                     : nullptr;
    if (!clipboard) throw std::runtime_error(QCoreApplication::translate("nerova::DdeLink", kClipboardOpenError).toStdString());
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    data->setData(QStringLiteral("Link"), link);
    clipboard->setMimeData(data.release());  // the clipboard owns it from here
    // A platform may refuse the clipboard without saying so (no selection ownership,
    // no focus): read it back, and report what did not arrive.
    const QMimeData* now = clipboard->mimeData();
    if (!now || now->text() != text || now->data(QStringLiteral("Link")) != link)
        throw std::runtime_error(QCoreApplication::translate("nerova::DdeLink", kClipboardOpenError).toStdString());
}

void DdeLink::copyLink() {
    const std::string text = item_.text();
    const std::string link = linkBytes(service_);
    putLinkOnClipboard(QString::fromUtf8(text.data(), qsizetype(text.size())),
                       QByteArray(link.data(), qsizetype(link.size())));
}

}  // namespace nerova
