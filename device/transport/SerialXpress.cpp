#include "device/transport/SerialXpress.h"

#include "device/transport/TtySpeed.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace device::transport {

namespace {

constexpr std::uint32_t InitialBaud = 230400;

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool makeRaw(int fd)
{
    termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // With O_NONBLOCK and VMIN 1 an empty line reads as EAGAIN and only a hang-up as end of file;
    // waiting is done with poll and the time-outs.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

SerialXpress::SerialXpress() : SerialXpress(PortLister(&ListBridgeTtys)) {}

SerialXpress::SerialXpress(std::string path)
    : SerialXpress(PortLister([path] {
          struct stat info {};
          if (stat(path.c_str(), &info) != 0)
              return std::vector<SerialPortInfo>{};
          return std::vector<SerialPortInfo>{{path, path}};
      }))
{
}

SerialXpress::SerialXpress(PortLister lister) : lister_(std::move(lister)) {}

SerialXpress::~SerialXpress()
{
    while (!open_.empty())
        Close(*open_.begin());
}

int SerialXpress::GetNumDevices(std::uint32_t* count)
{
    ports_ = lister_();
    *count = static_cast<std::uint32_t>(ports_.size());
    return SerialSuccess;
}

int SerialXpress::GetProductString(std::uint32_t index, std::string* text)
{
    if (index >= ports_.size())
        return SerialDeviceNotFound;
    *text = ports_[index].product.empty() ? ports_[index].path : ports_[index].product;
    return SerialSuccess;
}

int SerialXpress::Open(std::uint32_t index, Handle* handle)
{
    *handle = -1;
    if (index >= ports_.size())
        return SerialDeviceNotFound;
    const int fd = ::open(ports_[index].path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES || errno == EPERM ? device::BridgeAccessDenied : SerialDeviceNotFound;
    // Keep other programs (a modem manager probing new ttys) off the line while it is ours.
    ioctl(fd, TIOCEXCL);
    if (!makeRaw(fd) || SetTtySpeed(fd, InitialBaud) != 0) {
        ::close(fd);
        return SerialIoFailed;
    }
    tcflush(fd, TCIOFLUSH);
    open_.insert(fd);
    *handle = fd;
    return SerialSuccess;
}

int SerialXpress::SetBaudRate(Handle handle, std::uint32_t baud)
{
    if (!isOpen(handle))
        return SerialInvalidHandle;
    return SetTtySpeed(handle, baud) == 0 ? SerialSuccess : SerialIoFailed;
}

int SerialXpress::Close(Handle handle)
{
    if (!isOpen(handle))
        return SerialInvalidHandle;
    open_.erase(handle);
    // The exclusive mark outlives this descriptor while anyone else holds the tty (a simulator's
    // end of a pseudo-terminal does), and would then lock out our own next open.
    ioctl(handle, TIOCNXCL);
    ::close(handle);
    return SerialSuccess;
}

int SerialXpress::FlushBuffers(Handle handle, bool transmit, bool receive)
{
    if (!isOpen(handle))
        return SerialInvalidHandle;
    if (!transmit && !receive)
        return SerialSuccess;
    const int which = transmit && receive ? TCIOFLUSH : transmit ? TCOFLUSH : TCIFLUSH;
    return tcflush(handle, which) == 0 ? SerialSuccess : SerialIoFailed;
}

int SerialXpress::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs)
{
    readTimeoutMs_ = readMs;
    writeTimeoutMs_ = writeMs;
    return SerialSuccess;
}

int SerialXpress::Write(Handle handle, const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written)
{
    *written = 0;
    if (!isOpen(handle))
        return SerialInvalidHandle;
    const auto deadline = Clock::now() + std::chrono::milliseconds(writeTimeoutMs_);
    while (*written < count) {
        const ssize_t n = ::write(handle, buffer + *written, count - *written);
        if (n > 0) {
            *written += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return SerialWriteError;
        pollfd waiter {handle, POLLOUT, 0};
        const int ready = poll(&waiter, 1, msLeft(deadline));
        if (ready == 0)
            return SerialWriteTimedOut;
        if (ready < 0 && errno != EINTR)
            return SerialWriteError;
        if (waiter.revents & (POLLERR | POLLHUP | POLLNVAL))
            return SerialWriteError;
    }
    return SerialSuccess;
}

int SerialXpress::Read(Handle handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got)
{
    *got = 0;
    if (!isOpen(handle))
        return SerialInvalidHandle;
    const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
    while (*got < count) {
        const ssize_t n = ::read(handle, buffer + *got, count - *got);
        if (n > 0) {
            *got += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // End of file or an error other than "nothing yet": the line is gone.
        if (n == 0 || errno != EAGAIN)
            return SerialReadError;
        pollfd waiter {handle, POLLIN, 0};
        const int ready = poll(&waiter, 1, msLeft(deadline));
        if (ready == 0)
            break;  // time-out: a short count, not an error
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return SerialReadError;
        }
        if ((waiter.revents & POLLIN) == 0)
            return SerialReadError;  // hang-up or error without data
    }
    return SerialSuccess;
}

}  // namespace device::transport
