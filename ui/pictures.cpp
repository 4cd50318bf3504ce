#include "ui/pictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "ui/app_version.h"
#include "ui/status_panels.h"

// Resources of a static library must be registered by hand; this runs once, outside any namespace
// as Q_INIT_RESOURCE requires.
static void initUiPictures() { Q_INIT_RESOURCE(ui_pictures); }

namespace tessarin {

QString DefaultPictureFolder() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(kPictureFolderName));
}

LampPictures::LampPictures(const QString& folder) {
    const QDir dir(folder);
    for (const char* name : {kLampOnRed, kLampOffRed, kLampOnGreen, kLampOffGreen}) {
        const QString fileName = QString::fromUtf8(name);
        QPixmap picture;
        if (!picture.load(dir.filePath(fileName), "BMP")) {
            picture = BuiltInLampPicture(fileName);
        }
        m_pictures.insert(fileName, picture);
    }
}

QPixmap LampPictures::Picture(const QString& name) const { return m_pictures.value(name); }

QPixmap BuiltInLampPicture(const QString& name) {
    static const bool registered = [] {
        initUiPictures();
        return true;
    }();
    (void)registered;
    QPixmap picture;
    picture.load(QStringLiteral(":/tessarin/") + name, "BMP");
    return picture;
}

QPixmap StartLampPicture(bool sendLamp) {
    return BuiltInLampPicture(QString::fromUtf8(sendLamp ? kLampOffRed : kLampOffGreen));
}

QPixmap ProductBadge() {
    constexpr int kWidth = 76;
    constexpr int kHeight = 26;
    QPixmap badge(kWidth, kHeight);
    badge.fill(Qt::transparent);
    QPainter painter(&badge);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient plate(0, 0, 0, kHeight);
    plate.setColorAt(0.0, QColor(0x2f, 0x4f, 0x8f));
    plate.setColorAt(1.0, QColor(0x12, 0x24, 0x4a));
    painter.setPen(QPen(QColor(0x0a, 0x14, 0x2a), 1));
    painter.setBrush(plate);
    painter.drawRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), 4, 4);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xf0, 0xf4, 0xff));
    painter.drawText(QRect(0, 0, kWidth, kHeight), Qt::AlignCenter, QString::fromUtf8(kProductName));
    return badge;
}

QPixmap ProgramIconPixmap(int size) {
    QPixmap icon(size, size);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient body(0, 0, 0, s);
    body.setColorAt(0.0, QColor(0x35, 0x5c, 0xa8));
    body.setColorAt(1.0, QColor(0x14, 0x2a, 0x5a));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
    // A wave for the line being watched, and a lit lamp.
    QPainterPath wave;
    wave.moveTo(s * 0.12, s * 0.55);
    wave.cubicTo(s * 0.30, s * 0.20, s * 0.42, s * 0.20, s * 0.50, s * 0.55);
    wave.cubicTo(s * 0.58, s * 0.90, s * 0.70, s * 0.90, s * 0.88, s * 0.55);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0xf0, 0xf4, 0xff), qMax(1.0, s * 0.08), Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(wave);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x40, 0xe0, 0x50));
    painter.drawEllipse(QRectF(s * 0.68, s * 0.10, s * 0.2, s * 0.2));
    return icon;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        icon.addPixmap(ProgramIconPixmap(size));
    }
    return icon;
}

}  // namespace tessarin
