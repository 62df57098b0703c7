// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Build step: writes the window-free layers' message catalogues (shell/catalogue.h) from
// the translation files, so that the command line speaks the languages the window speaks
// without loading Qt.
//   nerova_catalogue OUT.cpp translations/nerova_en.ts ...
// Each file gives the language of its name (nerova_LANG.ts) and the translated messages of
// its context "Message"; a message without a translation is left out, as lrelease leaves it.
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The text as a C++ string literal; bytes above 127 (UTF-8) are kept as they are.
std::string literal(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (u < 32 || u == 127) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", u);
            out += octal;
        } else {
            out += c;
        }
    }
    return out + '"';
}

bool read(const QString& path, Pairs& pairs) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QXmlStreamReader xml(&file);
    QString context, source, translation;
    bool kept = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("context")) {
                context.clear();
            } else if (name == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                source.clear();
                translation.clear();
            } else if (name == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (name == QLatin1String("translation")) {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                kept = type != QLatin1String("obsolete") && type != QLatin1String("vanished");
                translation = xml.readElementText();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            if (context == QLatin1String("Message") && kept && !translation.isEmpty())
                pairs.emplace_back(source.toStdString(), translation.toStdString());
        }
    }
    if (xml.hasError()) std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(xml.errorString()));
    return !xml.hasError();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: nerova_catalogue OUT.cpp [nerova_LANG.ts]...\n");
        return 2;
    }
    std::string out =
        "// Written by the build from the translation files; edit those instead.\n"
        "#include \"shell/catalogue.h\"\n\nnamespace nerova {\nnamespace {\n";
    std::string list;
    int count = 0;
    for (int i = 2; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        Pairs pairs;
        if (!read(path, pairs)) {
            std::fprintf(stderr, "nerova_catalogue: cannot read %s\n", argv[i]);
            return 1;
        }
        const std::string lang = QFileInfo(path).completeBaseName().section(QLatin1Char('_'), 1).toStdString();
        const std::string array = "kEntries" + std::to_string(i);
        out += "const CatalogueEntry " + array + "[] = {\n";
        for (const auto& [source, translation] : pairs) out += "    {" + literal(source) + ", " + literal(translation) + "},\n";
        if (pairs.empty()) out += "    {\"\", \"\"},\n";
        out += "};\n";
        list += "    {" + literal(lang) + ", " + array + ", " + std::to_string(pairs.size()) + "},\n";
        ++count;
    }
    out += "}  // namespace\n\nconst Catalogue kCatalogues[] = {\n" + list;
    if (count == 0) out += "    {\"\", nullptr, 0},\n";
    out += "};\nconst std::size_t kCatalogueCount = " + std::to_string(count) + ";\n\n}  // namespace nerova\n";
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file << out;
    file.close();
    if (!file) {
        std::fprintf(stderr, "nerova_catalogue: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
