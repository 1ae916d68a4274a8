#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/Link.h"
#include "device/LinkPort.h"
#include "device/protocol/Commands.h"

// The short jobs: information read, settings write, erase. Each opens the
// link itself at rate code 2, so it does not depend on the speed the job
// before it left, wakes the recorder, sends one command and writes one end
// state on the board.

namespace device {

// A line quiet this long has no copy of an earlier answer left on it (64 bytes take under 3 ms at
// 230400 baud); a line that never falls quiet is given up on after the limit, ms.
constexpr std::uint32_t StaleAnswerQuietMs = 20;
constexpr std::uint32_t StaleAnswerDrainLimitMs = 500;

class DeviceJobs {
public:
    DeviceJobs(Link& link, DeviceJobBoard& board, DeviceEnvironment& env);

    void ReadInfoJob();
    void WriteSettingsJob();
    // With the board's eraseOnlyIf set, reads the information block again first and erases only the
    // same recorder holding the same bytes (eraseRefusal says why not); the condition is used once.
    void EraseJob();

    // Rate code 2, OpenLink, wake block and its pause. Shared with the longer jobs.
    void OpenAndWake();
    // Writes the wake block (1000 ms) and waits 700 ms, pumping.
    void Wake();
    // Reads the line empty: true once it stays quiet for quietMs, false when bytes still come at limitMs.
    bool DrainLine(std::uint32_t quietMs, std::uint32_t limitMs);
    // Sends the live stream's stop frame and reads away what was already on its way. True when the
    // frame went out whole and the line fell quiet.
    bool StopStream();
    // Sends a command and reads its one answer, after reading away what an earlier answer still has
    // on its way (a recorder may send an answer twice): true when the answer names the command.
    bool CommandAnswered();
    // Clears the board's block, sends ReadInfo and converts what came (also when it is not signed).
    // True when the block carries its signature.
    bool ReadInfoBlock(bool withDcOffset = true);
    // ReadInfoBlock, and when nothing at all came, FindBootLoader. True when a signed block is on the
    // board. A recorder that answers the first read is sent nothing more.
    bool ReadInfoBlockOrFindBootLoader(bool withDcOffset = true);
    // After a command that brought nothing at all (an information read, the stream's start frame):
    // asks the presence query and, when it is answered, the information block once more. The
    // application answers the query too, so only a recorder that leaves the second read silent as
    // well waits in its boot loader: recorderInBootLoader is set then. True when the second read
    // brought a signed block.
    bool FindBootLoader(bool withDcOffset = true);
    // Bytes the last information read brought (a boot loader sends none).
    std::uint32_t infoBytes() const { return infoBytes_; }
    // Why a job that needed the recorder's answer failed: no permission, waiting in its boot loader
    // (as the last information read found) or no answer.
    JobFailure NoAnswerFailure() const;

    LinkPort& port() { return port_; }
    protocol::CommandFrame& frame() { return frame_; }

private:
    void finish(bool succeeded);
    void fail(JobFailure why);

    Link& link_;
    DeviceJobBoard& board_;
    DeviceEnvironment& env_;
    LinkPort port_;
    // The one frame buffer of all commands: leftovers of earlier frames stay past the counted bytes.
    protocol::CommandFrame frame_;
    // Bytes the last information read brought (a boot loader sends none).
    std::uint32_t infoBytes_ = 0;
};

// The settings record the arrival read sends to a recorder whose DC offset is out of range: the
// block's own values, bradycardia 55, DC offset 2048 and the computer's clock.
protocol::DeviceSettings OffsetRepairSettings(const protocol::DEVICE_INFO_BLOCK& block, const LocalDateTime& now);

}  // namespace device
