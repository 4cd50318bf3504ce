#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace tessarin {

namespace {

constexpr const char* kQtBaseJapanese = "qtbase_ja.qm";

}  // namespace

QString QtJapaneseTranslationFile() {
    const QString file =
        QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).filePath(QString::fromUtf8(kQtBaseJapanese));
    return QFileInfo::exists(file) ? file : QString();
}

bool InstallQtJapaneseTranslation() {
    const QString file = QtJapaneseTranslationFile();
    if (file.isEmpty()) {
        return false;
    }
    // Owned by the application, so that it lives as long as the texts it gives are asked for.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(file)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace tessarin
