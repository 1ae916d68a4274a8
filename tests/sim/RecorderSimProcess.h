#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>

// Starts the recorder-sim program with args and gives the pseudo-terminal it
// announces on its first line, or an empty text when it did not start.
inline QString StartRecorderSim(QProcess& sim, const QStringList& args)
{
    sim.start(QStringLiteral(TALMON_BIN_DIR "/recorder-sim"), args);
    if (!sim.waitForStarted(10000) || !sim.waitForReadyRead(10000))
        return {};
    return QString::fromUtf8(sim.readLine()).trimmed();
}
