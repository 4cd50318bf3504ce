// Qt's own dialogs and menus as the operator meets them: in Japanese when the system has Qt's Japanese texts,
// and the save dialog adding the extension to a name typed without one.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "ui/qt_translations.h"
#include "ui/save_file_dialog.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

const QString kCsvFilter = QStringLiteral("CSVファイル(*.csv)");

// Qt's English texts of the save dialog and of a text field's context menu, with their accelerators.
const QStringList kEnglishTexts = {QStringLiteral("Save As"),
                                   QStringLiteral("Look in:"),
                                   QStringLiteral("File name:"),
                                   QStringLiteral("Files of type:"),
                                   QStringLiteral("&Save"),
                                   QStringLiteral("Save"),
                                   QStringLiteral("Cancel"),
                                   QStringLiteral("&Cancel"),
                                   QStringLiteral("Name"),
                                   QStringLiteral("Size"),
                                   QStringLiteral("Type"),
                                   QStringLiteral("Date Modified"),
                                   QStringLiteral("Back"),
                                   QStringLiteral("Forward"),
                                   QStringLiteral("Parent Directory"),
                                   QStringLiteral("Create New Folder"),
                                   QStringLiteral("List View"),
                                   QStringLiteral("Detail View"),
                                   QStringLiteral("&Undo"),
                                   QStringLiteral("&Redo"),
                                   QStringLiteral("Cu&t"),
                                   QStringLiteral("&Copy"),
                                   QStringLiteral("&Paste"),
                                   QStringLiteral("Delete"),
                                   QStringLiteral("Select All"),
                                   QStringLiteral("Folder"),
                                   QStringLiteral("File")};

// Every text the dialog shows: caption, labels, buttons (tooltips of the tool buttons too), column headings,
// the kind of a folder and of a file without extension.
QStringList ShownTexts(QFileDialog* dialog) {
    QStringList texts{dialog->windowTitle()};
    if (const QAbstractFileIconProvider* kinds = dialog->iconProvider()) {
        texts << kinds->type(QFileInfo(QDir::tempPath())) << kinds->type(QFileInfo(QDir::root().filePath("bin/sh")));
    }
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        texts << label->text();
    }
    for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        texts << button->text() << button->toolTip();
    }
    for (const QHeaderView* header : dialog->findChildren<QHeaderView*>()) {
        const QAbstractItemModel* model = header->model();
        for (int section = 0; model != nullptr && section < header->count(); ++section) {
            texts << model->headerData(section, header->orientation()).toString();
        }
    }
    return texts;
}

QStringList EnglishAmong(const QStringList& texts) {
    QStringList english;
    for (const QString& text : texts) {
        if (kEnglishTexts.contains(text)) {
            english << text;
        }
    }
    return english;
}

// The button that accepts the dialog: it reads 保存 for a file name and turns into 開く while the name field
// seems to hold a folder.
QPushButton* AcceptButton(QFileDialog* dialog) {
    const auto* box = dialog->findChild<QDialogButtonBox*>();
    return box == nullptr ? nullptr : qobject_cast<QPushButton*>(box->button(QDialogButtonBox::Save));
}

// Types `name` into the open save dialog's name field and presses Enter there, once the dialog has looked
// the name up (the button says 保存 again), as it has by the time a person reaches for the key.
void TypeNameAndEnter(const QString& name) {
    WhenModalShows<QFileDialog>([name](QFileDialog* dialog) {
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QPushButton* accept = AcceptButton(dialog);
        ASSERT_NE(field, nullptr);
        ASSERT_NE(accept, nullptr);
        const QString saveText = accept->text();
        field->clear();
        QTest::keyClicks(field, name);
        EXPECT_TRUE(QTest::qWaitFor([&] { return accept->text() == saveText; }, 5000));
        QTest::keyClick(field, Qt::Key_Return);
        if (dialog->isVisible()) {
            dialog->reject();  // the name was refused: the test sees ""
        }
    });
}

TEST(StandardDialogs, SaveDialogAndTextMenusSpeakJapanese) {
    if (QtJapaneseTranslationFile().isEmpty()) {
        GTEST_SKIP() << "this system has no qtbase_ja.qm (Debian: qt6-translations-l10n)";
    }
    QStringList dialogTexts;
    QString proposed;
    QString filter;
    WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        dialogTexts = ShownTexts(dialog);
        if (const auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            proposed = field->text();
        }
        filter = dialog->selectedNameFilter();
        dialog->reject();
    });
    EXPECT_EQ(AskSaveFileName(nullptr, QStringLiteral("20240115_bichiraku"), kCsvFilter, QStringLiteral("csv")),
              QString());
    EXPECT_EQ(proposed, QStringLiteral("20240115_bichiraku"));
    EXPECT_EQ(filter, kCsvFilter);
    ASSERT_GT(dialogTexts.size(), 5);
    EXPECT_EQ(EnglishAmong(dialogTexts), QStringList()) << dialogTexts.join(u'|').toStdString();

    QLineEdit field;
    const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    QStringList menuTexts;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            menuTexts << action->text().section(u'\t', 0, 0);
        }
    }
    ASSERT_FALSE(menuTexts.isEmpty());
    EXPECT_EQ(EnglishAmong(menuTexts), QStringList()) << menuTexts.join(u'|').toStdString();
}

TEST(StandardDialogs, SaveDialogAddsTheExtensionToANameWithoutOne) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    struct Case {
        const char* typed;
        const char* chosen;
    };
    const Case cases[] = {
        {"report", "report.csv"},
        {"report.csv", "report.csv"},
        {"20240115_bichiraku", "20240115_bichiraku.csv"},
        {"log.txt", "log.txt"},  // an extension of the operator's own stays
    };
    for (const Case& c : cases) {
        TypeNameAndEnter(QString::fromUtf8(c.typed));
        const QString chosen =
            AskSaveFileName(nullptr, folder.filePath(QStringLiteral("proposed")), kCsvFilter, QStringLiteral("csv"));
        EXPECT_EQ(chosen, folder.filePath(QString::fromUtf8(c.chosen))) << c.typed;
    }
}

}  // namespace
}  // namespace tessarin::test
