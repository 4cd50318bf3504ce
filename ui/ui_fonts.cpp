#include "ui/ui_fonts.h"

#include <QFontDatabase>

namespace tessarin {

QStringList UiFontSubstitutes() {
#ifdef _WIN32
    // A Japanese Windows has the face itself. Elsewhere the system's Japanese user-interface fonts, newest
    // first; a Windows without any of them (or Wine) may still have Noto Sans CJK JP installed.
    return {QStringLiteral("MS PGothic"),      QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
            QStringLiteral("MS UI Gothic"),    QStringLiteral("Yu Gothic"),    QStringLiteral("Meiryo"),
            QStringLiteral("Noto Sans CJK JP")};
#else
    // IPAPGothic is proportional like the original face; Noto Sans CJK JP covers the rest of the
    // machines. Both are listed so that a machine with only one of them still gets one whole font.
    return {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")};
#endif
}

void InstallFontSubstitutions() {
    const QString family = QString::fromUtf8(kUiFontFamily);
    // When the real face is installed it is used as it is.
    if (QFontDatabase::hasFamily(family)) {
        return;
    }
    QStringList available;
    for (const QString& candidate : UiFontSubstitutes()) {
        if (QFontDatabase::hasFamily(candidate)) {
            available << candidate;
        }
    }
    QFont::insertSubstitutions(family, available.isEmpty() ? UiFontSubstitutes() : available);
}

QFont UiFont(double pointSize, bool bold) {
    QFont font(QString::fromUtf8(kUiFontFamily));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

}  // namespace tessarin
