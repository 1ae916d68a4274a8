#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <functional>

class QSocketNotifier;

// One TCP conversation of the upload and the firmware fetch, driven by the
// event loop: every operation ends in exactly one call of its completion, at
// the latest when its deadline expires, so nothing waits for ever on a silent
// or stuck server. Only one operation runs at a time.
//
// What the server sends is read only when a receive asks for it, and never
// past the size asked for: bytes nobody asked for stay with the system (whose
// buffer is bounded, and then holds the server back) instead of growing ours.
// A connection reset is told apart from an orderly close: only the latter is
// the server's word that it read everything we sent.
class BlockSocket : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Ok,
        Timeout,  // the deadline expired
        Closed,   // the server closed the connection in order (a receive got less than a block)
        Failed,   // the connection failed: refused, reset, unreachable ...
    };
    using Done = std::function<void(Result)>;
    using Received = std::function<void(Result, const QByteArray& block)>;

    explicit BlockSocket(QObject* parent = nullptr);
    ~BlockSocket() override;

    // IPv4 only: the service's addresses are dotted IPv4 addresses.
    void connectTo(const QHostAddress& address, quint16 port, int deadlineMs, Done done);
    // Hands `bytes` to the system; Ok once it took every one of them. Like
    // awaitAcknowledged, the deadline counts from the last progress.
    void send(const QByteArray& bytes, int deadlineMs, Done done);
    // One whole block of `size` bytes; nothing beyond it is read.
    void receive(int size, int deadlineMs, Received done);
    // Ok once the server's system acknowledged every byte handed over: the
    // bytes have left, and a pause counted from here is a pause on the line.
    // The deadline counts from the last progress of at least 1 KiB, so a
    // slow but steady line is waited for and a stalled one is not.
    void awaitAcknowledged(int deadlineMs, Done done);
    // Ends our sending side and waits for the server's word that it has what
    // we sent: Ok when it closes in order, or when it keeps the connection
    // open while the system reports every byte we sent acknowledged and no
    // reset has come for `settleMs`. Failed on a reset; Timeout otherwise.
    // Bytes the server sends meanwhile are read and dropped.
    void awaitClose(int deadlineMs, Done done, int settleMs = 250);
    // Ends the conversation at once; a pending operation is dropped without its completion.
    void abort();
    // Closes; the bytes already handed over still go out.
    void close();

    QHostAddress peerAddress() const { return peer_; }

    // The server has ended its sending side (or the connection is gone):
    // nothing we send from then on can be proved read.
    bool peerHasEnded() const;

    // Bytes the server sent that no receive has asked for yet; -1 without a
    // connection. Before a request they are no answer to it: the server sent
    // more than was asked, and the conversation is out of step.
    qint64 unaskedBytes() const;

    // Bytes of the send queue the peer has not acknowledged yet; -1 without a connection.
    qint64 unacknowledgedBytes() const;

private:
    enum class Op { None, Connect, Send, Receive, Acknowledged, Close };
    void begin(Op op, int deadlineMs);
    void finish(Result result);
    void later(Op op, void (BlockSocket::*step)());
    void release();
    void onReadable();
    void onWritable();
    void pumpSend();
    void pumpReceive();
    void drainUntilClose();
    void checkAcknowledged();
    void watchProgress(int deadlineMs);
    void noteProgress();

    int fd_ = -1;
    QSocketNotifier* readable_ = nullptr;
    QSocketNotifier* writable_ = nullptr;
    QTimer deadline_;
    QTimer ackPoll_;
    QElapsedTimer ackedFor_;
    int settleMs_ = 0;
    int progressDeadlineMs_ = 0;
    qint64 ackedDownTo_ = 0;  // bytes still unacknowledged at the last progress
    qint64 takenSinceProgress_ = 0;  // bytes the system took since then
    QHostAddress peer_;
    Op op_ = Op::None;
    Done done_;
    Received received_;
    QByteArray outgoing_;
    qsizetype sent_ = 0;
    QByteArray buffer_;
    int wanted_ = 0;
};
