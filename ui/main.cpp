#include "ui/app_main.h"
#include "ui/program_options.h"

int main(int argc, char** argv) {
    // --help and --version are answered before the window toolkit starts, so they need no display.
    if (const std::optional<int> exitCode = tessarin::AnswerInfoOptions(argc, argv)) {
        return *exitCode;
    }
    return tessarin::Main(argc, argv);
}
