#pragma once
#include <QString>

// Shows a start-up message that stops the program: always on standard error,
// and in a plain message box when a person can see the screen (not on the
// offscreen or minimal platforms, where a modal box would wait forever).
void ReportStartupMessage(const QString& message, const QString& detail = QString());
