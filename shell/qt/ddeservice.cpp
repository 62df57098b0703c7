// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/ddeservice.h"

#include "shell/qt/calcrunner.h"
#include "shell/qt/ddelink.h"
#include "shell/language.h"
#include "shell/textcalc.h"

#include <QCoreApplication>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusError>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusReply>

#include <algorithm>
#include <exception>
#include <new>

namespace nerova {

namespace {

QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

}  // namespace

DdeAdaptor::DdeAdaptor(MacroItem& item, CalcRunner& runner, QObject* parent)
    : QObject(parent), item_(item), runner_(runner) {
    item_.setChangeHandler([this] {
        Q_EMIT Advise(QString::fromUtf8(MacroItem::kItem.data(), qsizetype(MacroItem::kItem.size())),
                      fromUtf8(item_.data()));
    });
}

DdeAdaptor::~DdeAdaptor() { item_.setChangeHandler({}); }

// Only a call that came over the bus has a caller to answer.
void DdeAdaptor::replyError(const char* name, const QString& message) {
    if (calledFromDBus()) sendErrorReply(QString::fromLatin1(name), message);
}

bool DdeAdaptor::knownItem(const QString& item) {
    // The item name is compared exactly, case included.
    if (item.toStdString() == MacroItem::kItem) return true;
    replyError(kNoSuchItem, QString::fromStdString(nerova::text(Message::NoSuchItem, item.toStdString())));
    return false;
}

void DdeAdaptor::replyBusy() {
    replyError(kBusy, QString::fromStdString(nerova::text(Message::MacroBusy)));
}

// A poke handled while a macro runs arrives from inside it (the calculation lets events
// through): refusing it keeps the poke from being overwritten by the macro's result.
bool DdeAdaptor::refuseWhileMacroRuns() {
    if (!item_.running()) return false;
    replyBusy();
    return true;
}

// The text evaluators turn calculation failures into the item's text; what still
// arrives here (no memory for a huge text, say) must not leave a slot the bus called.
template <class F>
void DdeAdaptor::guarded(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        replyError(kFailed, QString::fromStdString(messageOf(e)));
    }
}

void DdeAdaptor::Poke(const QString& item, const QString& text) {
    if (!knownItem(item) || refuseWhileMacroRuns()) return;
    // A UTF-16 unit is at least one byte of UTF-8: a text this long is refused unconverted.
    if (static_cast<size_t>(text.size()) > kMaxPokeBytes) {
        replyError(kTooLarge, QString::fromStdString(nerova::text(Message::PokeTooManyBytes)));
        return;
    }
    guarded([&] {
        try {
            item_.poke(text.toStdString());
        } catch (const TPokeTooLarge& e) {
            replyError(kTooLarge, QString::fromStdString(messageOf(e)));
        }
    });
}

QString DdeAdaptor::Request(const QString& item) {
    QString data;
    if (knownItem(item)) guarded([&] { data = fromUtf8(item_.data()); });
    return data;
}

void DdeAdaptor::Execute(const QString& command) {
    // One calculation at a time: a macro never runs inside another calculation.
    guarded([&] {
        if (!runner_.run([&] { item_.maceval(command.toStdString()); })) replyBusy();
    });
}

DdeServer::DdeServer(const std::string& programPath, CalcRunner& runner)
    : service_(serviceName(programPath)),
      busName_(QString::fromStdString(nerova::busName(service_))),
      adaptor_(std::make_unique<DdeAdaptor>(item_, runner)),
      link_(std::make_unique<DdeLink>(item_, service_)) {}

DdeServer::~DdeServer() { stop(); }

QString DdeServer::start() {
    if (serving_) return {};
    bus_ = QDBusConnection::sessionBus();
    if (!bus_.isConnected())
        return QCoreApplication::translate("nerova::DdeServer", kNoBusNote);
    // The object first, so that it is there the moment the name is visible.
    if (!bus_.registerObject(QString::fromLatin1(DdeAdaptor::kPath), adaptor_.get(),
                             QDBusConnection::ExportScriptableSlots |
                                 QDBusConnection::ExportScriptableSignals))
        return QCoreApplication::translate("nerova::DdeServer", kNotRegisteredNote);
    QDBusConnectionInterface* bus = bus_.interface();
    QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply(
        bus ? bus->registerService(busName_, QDBusConnectionInterface::DontQueueService,
                                   QDBusConnectionInterface::DontAllowReplacement)
            : QDBusReply<QDBusConnectionInterface::RegisterServiceReply>(
                  QDBusError(QDBusError::Disconnected, QString())));
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus_.unregisterObject(QString::fromLatin1(DdeAdaptor::kPath));
        if (reply.isValid())  // a name taken is normal when two copies run
            return QCoreApplication::translate("nerova::DdeServer", kNameTakenNote);
        return QCoreApplication::translate("nerova::DdeServer", kNotRegisteredNote);
    }
    serving_ = true;
    item_.setSizeCheck([this](size_t dataBytes) { return busCarries(dataBytes); });
    return {};
}

bool DdeServer::busCarries(size_t dataBytes) {
    // The headers of the probe and of the reply or signal differ by far less than this.
    constexpr size_t kHeaderSlack = 512;
    if (!serving_ || dataBytes <= carried_) return true;
    if (dataBytes >= refused_) return false;
    // The bus checks the size of what it receives: a Ping to the bus itself with a text of
    // the size in question is taken (answered, with or without an error) or ends the
    // probe's connection.
    const QString name = QStringLiteral("nerova-size-probe");
    bool carried = false;
    {
        QDBusConnection probe = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        if (probe.isConnected()) {
            QDBusMessage ping = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
            // Bytes, not a text: a message of the same size at half the memory of UTF-16.
            ping << QByteArray(static_cast<qsizetype>(dataBytes + kHeaderSlack), 'x');
            const QDBusMessage answer = probe.call(ping);
            const QString error = answer.errorName();
            const auto is = [&error](QDBusError::ErrorType type) { return error == QDBusError::errorString(type); };
            carried = answer.type() == QDBusMessage::ReplyMessage ||
                      (answer.type() == QDBusMessage::ErrorMessage && probe.isConnected() &&
                       !is(QDBusError::NoReply) && !is(QDBusError::Disconnected) &&
                       !is(QDBusError::Timeout) && !is(QDBusError::Failed));
        }
    }
    QDBusConnection::disconnectFromBus(name);
    if (carried) carried_ = dataBytes;
    else refused_ = std::min(refused_, dataBytes);
    return carried;
}

void DdeServer::stop() {
    if (!serving_) return;
    serving_ = false;
    bus_.unregisterService(busName_);
    bus_.unregisterObject(QString::fromLatin1(DdeAdaptor::kPath));
}

}  // namespace nerova
