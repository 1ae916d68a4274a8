#include "sim/recorder/PtyRecorderServer.h"
#include "device/transport/TtySpeed.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace sim {

PtyRecorderServer::PtyRecorderServer(SimulatedRecorder& recorder) : recorder_(recorder) {}

PtyRecorderServer::~PtyRecorderServer()
{
    Unplug();
}

bool PtyRecorderServer::Open(std::string* error)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        if (error)
            *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        if (error)
            *error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    path_ = name;
    slaveHold_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slaveHold_ >= 0) {
        // Raw from the start: no echo of the recorder's own bytes before the host configures its end.
        termios t{};
        if (tcgetattr(slaveHold_, &t) == 0) {
            cfmakeraw(&t);
            cfsetspeed(&t, B230400);
            tcsetattr(slaveHold_, TCSANOW, &t);
        }
    }
    const int flags = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    return true;
}

void PtyRecorderServer::Unplug()
{
    if (slaveHold_ >= 0)
        ::close(slaveHold_);
    if (master_ >= 0)
        ::close(master_);
    slaveHold_ = -1;
    master_ = -1;
}

std::uint32_t PtyRecorderServer::hostSpeed() const
{
    if (!checkSpeed_ || slaveHold_ < 0)
        return 0;
    return device::transport::GetTtySpeed(slaveHold_);
}

void PtyRecorderServer::sendPending()
{
    std::uint8_t buffer[4096];
    for (;;) {
        // Checked as the bytes reach the host's end, at the speed it has now.
        const std::size_t n = recorder_.HostRead(buffer, sizeof buffer, hostSpeed());
        if (n == 0)
            return;
        std::size_t sent = 0;
        while (sent < n && master_ >= 0) {
            const ssize_t w = ::write(master_, buffer + sent, n - sent);
            if (w > 0) {
                sent += static_cast<std::size_t>(w);
            } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            } else {
                pollfd p{master_, POLLOUT, 0};
                ::poll(&p, 1, 20);
            }
        }
        // Short reads: the bytes trickle in, so the host sees partial counts.
        if (recorder_.faults().shortReadChunk != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void PtyRecorderServer::ServeOnce(int waitMs)
{
    if (master_ < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        return;
    }
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, waitMs) > 0 && (p.revents & POLLIN)) {
        std::uint8_t buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        // The speed is read after the bytes: they were sent at it unless the host changed its end in
        // between, which it does only right after a speed command.
        if (n > 0)
            recorder_.HostWrite(buffer, static_cast<std::size_t>(n), hostSpeed());
    } else {
        recorder_.NoteHostBaud(hostSpeed());
    }
    sendPending();
}

void PtyRecorderServer::Serve(const std::atomic<bool>& stop)
{
    while (!stop.load())
        ServeOnce(20);
}

}  // namespace sim
