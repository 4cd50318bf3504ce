// Values that are no longer being refreshed must not look live: the windows that show current values grey
// them and say since when they are as shown. The main window tells them when that starts and ends.
#pragma once

#include <QDateTime>
#include <QString>

class QLabel;
class QPainter;
class QRect;

namespace tessarin {

// "更新停止　最終応答 2026/12/09 10:12:05", or that no answer came yet when `lastAnswer` is not valid.
QString StaleValuesText(const QDateTime& lastAnswer);

// The note's label, hidden until the values go stale; it keeps its place while hidden so nothing moves.
QLabel* MakeStaleLabel();
void ShowStaleNote(QLabel* label, bool stale, const QDateTime& lastAnswer);

// Washes a painted picture out, so that it reads as not live.
void PaintStaleWash(QPainter& painter, const QRect& area);

}  // namespace tessarin
