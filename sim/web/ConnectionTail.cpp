#include "sim/web/ConnectionTail.h"

#include <QSocketNotifier>
#include <QTcpSocket>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

ConnectionTail::ConnectionTail(QTcpSocket* socket, qint64 floodBytes, int holdMs, QObject* parent)
    : QObject(parent), left_(floodBytes)
{
    // A second descriptor keeps the connection alive when Qt lets go of its own.
    fd_ = ::dup(static_cast<int>(socket->socketDescriptor()));
    socket->abort();
    if (fd_ < 0) {
        deleteLater();
        return;
    }
    hold_.setSingleShot(true);
    connect(&hold_, &QTimer::timeout, this, &ConnectionTail::finish);
    hold_.start(holdMs);
    if (left_ > 0) {
        writable_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
        connect(writable_, &QSocketNotifier::activated, this, &ConnectionTail::flood);
    }
}

ConnectionTail::~ConnectionTail()
{
    if (fd_ >= 0) ::close(fd_);
}

void ConnectionTail::flood()
{
    static const QByteArray junk(64 * 1024, '\x5A');
    while (left_ > 0) {
        const ssize_t n = ::send(fd_, junk.constData(), static_cast<size_t>(std::min<qint64>(left_, junk.size())),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            left_ -= n;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        break;  // the client is gone
    }
    finish();
}

void ConnectionTail::finish()
{
    if (writable_) writable_->setEnabled(false);
    hold_.stop();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    deleteLater();
}

}  // namespace sim
