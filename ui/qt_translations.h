// Qt's own texts in Japanese: the standard dialogs' labels and buttons, the context menus of text fields.
#pragma once

#include <QString>

namespace tessarin {

// The file of Qt's Japanese texts where the system keeps Qt's translations, else in the folder translations
// beside the program ("" when there is none).
QString QtJapaneseTranslationFile();

// Installs Qt's Japanese texts into the application whatever the system's language is, as every other word
// of the program is Japanese. Call once after the QApplication exists and before any window is built.
// False when the system has no such file; Qt's texts then stay as they are.
bool InstallQtJapaneseTranslation();

}  // namespace tessarin
