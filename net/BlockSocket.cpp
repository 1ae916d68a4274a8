#include "net/BlockSocket.h"

#include "net/NetLog.h"

#include <QSocketNotifier>
#include <arpa/inet.h>
#include <cerrno>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Dropped bytes are read in pieces of this size, and at most this many per
// turn of the event loop, so that a flooding server neither grows our memory
// nor starves the deadline.
constexpr int kDrainPiece = 64 * 1024;
constexpr int kDrainPerTurn = 16 * kDrainPiece;
constexpr int kAckPollMs = 20;
// While the server's system keeps acknowledging at least this much per
// deadline, the wait for the rest goes on: a slow line is no dead one.
constexpr qint64 kLeastProgress = 1024;

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

BlockSocket::BlockSocket(QObject* parent) : QObject(parent)
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { finish(Result::Timeout); });
    ackPoll_.setInterval(kAckPollMs);
    connect(&ackPoll_, &QTimer::timeout, this, &BlockSocket::checkAcknowledged);
}

BlockSocket::~BlockSocket()
{
    op_ = Op::None;
    release();
}

void BlockSocket::release()
{
    delete readable_;
    delete writable_;
    readable_ = writable_ = nullptr;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ackPoll_.stop();
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
    ackPoll_.stop();
    if (readable_) readable_->setEnabled(false);
    if (writable_) writable_->setEnabled(false);
    outgoing_.clear();
    // Take the completion out first: it may start the next operation.
    if (op == Op::Receive) {
        Received received = std::move(received_);
        QByteArray block = result == Result::Ok ? std::move(buffer_) : QByteArray();
        buffer_.clear();
        received(result, block);
    } else {
        Done done = std::move(done_);
        done(result);
    }
}

// Runs `step` once control returns to the event loop, if `op` is still the
// operation under way: completions are never called from inside the call
// that started the operation.
void BlockSocket::later(Op op, void (BlockSocket::*step)())
{
    QTimer::singleShot(0, this, [this, op, step] {
        if (op_ == op) (this->*step)();
    });
}

void BlockSocket::connectTo(const QHostAddress& address, quint16 port, int deadlineMs, Done done)
{
    release();
    done_ = std::move(done);
    buffer_.clear();
    peer_ = address;
    begin(Op::Connect, deadlineMs);
    qCDebug(talmonNet) << "connecting to" << address.toString() << port;
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    fd_ = isV4 ? ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) : -1;
    if (fd_ < 0) return QTimer::singleShot(0, this, [this] { finish(Result::Failed); });
    readable_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    writable_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
    readable_->setEnabled(false);
    connect(readable_, &QSocketNotifier::activated, this, &BlockSocket::onReadable);
    connect(writable_, &QSocketNotifier::activated, this, &BlockSocket::onWritable);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(v4);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
        writable_->setEnabled(false);
        QTimer::singleShot(0, this, [this] { finish(Result::Failed); });
    }
    // Writable once the connection is made or has failed.
}

void BlockSocket::send(const QByteArray& bytes, int deadlineMs, Done done)
{
    done_ = std::move(done);
    outgoing_ = bytes;
    sent_ = 0;
    begin(Op::Send, deadlineMs);
    if (fd_ < 0) return QTimer::singleShot(0, this, [this] { finish(Result::Failed); });
    // The system takes more only as the server acknowledges what it holds.
    watchProgress(deadlineMs);
    later(Op::Send, &BlockSocket::pumpSend);
}

void BlockSocket::receive(int size, int deadlineMs, Received done)
{
    received_ = std::move(done);
    wanted_ = size;
    buffer_.clear();
    begin(Op::Receive, deadlineMs);
    if (fd_ < 0) return QTimer::singleShot(0, this, [this] { finish(Result::Failed); });
    later(Op::Receive, &BlockSocket::pumpReceive);
}

void BlockSocket::awaitAcknowledged(int deadlineMs, Done done)
{
    done_ = std::move(done);
    begin(Op::Acknowledged, deadlineMs);
    if (fd_ < 0) return QTimer::singleShot(0, this, [this] { finish(Result::Failed); });
    watchProgress(deadlineMs);
    later(Op::Acknowledged, &BlockSocket::checkAcknowledged);
}

void BlockSocket::awaitClose(int deadlineMs, Done done, int settleMs)
{
    done_ = std::move(done);
    settleMs_ = settleMs;
    begin(Op::Close, deadlineMs);
    if (fd_ < 0) return QTimer::singleShot(0, this, [this] { finish(Result::Failed); });
    // The server that reads until we are done learns it now.
    ::shutdown(fd_, SHUT_WR);
    ackedFor_.invalidate();
    ackPoll_.start();
    later(Op::Close, &BlockSocket::drainUntilClose);
}

void BlockSocket::abort()
{
    op_ = Op::None;
    deadline_.stop();
    done_ = nullptr;
    received_ = nullptr;
    release();
}

void BlockSocket::close()
{
    op_ = Op::None;
    deadline_.stop();
    release();
}

qint64 BlockSocket::unacknowledgedBytes() const
{
    int queued = 0;
    if (fd_ < 0 || ::ioctl(fd_, SIOCOUTQ, &queued) != 0) return -1;
    return queued;
}

qint64 BlockSocket::unaskedBytes() const
{
    int waiting = 0;
    if (fd_ < 0 || ::ioctl(fd_, SIOCINQ, &waiting) != 0) return -1;
    return waiting;
}

bool BlockSocket::peerHasEnded() const
{
    if (fd_ < 0) return true;
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) return true;
    return info.tcpi_state != TCP_ESTABLISHED;
}

void BlockSocket::onWritable()
{
    if (op_ == Op::Connect) {
        writable_->setEnabled(false);
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        if (error != 0) qCDebug(talmonNet) << "connect failed:" << strerror(error);
        finish(error == 0 ? Result::Ok : Result::Failed);
    } else if (op_ == Op::Send) {
        pumpSend();
    } else {
        writable_->setEnabled(false);
    }
}

void BlockSocket::onReadable()
{
    if (op_ == Op::Receive) pumpReceive();
    else if (op_ == Op::Close) drainUntilClose();
    else readable_->setEnabled(false);  // nobody asked: it waits with the system
}

void BlockSocket::pumpSend()
{
    while (sent_ < outgoing_.size()) {
        const ssize_t n = ::send(fd_, outgoing_.constData() + sent_, static_cast<size_t>(outgoing_.size() - sent_),
                                 MSG_NOSIGNAL);
        if (n > 0) {
            sent_ += n;
            takenSinceProgress_ += n;
            if (takenSinceProgress_ >= kLeastProgress) {
                takenSinceProgress_ = 0;
                deadline_.start(std::max(0, progressDeadlineMs_));
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && WouldBlock(errno)) {
            writable_->setEnabled(true);
            return;
        }
        qCDebug(talmonNet) << "send failed:" << strerror(errno);
        return finish(Result::Failed);
    }
    finish(Result::Ok);
}

void BlockSocket::pumpReceive()
{
    readable_->setEnabled(true);
    while (buffer_.size() < wanted_) {
        const qsizetype had = buffer_.size();
        buffer_.resize(wanted_);
        const ssize_t n = ::recv(fd_, buffer_.data() + had, static_cast<size_t>(wanted_ - had), 0);
        buffer_.resize(had + std::max<ssize_t>(0, n));
        if (n > 0) continue;
        if (n == 0) return finish(Result::Closed);
        if (errno == EINTR) continue;
        if (WouldBlock(errno)) return;
        // A reset is never taken for a close.
        qCDebug(talmonNet) << "receive failed:" << strerror(errno);
        return finish(Result::Failed);
    }
    finish(Result::Ok);
}

void BlockSocket::drainUntilClose()
{
    readable_->setEnabled(true);
    char piece[kDrainPiece];
    for (int taken = 0; taken < kDrainPerTurn;) {
        const ssize_t n = ::recv(fd_, piece, sizeof piece, 0);
        if (n > 0) {
            taken += static_cast<int>(n);
            continue;
        }
        if (n == 0) return finish(Result::Ok);
        if (errno == EINTR) continue;
        if (WouldBlock(errno)) return;
        qCDebug(talmonNet) << "connection ended by" << strerror(errno) << "instead of a close";
        return finish(Result::Failed);
    }
}

void BlockSocket::watchProgress(int deadlineMs)
{
    progressDeadlineMs_ = deadlineMs;
    ackedDownTo_ = unacknowledgedBytes();
    takenSinceProgress_ = 0;
    ackPoll_.start();
}

void BlockSocket::noteProgress()
{
    const qint64 left = unacknowledgedBytes();
    if (left < 0) return;
    if (left > ackedDownTo_) ackedDownTo_ = left;  // more was handed over
    if (ackedDownTo_ - left < kLeastProgress) return;
    ackedDownTo_ = left;
    deadline_.start(std::max(0, progressDeadlineMs_));
}

// A server that keeps the connection open has what we sent once its system
// acknowledged every byte; a reset that comes meanwhile takes that back.
void BlockSocket::checkAcknowledged()
{
    if (op_ == Op::Acknowledged) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return finish(Result::Failed);
        if (unacknowledgedBytes() == 0) return finish(Result::Ok);
        return noteProgress();
    }
    if (op_ == Op::Send) return noteProgress();
    if (op_ != Op::Close) return ackPoll_.stop();
    drainUntilClose();  // a close or a reset that is already here comes first
    if (op_ != Op::Close) return;
    int error = 0;
    socklen_t length = sizeof error;
    tcp_info info{};
    socklen_t infoLength = sizeof info;
    const bool alive = ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 &&
                       ::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &infoLength) == 0 &&
                       (info.tcpi_state == TCP_FIN_WAIT1 || info.tcpi_state == TCP_FIN_WAIT2);
    if (!alive) {
        ackedFor_.invalidate();
        if (error != 0) finish(Result::Failed);
        return;
    }
    if (unacknowledgedBytes() != 0) {
        ackedFor_.invalidate();
        return;
    }
    if (!ackedFor_.isValid()) ackedFor_.start();
    if (ackedFor_.elapsed() >= settleMs_) {
        qCDebug(talmonNet) << "every byte acknowledged, the server keeps the connection open";
        finish(Result::Ok);
    }
}
