#include "gui.h"

#include <QApplication>

#include "fnerova.h"

int runGui(int argc, char** argv, std::vector<std::string> files) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nerova"));
    QApplication::setApplicationDisplayName(QStringLiteral("Nerova"));

    Tfnerova fnerova;
    fnerova.setBatchFiles(std::move(files));

    // ---- The macro service starts here: the window exists, the loop has not begun. ----

    fnerova.show();
    return app.exec();
}
