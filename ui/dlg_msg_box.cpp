#include "ui/dlg_msg_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/ui_fonts.h"

namespace tessarin {

namespace {

// CR LF (and a lone CR) become the line breaks that a label shows.
QString withLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

dlgMsgBox::dlgMsgBox(const QString& message, const QString& title, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlgMsgBox"));
    setWindowTitle(title);
    setModal(true);
    setWindowModality(Qt::ApplicationModal);
    setFont(UiFont(kPointSizeNormal));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    const QString text = withLineBreaks(message);

    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("imgIcon"));
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);

    m_lblMsg = new QLabel(text);
    m_lblMsg->setObjectName(QStringLiteral("lblMsg"));
    m_lblMsg->setTextFormat(Qt::PlainText);
    m_lblMsg->setFont(UiFont(kPointSizeControls));
    // The dialog is as wide as the first line of the message, the icon and the margins.
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    m_lblMsg->setMinimumWidth(QFontMetrics(m_lblMsg->font()).horizontalAdvance(firstLine));

    m_cmdButton0 = new QPushButton(QStringLiteral("ＯＫ"));
    m_cmdButton0->setObjectName(QStringLiteral("cmdButton0"));
    m_cmdButton1 = new QPushButton(QStringLiteral("キャンセル"));
    m_cmdButton1->setObjectName(QStringLiteral("cmdButton1"));
    for (QPushButton* button : {m_cmdButton0, m_cmdButton1}) {
        button->setFont(UiFont(kPointSizeControls));
        button->setMinimumWidth(100);
    }
    // Enter answers Cancel unless the operator moves to OK: Cancel holds the focus and is the default.
    m_cmdButton0->setAutoDefault(true);
    m_cmdButton1->setDefault(true);
    connect(m_cmdButton0, &QPushButton::clicked, this, [this] { done(kDlgOk); });
    connect(m_cmdButton1, &QPushButton::clicked, this, [this] { done(kDlgCancel); });

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(icon);
    top->addWidget(m_lblMsg, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdButton0);
    buttons->addWidget(m_cmdButton1);
    buttons->addStretch(1);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(20, 20, 20, 16);
    page->setSpacing(20);
    page->addLayout(top);
    page->addLayout(buttons);
    page->setSizeConstraint(QLayout::SetFixedSize);
}

void dlgMsgBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen the dialog appears on.
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    m_cmdButton1->setFocus(Qt::OtherFocusReason);
    if (!m_cursorSet) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        m_cursorSet = true;
    }
}

void dlgMsgBox::done(int result) {
    // Esc and the close box end in reject(), which arrives here as Rejected: that is Cancel.
    m_dlgResult = result == kDlgOk ? kDlgOk : kDlgCancel;
    if (m_cursorSet) {
        QApplication::restoreOverrideCursor();
        m_cursorSet = false;
    }
    QDialog::done(m_dlgResult);
}

std::int16_t ShowMsgDialog(const QString& message, const QString& title, QWidget* parent) {
    std::int16_t answer = kDlgCancel;
    {
        dlgMsgBox dialog(message, title, parent);
        dialog.exec();
        answer = dialog.DlgResult();
    }
    // Let what the dialog left behind (repaints under it) run once before the caller goes on.
    QCoreApplication::processEvents();
    return answer;
}

void ShowWarningBox(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace tessarin
