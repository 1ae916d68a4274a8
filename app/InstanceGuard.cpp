#include "app/InstanceGuard.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceGuard::~InstanceGuard()
{
    release();
}

InstanceGuard::Result InstanceGuard::acquire(const QString& settingsFolder, QString* error)
{
    release();
    const QByteArray path = QFile::encodeName(settingsFolder + '/' + kLockFileName);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int cause = errno;
        ::close(fd);
        if (cause == EWOULDBLOCK)
            return Result::AlreadyRunning;
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(cause));
        return Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

void InstanceGuard::release()
{
    if (fd_ >= 0) {
        ::close(fd_);  // closing the only descriptor drops the lock
        fd_ = -1;
    }
}
