#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>

namespace tessarin {

double ScreenDotsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || screen->logicalDotsPerInch() <= 0) {
        return 96.0;
    }
    return screen->logicalDotsPerInch();
}

int Twips(int twips) { return TwipsToPixels(twips, ScreenDotsPerInch()); }

}  // namespace tessarin
