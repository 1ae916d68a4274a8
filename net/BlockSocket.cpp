#include "net/BlockSocket.h"

#include "net/NetLog.h"

BlockSocket::BlockSocket(QObject* parent) : QObject(parent)
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { finish(Result::Timeout); });
    connect(&socket_, &QTcpSocket::connected, this, &BlockSocket::onConnected);
    connect(&socket_, &QTcpSocket::bytesWritten, this, &BlockSocket::onBytesWritten);
    connect(&socket_, &QTcpSocket::readyRead, this, &BlockSocket::onReadyRead);
    connect(&socket_, &QTcpSocket::disconnected, this, &BlockSocket::onDisconnected);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &BlockSocket::onError);
}

BlockSocket::~BlockSocket()
{
    op_ = Op::None;
    socket_.disconnect(this);
    socket_.abort();
}

void BlockSocket::begin(Op op, int deadlineMs)
{
    op_ = op;
    deadline_.start(std::max(0, deadlineMs));
}

void BlockSocket::finish(Result result)
{
    if (op_ == Op::None) return;
    const Op op = op_;
    op_ = Op::None;
    deadline_.stop();
    // Take the completion out first: it may start the next operation.
    if (op == Op::Receive) {
        Received received = std::move(received_);
        QByteArray block;
        if (result == Result::Ok) {
            block = buffer_.left(wanted_);
            buffer_.remove(0, wanted_);
        }
        received(result, block);
    } else {
        Done done = std::move(done_);
        done(result);
    }
}

void BlockSocket::connectTo(const QHostAddress& address, quint16 port, int deadlineMs, Done done)
{
    done_ = std::move(done);
    buffer_.clear();
    peerClosed_ = false;
    begin(Op::Connect, deadlineMs);
    qCDebug(talmonNet) << "connecting to" << address.toString() << port;
    socket_.connectToHost(address, port);
}

void BlockSocket::send(const QByteArray& bytes, int deadlineMs, Done done)
{
    done_ = std::move(done);
    begin(Op::Send, deadlineMs);
    if (socket_.state() != QAbstractSocket::ConnectedState || socket_.write(bytes) != bytes.size()) {
        QTimer::singleShot(0, this, [this] {
            if (op_ == Op::Send) finish(Result::Failed);
        });
    }
}

void BlockSocket::receive(int size, int deadlineMs, Received done)
{
    received_ = std::move(done);
    wanted_ = size;
    begin(Op::Receive, deadlineMs);
    // What is already here may complete it; look once control returns.
    QTimer::singleShot(0, this, [this] {
        if (op_ == Op::Receive) onReadyRead();
    });
}

void BlockSocket::awaitClose(int deadlineMs, Done done)
{
    done_ = std::move(done);
    begin(Op::Close, deadlineMs);
    QTimer::singleShot(0, this, [this] {
        if (op_ == Op::Close && (peerClosed_ || socket_.state() == QAbstractSocket::UnconnectedState))
            finish(peerClosed_ ? Result::Ok : Result::Failed);
    });
}

void BlockSocket::abort()
{
    op_ = Op::None;
    deadline_.stop();
    done_ = nullptr;
    received_ = nullptr;
    socket_.abort();
}

void BlockSocket::close()
{
    op_ = Op::None;
    deadline_.stop();
    socket_.disconnectFromHost();
}

void BlockSocket::onConnected()
{
    if (op_ == Op::Connect) finish(Result::Ok);
}

void BlockSocket::onBytesWritten()
{
    if (op_ == Op::Send && socket_.bytesToWrite() == 0) finish(Result::Ok);
}

void BlockSocket::onReadyRead()
{
    if (socket_.isOpen()) buffer_.append(socket_.readAll());
    if (op_ == Op::Receive) {
        if (buffer_.size() >= wanted_) finish(Result::Ok);
        else if (peerClosed_) finish(Result::Closed);
    }
}

void BlockSocket::onDisconnected()
{
    peerClosed_ = true;
    if (socket_.isOpen()) buffer_.append(socket_.readAll());
    if (op_ == Op::Receive) finish(buffer_.size() >= wanted_ ? Result::Ok : Result::Closed);
    else if (op_ == Op::Close) finish(Result::Ok);
    else if (op_ == Op::Send || op_ == Op::Connect) finish(Result::Failed);
}

void BlockSocket::onError(QAbstractSocket::SocketError error)
{
    qCDebug(talmonNet) << "socket error" << error << socket_.errorString();
    if (error == QAbstractSocket::RemoteHostClosedError) {
        peerClosed_ = true;
        if (socket_.isOpen()) buffer_.append(socket_.readAll());
        if (op_ == Op::Receive) finish(buffer_.size() >= wanted_ ? Result::Ok : Result::Closed);
        else if (op_ == Op::Close) finish(Result::Ok);
        else if (op_ != Op::None) finish(Result::Failed);
        return;
    }
    if (op_ == Op::Receive && buffer_.size() >= wanted_) {
        finish(Result::Ok);
        return;
    }
    // A reset while waiting for the close is not an orderly close.
    finish(Result::Failed);
}
