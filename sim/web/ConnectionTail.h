#pragma once
#include <QObject>
#include <QTimer>

class QSocketNotifier;
class QTcpSocket;

namespace sim {

// What a scripted server does with a connection after the transfer end, on
// its own descriptor so that Qt's socket (which closes when the client ends
// its sending side) has no say: hold it open whatever the client does, or
// flood it with bytes nobody asked for. It deletes itself when done.
class ConnectionTail : public QObject {
public:
    // Takes the connection over from `socket`, which is aborted; the
    // connection itself stays open until this tail closes it.
    ConnectionTail(QTcpSocket* socket, qint64 floodBytes, int holdMs, QObject* parent);
    ~ConnectionTail() override;

private:
    void flood();
    void finish();

    int fd_ = -1;
    qint64 left_ = 0;
    QSocketNotifier* writable_ = nullptr;
    QTimer hold_;
};

}  // namespace sim
