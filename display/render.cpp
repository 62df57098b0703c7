#include "display/render.h"

#include <QApplication>
#include <QFontInfo>
#include <QScrollBar>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <exception>

#include "display/BunDisp.h"

bool isQuietRendererNotice(QtMsgType type, const QString& message) {
    return type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

int renderToPng(const std::string& text, const std::string& file, const std::string& fontFamily,
                double pointSize, std::ostream& err, double scale) {
    try {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            err << "render: a QApplication is needed\n";
            return 1;
        }

        QWidget owner;
        QScrollBar bar(Qt::Horizontal, &owner);
        TBunDisp disp(&owner, &bar);
        QFont font = TBunDisp::defaultFont();
        if (!fontFamily.empty()) {
            font.setFamily(QString::fromStdString(fontFamily));
            const QString used = QFontInfo(font).family();
            if (used.compare(font.family(), Qt::CaseInsensitive) != 0)
                err << "render: font \"" << fontFamily << "\" not found, using \"" << used.toStdString() << "\"\n";
        }
        if (pointSize > 0) font.setPointSizeF(pointSize);
        disp.setDisplayFont(font, Qt::black);
        disp.setRenderRatio(scale > 0 ? scale : 1.0);
        disp.ApplyFont();

        const std::string shown = text + ";";
        disp.resize(2000, disp.controlHeight());
        disp.ShowText(shown);
        disp.resize(std::clamp(disp.drawingWidth() + 2, 16, 2000), disp.controlHeight());
        disp.ShowText(shown);
        if (!disp.visibleImage().save(QString::fromStdString(file), "PNG")) {
            err << "render: cannot write " << file << "\n";
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        err << "render: " << e.what() << "\n";
        return 1;
    }
}
