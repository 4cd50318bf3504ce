#include "ui/save_file_dialog.h"

#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>

#include "ui/dlg_msg_box.h"

namespace tessarin {

namespace {

// The kind of each entry in Japanese: Qt's Japanese texts lack the words it uses there ("Folder", "csv File").
// Short, so that the column shows them whole.
class JapaneseFileTypes final : public QFileIconProvider {
  public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) {
            return QStringLiteral("フォルダー");
        }
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("ファイル") : suffix.toUpper() + QStringLiteral(" ファイル");
    }
};

}  // namespace

QString AskSaveFileName(QWidget* parent, const QString& proposedName, const QString& filter,
                        const QString& defaultSuffix) {
    JapaneseFileTypes fileTypes;  // outlives the dialog that uses it
    QFileDialog dialog(parent);
    dialog.setIconProvider(&fileTypes);
    dialog.setObjectName(QStringLiteral("dlgSaveFile"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

QString AskSaveFileNameConfirmed(QWidget* parent, const QString& proposedName, const QString& filter,
                                 const QString& defaultSuffix) {
    const QString name = AskSaveFileName(parent, proposedName, filter, defaultSuffix);
    if (!name.isEmpty() && QFileInfo::exists(name) &&
        ShowMsgDialog(
            QStringLiteral("既に同じファイル名「") + name + QStringLiteral("」が存在します。 \r\n上書きしますか？"),
            QStringLiteral("確認"), parent) == kDlgCancel) {
        return {};
    }
    return name;
}

}  // namespace tessarin
