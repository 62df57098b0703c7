#include "shell/qt/ddeservice.h"

#include "shell/qt/ddelink.h"
#include "shell/textcalc.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusError>
#include <QtDBus/QDBusReply>

#include <exception>
#include <new>

namespace {

QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

}  // namespace

DdeAdaptor::DdeAdaptor(MacroItem& item, QObject* parent) : QObject(parent), item_(item) {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
    item_.setChangeHandler([this] {
        Q_EMIT Advise(QString::fromUtf8(MacroItem::kItem.data(), qsizetype(MacroItem::kItem.size())),
                      fromUtf8(item_.data()));
    });
}

DdeAdaptor::~DdeAdaptor() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
    item_.setChangeHandler({});
}

// A macro's calculation lets events through, but the window does not count it as its
// own: without this, Esc would not stop "9^9^9" sent by a client, and closing the
// window would leave the program calculating without a window until the end.
bool DdeAdaptor::eventFilter(QObject* watched, QEvent* event) {
    // A macro that begins after the quit (its call came in the same round of events)
    // would have nothing left to stop it.
    if (event->type() == QEvent::Quit) quitting_ = true;
    if (!item_.running()) return false;
    if (event->type() == QEvent::Quit) {
        item_.cancel();
        return false;  // the application still quits, once the macro has returned
    }
    // Only the first Esc: a dialog opened during the macro still closes with the next.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !item_.cancelRequested() &&
        !(busy_ && busy_())) {
        item_.cancel();
        return true;
    }
    return false;
}

// Only a call that came over the bus has a caller to answer.
void DdeAdaptor::replyError(const char* name, const QString& message) {
    if (calledFromDBus()) sendErrorReply(QString::fromLatin1(name), message);
}

bool DdeAdaptor::knownItem(const QString& item) {
    // The item name is compared exactly, case included.
    if (item.toStdString() == MacroItem::kItem) return true;
    replyError(kNoSuchItem,
                   QStringLiteral("No item \"%1\"; the item is NEROVA").arg(item));
    return false;
}

// A call handled while a calculation runs arrives from inside that calculation (it
// lets events through): refusing it keeps one calculation from nesting in another and
// keeps a poke from being overwritten by the result of the macro it interrupts.
bool DdeAdaptor::refuseWhenBusy(bool macro) {
    bool busy = item_.running() || (macro && (quitting_ || (busy_ && busy_())));
    if (busy)
        replyError(kBusy,
                       QStringLiteral("A calculation is running; try again when it has ended"));
    return busy;
}

// The text evaluators turn calculation failures into the item's text; what still
// arrives here (no memory for a huge text, say) must not leave a slot the bus called.
template <class F>
void DdeAdaptor::guarded(F&& f) {
    try {
        f();
    } catch (const std::bad_alloc&) {
        replyError(kFailed, QString::fromUtf8(nerova::kOutOfMemory));
    } catch (const std::exception& e) {
        replyError(kFailed, QString::fromUtf8(e.what()));
    }
}

void DdeAdaptor::Poke(const QString& item, const QString& text) {
    if (!knownItem(item) || refuseWhenBusy(false)) return;
    guarded([&] { item_.poke(text.toStdString()); });
}

QString DdeAdaptor::Request(const QString& item) {
    QString data;
    if (knownItem(item)) guarded([&] { data = fromUtf8(item_.data()); });
    return data;
}

void DdeAdaptor::Execute(const QString& command) {
    if (refuseWhenBusy(true)) return;
    guarded([&] { item_.maceval(command.toStdString()); });
}

DdeServer::DdeServer(const std::string& programPath)
    : service_(serviceName(programPath)),
      busName_(QString::fromStdString(::busName(service_))),
      adaptor_(std::make_unique<DdeAdaptor>(item_)),
      link_(std::make_unique<DdeLink>(item_, service_)) {}

DdeServer::~DdeServer() { stop(); }

QString DdeServer::start() {
    if (serving_) return {};
    bus_ = QDBusConnection::sessionBus();
    if (!bus_.isConnected())
        return QString::fromUtf8(kNoBusNote);
    // The object first, so that it is there the moment the name is visible.
    if (!bus_.registerObject(QString::fromLatin1(DdeAdaptor::kPath), adaptor_.get(),
                             QDBusConnection::ExportScriptableSlots |
                                 QDBusConnection::ExportScriptableSignals))
        return QString::fromUtf8(kNotRegisteredNote);
    QDBusConnectionInterface* bus = bus_.interface();
    QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply(
        bus ? bus->registerService(busName_, QDBusConnectionInterface::DontQueueService,
                                   QDBusConnectionInterface::DontAllowReplacement)
            : QDBusReply<QDBusConnectionInterface::RegisterServiceReply>(
                  QDBusError(QDBusError::Disconnected, QString())));
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus_.unregisterObject(QString::fromLatin1(DdeAdaptor::kPath));
        if (reply.isValid())  // a name taken is normal when two copies run
            return QString::fromUtf8(kNameTakenNote);
        return QString::fromUtf8(kNotRegisteredNote);
    }
    serving_ = true;
    return {};
}

void DdeServer::stop() {
    if (!serving_) return;
    serving_ = false;
    bus_.unregisterService(busName_);
    bus_.unregisterObject(QString::fromLatin1(DdeAdaptor::kPath));
}
