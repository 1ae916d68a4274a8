#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

// The recorder's command frames. Every command is one 64-byte frame:
// byte 0 = number of command bytes that follow, byte 1 = command code,
// byte 2 = 0, byte 3 = direction letter ('R' asks for data, 'W' changes the
// recorder), parameters from byte 4. Answers are 64-byte frames whose byte 3
// echoes the command code.

namespace device::protocol {

constexpr std::size_t FrameSize = 64;
using Frame = std::array<std::uint8_t, FrameSize>;

constexpr std::uint8_t DirectionRead = 'R';
constexpr std::uint8_t DirectionWrite = 'W';

// Command codes (frame byte 1).
constexpr std::uint8_t CmdReadInfo = 0x20;
constexpr std::uint8_t CmdEraseRecords = 0x11;
constexpr std::uint8_t CmdWriteSettings = 0x21;
constexpr std::uint8_t CmdSetLinkSpeed = 0x41;
constexpr std::uint8_t CmdRequestRecord = 0x19;
constexpr std::uint8_t CmdFirmware = 0xFD;
// The live stream: after an accepted start the recorder sends its signal until the stop frame.
constexpr std::uint8_t CmdStreamStart = 21;
constexpr std::uint8_t CmdStreamStop = 22;

// RequestRecord sub-codes (frame byte 4).
constexpr std::uint8_t RecordFirst = 0x38;  // '8'
constexpr std::uint8_t RecordNext = 0x39;   // '9'
constexpr std::uint8_t RecordAgain = 0x40;
constexpr std::uint8_t RecordEnd = 0x16;  // end of downloading; back to rate code 2

// Firmware sub-commands (frame byte 4).
constexpr std::uint8_t FwPresence = 7;
constexpr std::uint8_t FwBootMode = 1;
constexpr std::uint8_t FwAnnouncePage = 2;
constexpr std::uint8_t FwPreparePage = 3;
constexpr std::uint8_t FwWriteBlock = 4;
constexpr std::uint8_t FwVerify = 5;
constexpr std::uint8_t FwReset = 6;

constexpr std::size_t FirmwarePageSize = 512;
constexpr std::size_t FirmwareBlockSize = 32;
constexpr std::size_t FirmwareBlocksPerPage = 16;

// Rate code the download asks for (921600 baud) and the one every other job uses (230400 baud).
constexpr std::uint8_t RateCodeFast = 8;
constexpr std::uint8_t RateCodeNormal = 2;

// Time-outs in milliseconds.
constexpr std::uint32_t CommandWriteTimeoutMs = 1000;
constexpr std::uint32_t ReadInfoTimeoutMs = 2000;
constexpr std::uint32_t AnswerTimeoutMs = 1000;
constexpr std::uint32_t ExchangeWriteTimeoutMs = 500;
constexpr std::uint32_t FirmwareTimeoutMs = 500;
// Pause after the wake block before the first command, ms.
constexpr std::uint32_t WakePauseMs = 700;

struct DeviceSettings;

// The one frame buffer the program keeps for all commands. Building a command
// writes only the counted bytes; bytes past them keep what earlier commands
// left there.
class CommandFrame {
public:
    const Frame& bytes() const { return frame_; }
    const std::uint8_t* data() const { return frame_.data(); }

    void ReadInfo();
    void EraseRecords();
    void WriteSettings(const DeviceSettings& settings);
    void SetLinkSpeed(std::uint8_t rateCode);
    void RequestRecord(std::uint8_t subCode);
    void StreamStart();
    void StreamStop();
    // Firmware sub-commands 7, 1, 3, 5, 6 (no further bytes).
    void Firmware(std::uint8_t subCommand);
    // Sub-command 2: announce the 512-byte page with this number.
    void FirmwarePage(std::uint8_t pageNumber);
    // Sub-command 4: block index 0..15 within the page and its 32 image bytes.
    void FirmwareBlock(std::uint8_t blockIndex, const std::uint8_t* bytes32);

private:
    void head(std::uint8_t count, std::uint8_t code, std::uint8_t direction);
    Frame frame_{};
};

// The wake-up block: the values 0..63; byte 0 being 0 it carries no command.
Frame WakeBlock();

}  // namespace device::protocol
