#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>

// The stand-in service `web-sim` as a program; its first line is the directory host.
class WebSim {
public:
    explicit WebSim(QStringList args)
    {
        process_.start(QStringLiteral(TALMON_BIN_DIR "/web-sim"), args);
        if (process_.waitForReadyRead(15000)) server_ = QString::fromLatin1(process_.readLine()).trimmed();
    }
    ~WebSim()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    const QString& server() const { return server_; }

private:
    QProcess process_;
    QString server_;
};
