// The log screen. For now only its window and caption, so that the main window can open and close it;
// the collection, the tabs and the grids take this class's place later.
#pragma once

#include <QWidget>

namespace tessarin {

inline constexpr const char* kLogDispCaption = "ログ表示";

class frmLogDisp : public QWidget {
    Q_OBJECT
  public:
    explicit frmLogDisp(QWidget* parent = nullptr);
};

}  // namespace tessarin
