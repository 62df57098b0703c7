// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// A client for texts too long for a command line: ddepoke DEST FILE pokes the bytes of
// FILE into the item NEROVA of DEST and prints "ok" or the error's name.
#include "shell/qt/ddeservice.h"

#include <QCoreApplication>
#include <QFile>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ddepoke DEST FILE\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly)) return 2;
    QDBusMessage poke = QDBusMessage::createMethodCall(QString::fromLocal8Bit(argv[1]), QStringLiteral("/DDE"),
                                                       QString::fromLatin1(nerova::DdeAdaptor::kInterface),
                                                       QStringLiteral("Poke"));
    poke << QStringLiteral("NEROVA") << QString::fromUtf8(file.readAll());
    const QDBusMessage answer = QDBusConnection::sessionBus().call(poke, QDBus::Block, 120000);
    std::printf("%s\n", answer.type() == QDBusMessage::ReplyMessage ? "ok" : qPrintable(answer.errorName()));
    return 0;
}
