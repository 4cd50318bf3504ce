// Every Japanese text of the windows is drawn from one installed Japanese font, never glyph by glyph from
// fallbacks and never as empty boxes. A machine without such a font fails here.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QGlyphRun>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRawFont>
#include <QTextLayout>

#include "data/choice_tables.h"
#include "ui/dlg_msg_box.h"
#include "ui/frm_about.h"
#include "ui/frm_now_value.h"
#include "ui/ui_fonts.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

struct Shown {
    QString where;
    QString text;
    QFont font;
};

bool hasJapanese(const QString& text) {
    for (const QChar ch : text) {
        if (ch.unicode() >= 0x3000) {
            return true;
        }
    }
    return false;
}

QString withoutMnemonics(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

void collect(QWidget& root, QList<Shown>& out) {
    const QString owner = root.objectName();
    out.append({owner + QStringLiteral(" caption"), root.windowTitle(), root.font()});
    for (QLabel* label : root.findChildren<QLabel*>()) {
        out.append({owner + "/" + label->objectName(), label->text(), label->font()});
    }
    for (QAbstractButton* button : root.findChildren<QAbstractButton*>()) {
        out.append({owner + "/" + button->objectName(), withoutMnemonics(button->text()), button->font()});
    }
    for (QGroupBox* group : root.findChildren<QGroupBox*>()) {
        out.append({owner + "/" + group->objectName(), group->title(), group->font()});
    }
    for (QMenu* menu : root.findChildren<QMenu*>()) {
        out.append({owner + "/" + menu->objectName(), withoutMnemonics(menu->title()), menu->font()});
        for (QAction* action : menu->actions()) {
            out.append({owner + "/" + action->objectName(), withoutMnemonics(action->text()), menu->font()});
        }
    }
}

QStringList acceptedFamilies() {
    QStringList families = UiFontSubstitutes();
    families << QString::fromUtf8(kUiFontFamily);
    return families;
}

// Lays the text out as Qt draws it and checks the glyphs: none missing, all from one accepted font.
void expectWholeJapaneseFont(const Shown& shown) {
    if (!hasJapanese(shown.text)) {
        return;
    }
    const QRawFont primary = QRawFont::fromFont(shown.font);
    EXPECT_TRUE(acceptedFamilies().contains(primary.familyName(), Qt::CaseInsensitive))
        << shown.where.toStdString() << ": resolved to " << primary.familyName().toStdString();
    for (const QChar ch : shown.text) {
        if (!ch.isSpace() && !ch.isSurrogate()) {
            EXPECT_TRUE(primary.supportsCharacter(ch))
                << shown.where.toStdString() << ": U+" << QString::number(ch.unicode(), 16).toStdString() << " not in "
                << primary.familyName().toStdString();
        }
    }
    QTextLayout layout(shown.text, shown.font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        EXPECT_EQ(run.rawFont().familyName().toLower(), primary.familyName().toLower())
            << shown.where.toStdString() << ": \"" << shown.text.toStdString() << "\" mixes fonts";
        for (const quint32 glyph : run.glyphIndexes()) {
            EXPECT_NE(glyph, 0U) << shown.where.toStdString() << ": \"" << shown.text.toStdString()
                                 << "\" has a missing glyph";
        }
    }
}

TEST(Fonts, EveryWindowTextHasAllItsGlyphsInOneJapaneseFont) {
    QList<Shown> texts;
    auto window = MakeFakeWindow();
    window->mnuShortCutKey_Click();
    collect(*window, texts);
    window->mnuNowValue_Click();
    collect(*window->ActiveChild(), texts);
    window->mnuLogDisp_Click();
    collect(*window->ActiveChild(), texts);
    window->mnuUnitSetting_Click();
    collect(*window->ActiveChild(), texts);
    frmAbout about;
    collect(about, texts);
    dlgMsgBox dialog(QStringLiteral("微地絡ログを消去します。\r\nよろしいですか？"), QStringLiteral("確認"));
    collect(dialog, texts);

    // Texts of message boxes and values the unit reports, in the fonts that show them.
    const QFont normal = UiFont(kPointSizeNormal);
    const QFont values = UiFont(kPointSizeControls);
    for (const char* text :
         {"このアプリケーションはすでに開かれています。", "起動エラー", "現時点ではｼｽﾃﾑ情報を使用できません"}) {
        texts.append({QStringLiteral("message"), QString::fromUtf8(text), normal});
    }
    for (const char* text : {"検出中", "－", "計測不可", "機能あり", "機能なし", "123°", "3回／5回"}) {
        texts.append({QStringLiteral("value"), QString::fromUtf8(text), values});
    }
    auto addTable = [&](const auto& table) {
        for (const std::string_view entry : table) {
            texts.append({QStringLiteral("choice"),
                          QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size())), values});
        }
    };
    addTable(DetectModeTable);
    addTable(V0LevelTable);
    addTable(PhaseRangeTable);
    addTable(DetectTimeTable);
    addTable(ConfirmCountTable);
    addTable(CyclicDispTable);
    addTable(AlarmCauseOvgrTable);

    int japanese = 0;
    for (const Shown& shown : texts) {
        japanese += hasJapanese(shown.text) ? 1 : 0;
        expectWholeJapaneseFont(shown);
    }
    EXPECT_GT(japanese, 60) << "the windows' texts were collected";
}

}  // namespace
}  // namespace tessarin::test
