#include "ui/frm_log_disp.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/ui_fonts.h"

namespace tessarin {

frmLogDisp::frmLogDisp(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmLogDisp"));
    setWindowTitle(QString::fromUtf8(kLogDispCaption));
    auto* page = new QVBoxLayout(this);
    auto* banner = new QLabel(QString::fromUtf8(kLogDispCaption));
    banner->setObjectName(QStringLiteral("lblBanner"));
    banner->setFont(UiFont(kPointSizeBanner, true));
    page->addWidget(banner);
    page->addStretch(1);
    setMinimumSize(640, 400);
}

}  // namespace tessarin
