// tessarin --help and --version: answered before any window, and the rest of the line left to Qt.
#include <gtest/gtest.h>

#include <QTextStream>

#include "ui/frm_about.h"
#include "ui/program_options.h"

namespace tessarin::test {
namespace {

enum class Answer { Start, Help, Version };

struct OptionCase {
    QStringList arguments;  // after the program's name
    Answer answer;
};

TEST(ProgramOptions, HelpAndVersionAnswerAndEverythingElseStartsTheProgram) {
    const OptionCase cases[] = {
        {{}, Answer::Start},
        {{QStringLiteral("--version")}, Answer::Version},
        {{QStringLiteral("-v")}, Answer::Version},
        {{QStringLiteral("--help")}, Answer::Help},
        {{QStringLiteral("-h")}, Answer::Help},
        {{QStringLiteral("--version"), QStringLiteral("--help")}, Answer::Help},
        {{QStringLiteral("-platform"), QStringLiteral("offscreen")}, Answer::Start},
        {{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--version")}, Answer::Version},
        // Qt's word options are not bundles of letters: -reverse holds a "v" but asks for no version.
        {{QStringLiteral("-reverse")}, Answer::Start},
        {{QStringLiteral("--no-such-option")}, Answer::Start},
    };
    for (const OptionCase& c : cases) {
        QString printed;
        QTextStream out(&printed);
        const std::optional<int> exitCode =
            AnswerInfoOptions(QStringList{QStringLiteral("tessarin")} + c.arguments, out);
        const std::string line = c.arguments.join(QLatin1Char(' ')).toStdString();
        switch (c.answer) {
            case Answer::Start:
                EXPECT_FALSE(exitCode.has_value()) << line;
                EXPECT_TRUE(printed.isEmpty()) << line;
                break;
            case Answer::Help:
                EXPECT_EQ(exitCode, 0) << line;
                EXPECT_EQ(printed, HelpText()) << line;
                break;
            case Answer::Version:
                EXPECT_EQ(exitCode, 0) << line;
                EXPECT_EQ(printed, VersionLine() + QLatin1Char('\n')) << line;
                break;
        }
    }
}

TEST(ProgramOptions, VersionIsTheOneTheAboutBoxShows) {
    const QStringList words = VersionLine().split(QLatin1Char(' '));
    ASSERT_EQ(words.size(), 2);
    EXPECT_EQ(words[0], QStringLiteral("Tessarin"));
    EXPECT_EQ(frmAbout::VersionText(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + words[1]);
}

TEST(ProgramOptions, HelpNamesBothOptions) {
    const QString help = HelpText();
    for (const char* option : {"-h, --help", "-v, --version", "使い方: tessarin"}) {
        EXPECT_TRUE(help.contains(QString::fromUtf8(option))) << option;
    }
}

}  // namespace
}  // namespace tessarin::test
