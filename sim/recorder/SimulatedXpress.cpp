#include "sim/recorder/SimulatedXpress.h"
#include <algorithm>

namespace sim {

namespace {
constexpr int StatusOk = 0;
constexpr int StatusNoDevice = 1;
constexpr int StatusInvalidHandle = 2;
}  // namespace

SimulatedXpress::SimulatedXpress(SimulatedRecorder& recorder, std::function<void(std::uint32_t)> sleepMs)
    : recorder_(recorder), sleepMs_(std::move(sleepMs))
{
}

void SimulatedXpress::SetPlugged(bool plugged)
{
    plugged_ = plugged;
    if (!plugged) {
        open_ = false;
        recorder_.PowerDown();
    }
}

int SimulatedXpress::GetNumDevices(std::uint32_t* count)
{
    *count = plugged_ ? 1 : 0;
    return StatusOk;
}

int SimulatedXpress::GetProductString(std::uint32_t index, std::string* text)
{
    if (!plugged_ || index != 0)
        return StatusNoDevice;
    *text = "Heart Let recorder (simulated)";
    return StatusOk;
}

int SimulatedXpress::Open(std::uint32_t index, Handle* handle)
{
    if (!plugged_ || index != 0 || open_)
        return StatusNoDevice;
    open_ = true;
    // A fresh handle value each time, as a re-opened port gets a new descriptor.
    handleValue_ = handleValue_ == 1000 ? 7 : handleValue_ + 1;
    *handle = handleValue_;
    return StatusOk;
}

int SimulatedXpress::SetBaudRate(Handle handle, std::uint32_t baud)
{
    if (!usable(handle))
        return StatusInvalidHandle;
    baud_ = baud;
    return StatusOk;
}

int SimulatedXpress::Close(Handle handle)
{
    if (!open_ || handle != handleValue_)
        return StatusInvalidHandle;
    open_ = false;
    return StatusOk;
}

int SimulatedXpress::FlushBuffers(Handle handle, bool, bool receive)
{
    if (!usable(handle))
        return StatusInvalidHandle;
    if (receive)
        recorder_.DiscardOutput();
    return StatusOk;
}

int SimulatedXpress::SetTimeouts(std::uint32_t readMs, std::uint32_t)
{
    readTimeoutMs_ = readMs;
    return StatusOk;
}

int SimulatedXpress::Write(Handle handle, const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written)
{
    *written = 0;
    if (!usable(handle))
        return StatusInvalidHandle;
    recorder_.HostWrite(buffer, count, baud_);
    *written = count;
    return StatusOk;
}

int SimulatedXpress::Read(Handle handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got)
{
    *got = 0;
    if (!usable(handle))
        return StatusInvalidHandle;
    std::size_t n = recorder_.HostRead(buffer, count, baud_);
    if (n < count && readTimeoutMs_ > 0) {
        // The read waits until the rest is there or its time-out has passed, then looks once more;
        // with nothing more on its way, a read that got something returns at once.
        const std::int64_t ready = recorder_.MsUntilReady(count - n);
        if (ready < 0 && n > 0) {
            *got = static_cast<std::uint32_t>(n);
            return StatusOk;
        }
        const std::uint32_t wait =
            ready < 0 ? readTimeoutMs_ : static_cast<std::uint32_t>(std::min<std::int64_t>(ready, readTimeoutMs_));
        if (sleepMs_ && wait > 0)
            sleepMs_(wait);
        n += recorder_.HostRead(buffer + n, count - n, baud_);
    }
    *got = static_cast<std::uint32_t>(n);
    return StatusOk;
}

}  // namespace sim
