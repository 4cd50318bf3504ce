// The settings screen. For now only its window and caption, so that the main window can open and close it
// and call Value_Click_getdata after opening; the setting lists take this class's place later.
#pragma once

#include <QWidget>

namespace tessarin {

inline constexpr const char* kUnitSettingCaption = "微地絡設定";

class frmUnitSetting : public QWidget {
    Q_OBJECT
  public:
    explicit frmUnitSetting(QWidget* parent = nullptr);

    // Selects in each setting list what the unit last reported. The main window calls it after opening.
    void Value_Click_getdata();
};

}  // namespace tessarin
