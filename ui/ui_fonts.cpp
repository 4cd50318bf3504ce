#include "ui/ui_fonts.h"

#include <QFontDatabase>

namespace tessarin {

QStringList UiFontSubstitutes() {
    // IPAPGothic is proportional like the original face; Noto Sans CJK JP covers the rest of the
    // machines. Both are listed so that a machine with only one of them still gets one whole font.
    return {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")};
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
