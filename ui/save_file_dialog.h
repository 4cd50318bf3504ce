// The dialog that asks where to save a file, and what a save may have to ask or say afterwards.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

#include "data/safe_write.h"

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

// The chosen name as the file system takes it: UTF-16 on Windows, the local 8-bit encoding elsewhere.
std::filesystem::path NativeFilePath(const QString& name);

// "「…」は読み取り専用です。置き換えますか？"
QString ReadOnlyQuestion(const QString& name);
// Asks ReadOnlyQuestion with はい/いいえ (いいえ by default), modally over `parent`; true for はい.
bool AskReplaceReadOnly(QWidget* parent, const QString& name);

// Saves with `write`, which refuses a read-only target; for one, asks `replace` (none counts as no) and on
// yes saves again allowing it. nullopt when the user said no: nothing was saved, and there is nothing to say.
std::optional<SafeWriteStatus> SaveAskingAboutReadOnly(const std::function<SafeWriteStatus(ReadOnlyTarget)>& write,
                                                       const std::function<bool()>& replace);

// The cause of a failed save on a line of its own, for the end of an error message: a line break and the
// cause; "" for Ok.
QString SaveCauseLine(SafeWriteStatus status);

}  // namespace tessarin
