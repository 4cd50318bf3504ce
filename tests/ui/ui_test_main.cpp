// The window tests need a QApplication, so they bring their own main. They run offscreen unless told
// otherwise, and in a private runtime folder of their own, so that neither the user's single-instance lock
// nor the user's serial-port list is touched.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "ui/app_main.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir runtime;  // created 0700, as a runtime folder must be
    if (!runtime.isValid()) {
        return 1;
    }
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
    tessarin::InitProgramLook();
    return RUN_ALL_TESTS();
}
