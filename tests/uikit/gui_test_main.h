// main() for the GUI tests: the application object is set up as the program's own.
#pragma once

#include <QApplication>
#include <QTest>

#include "uikit/tavo_application.h"

#define TAVO_GUI_TEST_MAIN(TestObject)          \
    int main(int argc, char* argv[]) {          \
        PrepareApplicationAttributes();         \
        QApplication app(argc, argv);           \
        SetUpApplication(app);                  \
        TestObject test;                        \
        return QTest::qExec(&test, argc, argv); \
    }
