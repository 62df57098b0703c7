// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The window program: the calculator window, and the render mode on Qt's offscreen
// platform. `nerova` (main.cpp) becomes this program (execv) only when one of them is
// asked for. Started on its own it runs every mode, named after its own file.
#include <QApplication>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "display/qt/render.h"
#include "shell/cli.h"
#include "shell/language.h"
#include "shell/programfile.h"
#include "shell/stdstreams.h"
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

int main(int argc, char** argv) {
    // First, before any thread starts: the name the user started the program by, which
    // names the settings, the history and the macro service.
    nerova::takeHandedProgramFile();
    nerova::setLanguage(nerova::chooseLanguage());
    nerova::CommandLine cmd = nerova::parseCommandLine(argc, argv);
    if (!nerova::needsWindowProgram(cmd)) return nerova::runCommandLine(cmd);
    if (!nerova::takeRenderText(cmd, nerova::standardInput(), nerova::standardError())) return 2;
    // Every failure is one line with the program's prefix, not an abort.
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
