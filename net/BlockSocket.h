#pragma once
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

// One TCP conversation of the upload, driven by signals: every operation ends
// in exactly one call of its completion, at the latest when its deadline
// expires, so nothing waits for ever on a silent or stuck server. Only one
// operation runs at a time; bytes that arrive early stay buffered for the
// next receive and are never dropped.
class BlockSocket : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Ok,
        Timeout,  // the deadline expired
        Closed,   // the server closed the connection (a receive got less than a block)
        Failed,   // the socket reported an error (refused, reset, unreachable ...)
    };
    using Done = std::function<void(Result)>;
    using Received = std::function<void(Result, const QByteArray& block)>;

    explicit BlockSocket(QObject* parent = nullptr);
    ~BlockSocket() override;

    void connectTo(const QHostAddress& address, quint16 port, int deadlineMs, Done done);
    // Hands `bytes` to the system; Ok once none is left in the socket's own buffer.
    void send(const QByteArray& bytes, int deadlineMs, Done done);
    // One whole block of `size` bytes.
    void receive(int size, int deadlineMs, Received done);
    // Ok when the server closes the connection in order (after reading what
    // was sent); Timeout when it does not within the deadline.
    void awaitClose(int deadlineMs, Done done);
    // Ends the conversation at once; a pending operation is dropped without its completion.
    void abort();
    // Closes after the bytes already handed over are written.
    void close();

    QHostAddress peerAddress() const { return socket_.peerAddress(); }

private:
    enum class Op { None, Connect, Send, Receive, Close };
    void begin(Op op, int deadlineMs);
    void finish(Result result);
    void onConnected();
    void onBytesWritten();
    void onReadyRead();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError error);

    QTcpSocket socket_;
    QTimer deadline_;
    Op op_ = Op::None;
    Done done_;
    Received received_;
    QByteArray buffer_;
    int wanted_ = 0;
    bool peerClosed_ = false;
};
