// The dialog that asks where to save a file.
#pragma once

#include <QString>

class QWidget;

namespace tessarin {

// Asks for the name of a file to save, modally over `parent`: `proposedName` stands in the name field and
// `filter` (such as "CSVファイル(*.csv)") is the one filter offered. A name typed without an extension gets
// `defaultSuffix` (without its dot), so that the filter finds the file again. Overwriting is not asked here:
// the caller asks about the name it gets back. Returns "" when cancelled.
QString AskSaveFileName(QWidget* parent, const QString& proposedName, const QString& filter,
                        const QString& defaultSuffix);

// The same, for a file written afresh: when the name chosen exists, asks "既に同じファイル名「…」が存在します。
// 上書きしますか？" and returns "" unless the user says so.
QString AskSaveFileNameConfirmed(QWidget* parent, const QString& proposedName, const QString& filter,
                                 const QString& defaultSuffix);

}  // namespace tessarin
