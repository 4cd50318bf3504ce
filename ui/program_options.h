// The program's command line: --help and --version, answered before any window exists, so that they work
// without a display (over ssh, in a package check). Everything else on the line is left to Qt (-platform,
// -style ...) and otherwise ignored, as it always was.
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace tessarin {

// "Tessarin 1.0.0": what --version prints; the About box shows the same version.
QString VersionLine();

// What --help prints.
QString HelpText();

// `arguments` is the whole command line, the program first. When it asks for help or the version, writes
// the answer to `out` and returns the exit code (0); otherwise writes nothing and returns nothing, and the
// program starts as usual. Help wins over the version when both are asked for.
std::optional<int> AnswerInfoOptions(const QStringList& arguments, QTextStream& out);

// The same for main()'s arguments, answering on standard output.
std::optional<int> AnswerInfoOptions(int argc, char** argv);

}  // namespace tessarin
