// Pictures of the program: the lamp pictures (from the folder 画像 beside the program, or built in), and the
// pictures drawn by the program itself (the status-bar badge and the program icon).
#pragma once

#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace tessarin {

inline constexpr const char* kPictureFolderName = "画像";

// <folder of the running program>/画像
QString DefaultPictureFolder();

// The four lamp pictures, read once. Each comes from its file in `folder` when that file is a readable BMP,
// so that a site can replace them; a file that is missing, unreadable or broken gives the copy built into
// the program instead, so a lamp is never left blank wherever the program is installed.
class LampPictures {
  public:
    explicit LampPictures(const QString& folder);
    // The picture of that file name ("LANP_ON_RED.bmp" ...); empty only for a name that is no lamp.
    QPixmap Picture(const QString& name) const;

  private:
    QHash<QString, QPixmap> m_pictures;
};

// The lamp picture of that file name as built into the program; empty for a name that is no lamp.
QPixmap BuiltInLampPicture(const QString& name);

// The unlit lamps that the status bar shows before the link has drawn anything (built into the program).
QPixmap StartLampPicture(bool sendLamp);

// The fixed 76 x 26 picture of the last status-bar panel: the product name on a small plate.
QPixmap ProductBadge();

// The program's icon, drawn at the usual sizes.
QIcon ProgramIcon();
QPixmap ProgramIconPixmap(int size);

}  // namespace tessarin
