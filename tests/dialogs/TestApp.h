#pragma once
#include <QApplication>

// The one application object the widget tests need (offscreen platform under ctest).
inline QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "test_dialogs";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}
