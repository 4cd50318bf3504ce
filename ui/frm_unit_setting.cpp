#include "ui/frm_unit_setting.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/ui_fonts.h"

namespace tessarin {

frmUnitSetting::frmUnitSetting(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmUnitSetting"));
    setWindowTitle(QString::fromUtf8(kUnitSettingCaption));
    auto* page = new QVBoxLayout(this);
    auto* banner = new QLabel(QString::fromUtf8(kUnitSettingCaption));
    banner->setObjectName(QStringLiteral("lblBanner"));
    banner->setFont(UiFont(kPointSizeBanner, true));
    page->addWidget(banner);
    page->addStretch(1);
    setMinimumSize(640, 400);
}

void frmUnitSetting::Value_Click_getdata() {
    // Nothing to select yet: the window has no setting lists.
}

}  // namespace tessarin
