// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The Qt side of the program: the calculator window, and the render mode on Qt's
// offscreen platform. Loaded by main.cpp only when one of them is asked for.
#include "app/guimodule.h"

#include <QApplication>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "display/qt/render.h"
#include "shell/cli.h"
#include "shell/language.h"
#include "shell/qt/gui.h"

namespace {

QtMessageHandler PreviousHandler = nullptr;

void RendererMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (isQuietRendererNotice(type, message)) return;
    if (PreviousHandler) PreviousHandler(type, context, message);
}

// Keeps the harmless notice quiet from before the renderer's application starts until
// after it ends, then puts the previous handler back.
struct QuietNotices {
    QuietNotices() { PreviousHandler = qInstallMessageHandler(RendererMessageHandler); }
    ~QuietNotices() { qInstallMessageHandler(PreviousHandler); }
    QuietNotices(const QuietNotices&) = delete;
    QuietNotices& operator=(const QuietNotices&) = delete;
};

// Where Qt finds no display the window says so in one line (Message::NoDisplay), instead
// of the platform plugin's page and an abort.
constexpr int kNoDisplayStatus = 2;

struct HeldMessage {
    QtMsgType type;
    QString text;
};
QList<HeldMessage>* HeldMessages = nullptr;

void StartUpMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::cerr << nerova::messagePrefix() << nerova::text(nerova::Message::NoDisplay) << std::endl;
        std::_Exit(kNoDisplayStatus);
    }
    if (HeldMessages) HeldMessages->append({type, message});
}

// Holds Qt's messages while the application connects to the display: a failure ends the
// program with kNoDisplay; after a success the held messages are passed on.
struct StartUpMessages {
    QList<HeldMessage> held;
    QtMessageHandler previous;
    StartUpMessages() : previous(qInstallMessageHandler(StartUpMessageHandler)) { HeldMessages = &held; }
    ~StartUpMessages() {
        HeldMessages = nullptr;
        qInstallMessageHandler(previous);
        for (const HeldMessage& m : held)
            if (previous) previous(m.type, QMessageLogContext(), m.text);
            else std::cerr << nerova::messagePrefix() << m.text.toStdString() << '\n';
    }
    StartUpMessages(const StartUpMessages&) = delete;
    StartUpMessages& operator=(const StartUpMessages&) = delete;
};

int runWindow(int argc, char** argv, const nerova::CommandLine& cmd) {
    // Qt's own warnings, too, say whose they are (QT_MESSAGE_PATTERN still wins).
    qSetMessagePattern(QString::fromStdString(nerova::messagePrefix()) +
                       QStringLiteral("%{if-category}%{category}: %{endif}%{message}"));
    std::unique_ptr<QApplication> app;
    {
        StartUpMessages startUp;
        app = std::make_unique<QApplication>(argc, argv);
    }
    return nerova::runGui(cmd.files, cmd.maxDigits);
}

int runRender(const nerova::CommandLine& cmd) {
    // The offscreen platform needs no display server; the argument wins over whatever
    // QT_QPA_PLATFORM says. QApplication edits argc and argv, which must outlive it.
    char arg0[] = "nerova", arg1[] = "-platform", arg2[] = "offscreen";
    char* argv[] = {arg0, arg1, arg2, nullptr};
    int argc = 3;
    QuietNotices quiet;  // outlives app
    QApplication app(argc, argv);
    // The renderer's messages in the user's language, with the program's prefix, as every
    // message on standard error.
    const auto report = [](const std::exception& e) {
        std::cerr << nerova::messagePrefix() << nerova::messageOf(e) << '\n';
    };
    const auto format = cmd.renderFormat == nerova::RenderFormat::Svg ? nerova::ImageFormat::Svg : nerova::ImageFormat::Png;
    return renderToFile(cmd.renderText, cmd.renderFile, format, cmd.font, cmd.pointSize, report) == 0 ? 0 : 2;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int nerova_gui_main(int argc, char** argv,
                                                                      const nerova::CommandLine& cmd) {
    // The module holds its own copy of the shell's language: set it as the program did.
    nerova::setLanguage(nerova::chooseLanguage());
    // No exception leaves the module: the program links its own copy of the C++ runtime.
    try {
        if (cmd.mode == nerova::CommandLine::Mode::Render) return runRender(cmd);
        return runWindow(argc, argv, cmd);
    } catch (const std::exception& e) {
        std::cerr << nerova::messagePrefix() << nerova::messageOf(e) << '\n';
    } catch (...) {
        std::cerr << nerova::messagePrefix() << nerova::text(nerova::Message::UnknownError) << '\n';
    }
    return 2;
}

// The loader looks the entry up by this name; a changed signature must change both.
static_assert(sizeof(nerova::GuiMain) == sizeof(&nerova_gui_main));
