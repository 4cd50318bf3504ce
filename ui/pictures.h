// Pictures of the program: the lamp pictures read from the folder 画像 beside the program, and the
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

// The four lamp pictures, read once from a folder. A file that is missing or cannot be read gives an
// empty pixmap, and the status bar then simply shows no picture.
class LampPictures {
  public:
    explicit LampPictures(const QString& folder);
    // The picture of that file name ("LANP_ON_RED.bmp" ...); empty for a missing file or an unknown name.
    QPixmap Picture(const QString& name) const;

  private:
    QHash<QString, QPixmap> m_pictures;
};

// The unlit lamps that the status bar shows before the link has drawn anything (built into the program).
QPixmap StartLampPicture(bool sendLamp);

// The fixed 76 x 26 picture of the last status-bar panel: the product name on a small plate.
QPixmap ProductBadge();

// The program's icon, drawn at the usual sizes.
QIcon ProgramIcon();
QPixmap ProgramIconPixmap(int size);

}  // namespace tessarin
