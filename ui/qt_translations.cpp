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
    // Qt's own folder first; then the folder translations beside the program, where the Windows program
    // carries them.
    const QString name = QString::fromUtf8(kQtBaseJapanese);
    for (const QString& folder :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))}) {
        const QString file = QDir(folder).filePath(name);
        if (QFileInfo::exists(file)) {
            return file;
        }
    }
    return {};
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
