#include "ui/stale_values.h"

#include <QColor>
#include <QLabel>
#include <QPainter>
#include <QRect>

namespace tessarin {

QString StaleValuesText(const QDateTime& lastAnswer) {
    if (!lastAnswer.isValid()) {
        return QStringLiteral("更新停止　応答はまだありません");
    }
    return QStringLiteral("更新停止　最終応答 ") + lastAnswer.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QLabel* MakeStaleLabel() {
    auto* label = new QLabel;
    label->setObjectName(QStringLiteral("lblStale"));
    label->setTextFormat(Qt::PlainText);
    label->setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold;"));
    // A text of the shown length from the start: the hidden label keeps its room, so showing it moves nothing.
    label->setText(StaleValuesText(QDateTime::currentDateTime()));
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    label->setVisible(false);
    return label;
}

void ShowStaleNote(QLabel* label, bool stale, const QDateTime& lastAnswer) {
    if (stale) {
        label->setText(StaleValuesText(lastAnswer));
    }
    label->setVisible(stale);
}

void PaintStaleWash(QPainter& painter, const QRect& area) { painter.fillRect(area, QColor(255, 255, 255, 150)); }

}  // namespace tessarin
