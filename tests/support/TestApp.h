#pragma once
#include <QApplication>

// The one application object the widget tests need (offscreen platform under
// ctest). It lives from the start to the end of the test run and is destroyed
// before the program's exit handlers run, as Qt requires.
QApplication& TestApp();
