#include "app/StartupReport.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

void ReportStartupMessage(const QString& message, const QString& detail)
{
    const QString line = detail.isEmpty() ? message : message + ' ' + detail;
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Talmon ECG Manager"), message, QMessageBox::Ok);
    box.exec();
}
