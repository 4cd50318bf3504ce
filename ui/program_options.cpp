#include "ui/program_options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <cstdio>

#include "ui/app_version.h"

namespace tessarin {

namespace {

QCommandLineOption helpOption() {
    return {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("この説明を表示して終了する")};
}

QCommandLineOption versionOption() {
    return {{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("バージョンを表示して終了する")};
}

// "-h, --help"
QString optionNames(const QCommandLineOption& option) {
    QStringList names;
    for (const QString& name : option.names()) {
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    }
    return names.join(QStringLiteral(", "));
}

}  // namespace

QString VersionLine() { return QString::fromUtf8(kProductName) + QLatin1Char(' ') + QString::fromUtf8(kVersionText); }

QString HelpText() {
    QString text = QStringLiteral("使い方: tessarin [オプション]\n") + VersionLine() + QStringLiteral(" — ") +
                   QString::fromUtf8(kDescription) +
                   QStringLiteral(
                       "\nUSB シリアル変換器でつないだ制御装置を自動で見つけ、現在値の表示、設定の変更、\n"
                       "ログの取込と保存を行います。\n\nオプション:\n");
    for (const QCommandLineOption& option : {helpOption(), versionOption()}) {
        text += QStringLiteral("  %1  %2\n").arg(optionNames(option), -15).arg(option.description());
    }
    text += QStringLiteral("\nQt の標準オプション (-platform、-style など) も使えます。\n");
    return text;
}

std::optional<int> AnswerInfoOptions(const QStringList& arguments, QTextStream& out) {
    QCommandLineParser parser;
    // Qt's own options are single-dash words (-platform, -reverse): read them as words, never as bundles of
    // letters, so that "-reverse" is not taken for "-v".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = helpOption();
    const QCommandLineOption version = versionOption();
    parser.addOption(help);
    parser.addOption(version);
    // Unknown options are Qt's business; parse() still records the two that are ours.
    (void)parser.parse(arguments);
    if (parser.isSet(help)) {
        out << HelpText();
    } else if (parser.isSet(version)) {
        out << VersionLine() << '\n';
    } else {
        return std::nullopt;
    }
    out.flush();
    return 0;
}

std::optional<int> AnswerInfoOptions(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QTextStream out(stdout);
    return AnswerInfoOptions(arguments, out);
}

}  // namespace tessarin
