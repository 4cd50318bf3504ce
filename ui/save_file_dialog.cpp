#include "ui/save_file_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMessageBox>

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

std::filesystem::path NativeFilePath(const QString& name) {
#ifdef _WIN32
    return {name.toStdWString()};
#else
    return {QFile::encodeName(name).toStdString()};
#endif
}

QString ReadOnlyQuestion(const QString& name) {
    return QStringLiteral("「") + name + QStringLiteral("」は読み取り専用です。置き換えますか？");
}

bool AskReplaceReadOnly(QWidget* parent, const QString& name) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), ReadOnlyQuestion(name),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);  // the name as it is, never markup
    return box.exec() == QMessageBox::Yes;
}

std::optional<SafeWriteStatus> SaveAskingAboutReadOnly(const std::function<SafeWriteStatus(ReadOnlyTarget)>& write,
                                                       const std::function<bool()>& replace) {
    const SafeWriteStatus status = write(ReadOnlyTarget::Refuse);
    if (status != SafeWriteStatus::ReadOnly) {
        return status;
    }
    if (!replace || !replace()) {
        return std::nullopt;
    }
    return write(ReadOnlyTarget::Replace);
}

QString SaveCauseLine(SafeWriteStatus status) {
    const std::string_view cause = SafeWriteCauseText(status);
    return cause.empty() ? QString()
                         : QStringLiteral("\n") + QString::fromUtf8(cause.data(), static_cast<qsizetype>(cause.size()));
}

}  // namespace tessarin
