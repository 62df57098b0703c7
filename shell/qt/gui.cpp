#include "shell/qt/gui.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QTranslator>

#include "shell/qt/ddelink.h"
#include "shell/qt/ddeservice.h"
#include "shell/qt/fnerova.h"
#include "shell/settings.h"
#include "shell/qt/unixsignals.h"

int nerova::runGui(std::vector<std::string> files) {
    QApplication::setApplicationName(QStringLiteral("Nerova"));
    QApplication::setApplicationDisplayName(QStringLiteral("Nerova"));
    // The window speaks Japanese; so do Qt's own dialogs (the font dialog) where the
    // system has their translations.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    Tfnerova fnerova;
    fnerova.setBatchFiles(std::move(files));

    // ---- The macro service starts here: the window exists, the loop has not begun. ----
    // Named as the settings file is: after the program file the user started.
    nerova::DdeServer dde(programFile(QCoreApplication::arguments().value(0).toStdString(),
                              QCoreApplication::applicationFilePath().toStdString()),
                  fnerova.runner());
    fnerova.setLinkCopier(&dde.linkCopier());
    const auto forgetLink = qScopeGuard([&fnerova] { fnerova.setLinkCopier(nullptr); });
    if (const QString why = dde.start(); !why.isEmpty()) fnerova.showServiceStatus(why);
    nerova::UnixSignalCloser signalCloser(&fnerova);  // SIGTERM, SIGINT: close as the frame does
    signalCloser.setBeforeClose([&fnerova] { fnerova.prepareUnattendedClose(); });

    fnerova.show();
    return QApplication::exec();
}
