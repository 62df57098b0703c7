// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The macro service on the D-Bus session bus: the well-known name of busName() (the
// application's ID), the object /DDE (the topic) with the interface org.nerova.DDE
// (the ID's domain from shell/identity.h, then "DDE").
#pragma once

#include "shell/identity.h"
#include "shell/macro.h"

#include <QObject>
#include <QString>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusContext>

#include <functional>
#include <memory>
#include <string>

namespace nerova {

class CalcRunner;
class DdeLink;

/// The exported object: carries Poke, Request and Execute to the item and sends the
/// signal Advise after every change of the item. Calls run on the thread of the event
/// loop, like every window command.
class DdeAdaptor : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", NEROVA_BUS_PREFIX_LITERAL "DDE")
    // Written out so that the arguments carry their names for clients that look.
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"" NEROVA_BUS_PREFIX_LITERAL "DDE\">\n"
                "    <method name=\"Poke\">\n"
                "      <arg name=\"item\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"text\" type=\"s\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <method name=\"Request\">\n"
                "      <arg name=\"item\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"data\" type=\"s\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"Execute\">\n"
                "      <arg name=\"command\" type=\"s\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <signal name=\"Advise\">\n"
                "      <arg name=\"item\" type=\"s\"/>\n"
                "      <arg name=\"data\" type=\"s\"/>\n"
                "    </signal>\n"
                "  </interface>\n")

public:
    static constexpr const char* kInterface = NEROVA_BUS_PREFIX_LITERAL "DDE";
    static constexpr const char* kPath = "/DDE";
    static constexpr const char* kNoSuchItem = NEROVA_BUS_PREFIX_LITERAL "DDE.Error.NoSuchItem";
    static constexpr const char* kBusy = NEROVA_BUS_PREFIX_LITERAL "DDE.Error.Busy";
    static constexpr const char* kFailed = NEROVA_BUS_PREFIX_LITERAL "DDE.Error.Failed";
    static constexpr const char* kTooLarge = NEROVA_BUS_PREFIX_LITERAL "DDE.Error.TooLarge";

    /// Serves item, which must outlive the adaptor; takes over its change handler.
    /// Macros run through runner (borrowed), the program's one owner of calculations:
    /// one arriving while any calculation runs is refused with the error Busy, and Esc
    /// or the application's quitting stops a running one, whose result is then the
    /// cancellation message.
    DdeAdaptor(MacroItem& item, CalcRunner& runner, QObject* parent = nullptr);
    ~DdeAdaptor() override;

public Q_SLOTS:
    /// Replaces the item's lines by those of text. Errors: NoSuchItem, Busy (a macro
    /// is calculating and would overwrite the poke), TooLarge (over kMaxPokeBytes or
    /// kMaxPokeLines, or data larger than the bus carries).
    Q_SCRIPTABLE void Poke(const QString& item, const QString& text);
    /// The item's lines, each followed by "\r\n". Error: NoSuchItem.
    Q_SCRIPTABLE QString Request(const QString& item);
    /// Runs the macro named by the command's first line ("calc", "frac", "tai");
    /// anything else is acknowledged and does nothing. Error: Busy (also once the
    /// application quits).
    Q_SCRIPTABLE void Execute(const QString& command);

Q_SIGNALS:
    /// The item's new data, after every poke and every macro.
    Q_SCRIPTABLE void Advise(const QString& item, const QString& data);

private:
    void replyError(const char* name, const QString& message);
    bool knownItem(const QString& item);
    bool refuseWhileMacroRuns();
    void replyBusy();
    /// Runs f; an exception becomes the error Failed with its message.
    template <class F>
    void guarded(F&& f);

    MacroItem& item_;
    CalcRunner& runner_;
};

/// The whole service of one program: the item, its adaptor on the bus and the link
/// copier for the AC command. Withdraws the name and the object when destroyed.
class DdeServer {
public:
    // Notes for the window's information line: short, for its designed width (translated where
    // shown, in the context "nerova::DdeServer").
    static constexpr const char* kNoBusNote = QT_TRANSLATE_NOOP("nerova::DdeServer", "D-Bus なし: マクロは使えません");
    static constexpr const char* kNameTakenNote = QT_TRANSLATE_NOOP("nerova::DdeServer", "マクロは別のコピーが受付中");
    static constexpr const char* kNotRegisteredNote = QT_TRANSLATE_NOOP("nerova::DdeServer", "D-Bus に登録できません");

    /// Names the service after the program file (see serviceName in macro.h); macros
    /// run through runner (borrowed).
    DdeServer(const std::string& programPath, CalcRunner& runner);
    ~DdeServer();
    DdeServer(const DdeServer&) = delete;
    DdeServer& operator=(const DdeServer&) = delete;

    /// Connects to the session bus, exports /DDE and takes the well-known name. Returns
    /// the empty text when serving, otherwise a one-line reason for the user (no
    /// session bus, the name held by another copy); the calculator works either way.
    QString start();

    /// The item the service works on.
    MacroItem& item() { return item_; }
    /// The copier that AC on the input "DDE" uses.
    DdeLink& linkCopier() { return *link_; }
    /// The service name: the program file's name up to its first ".".
    const std::string& service() const { return service_; }
    /// The well-known name asked for on the bus.
    QString busName() const { return busName_; }
    /// True once start() has taken the name, until the server is destroyed.
    bool serving() const { return serving_; }

private:
    void stop();
    /// Whether the bus carries a message with data of this many bytes (a reply to Request,
    /// the signal Advise). The bus's own limit is found by sending a message of that
    /// size on a connection of its own (a bus drops a connection that sends more than
    /// it takes); the answers are remembered.
    bool busCarries(size_t dataBytes);

    std::string service_;
    QString busName_;
    MacroItem item_;
    std::unique_ptr<DdeAdaptor> adaptor_;
    std::unique_ptr<DdeLink> link_;
    QDBusConnection bus_{QString()};
    bool serving_ = false;
    size_t carried_ = 0;                        // the largest data the bus has taken
    size_t refused_ = static_cast<size_t>(-1);  // the smallest data the bus has refused
};

}  // namespace nerova
