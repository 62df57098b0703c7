// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/qt/gui.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QScopeGuard>
#include <QTranslator>

#include <iostream>

#include "shell/qt/ddelink.h"
#include "shell/qt/ddeservice.h"
#include "shell/qt/fnerova.h"
#include "shell/budget.h"
#include "shell/cli.h"
#include "shell/identity.h"
#include "shell/language.h"
#include "shell/programfile.h"
#include "shell/settings.h"
#include "shell/qt/unixsignals.h"

namespace {

// The window's texts in the chosen language (none to load for the source language), and
// Qt's own (the font and colour dialogs) where the system has them. The catalogues lie
// beside the window program in the build tree and under the data folder when installed,
// found from the window program's folder.
void installTranslators(QApplication& app, const QString& lang) {
    const QString own = QStringLiteral("nerova_") + lang;
    for (const char* relative : {NEROVA_TRANSLATIONS_INSTALLED, NEROVA_TRANSLATIONS_BUILT}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(own, QDir(QApplication::applicationDirPath()).filePath(QString::fromUtf8(relative)))) {
            QApplication::installTranslator(translator);
            break;
        }
        delete translator;
    }
    auto* qtTexts = new QTranslator(&app);
    if (qtTexts->load(QStringLiteral("qtbase_") + lang, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTexts);
    else
        delete qtTexts;
}

}  // namespace

int nerova::runGui(std::vector<std::string> files, int64_t maxDigits) {
    QApplication::setApplicationName(QStringLiteral("Nerova"));
    QApplication::setApplicationDisplayName(QStringLiteral("Nerova"));
    // Ties the window to its menu entry (Wayland's app id) and shows the menu's icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app-icon.svg")));
    // The window speaks the locale's language, as the command line does.
    nerova::setLanguage(nerova::chooseLanguage());
    installTranslators(*qApp, QString::fromStdString(nerova::language()));

    // Named after the program file the user started: the settings file and the macro service.
    const std::string program = startedProgramFile(QCoreApplication::arguments().value(0).toStdString(),
                                            QCoreApplication::applicationFilePath().toStdString());
    // The budget holds for every calculation of the process: the window's, the batch
    // run's and the macro service's.
    // The settings are read once, here, and handed to the window.
    FormSettings settings;
    const std::string settingsFile = settingsPath(program);
    // A file over the cap is broken: the defaults stand, and the save leaves it alone.
    if (!readSettings(settingsFile, settings))
        std::cerr << nerova::messagePrefix() << nerova::text(nerova::kSettingsTooLarge, settingsFile) << '\n';
    nerova::applyMaxDigits(maxDigits > 0 ? maxDigits : settings.maxDigits);

    Tfnerova fnerova;
    fnerova.setSettings(settings);
    fnerova.setBatchFiles(std::move(files));

    // ---- The macro service starts here: the window exists, the loop has not begun. ----
    nerova::DdeServer dde(program, fnerova.runner());
    fnerova.setLinkCopier(&dde.linkCopier());
    const auto forgetLink = qScopeGuard([&fnerova] { fnerova.setLinkCopier(nullptr); });
    if (const QString why = dde.start(); !why.isEmpty()) fnerova.showServiceStatus(why);
    nerova::UnixSignalCloser signalCloser(&fnerova);  // SIGTERM, SIGINT: close as the frame does
    signalCloser.setBeforeClose([&fnerova] { fnerova.prepareUnattendedClose(); });

    fnerova.show();
    return QApplication::exec();
}
