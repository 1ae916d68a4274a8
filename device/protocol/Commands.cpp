#include "device/protocol/Commands.h"
#include "device/protocol/SettingsPacket.h"
#include <cstring>

namespace device::protocol {

void CommandFrame::head(std::uint8_t count, std::uint8_t code, std::uint8_t direction)
{
    frame_[0] = count;
    frame_[1] = code;
    frame_[2] = 0;
    frame_[3] = direction;
}

void CommandFrame::ReadInfo()
{
    head(3, CmdReadInfo, DirectionRead);
}

void CommandFrame::EraseRecords()
{
    head(3, CmdEraseRecords, DirectionWrite);
}

void CommandFrame::WriteSettings(const DeviceSettings& settings)
{
    head(22, CmdWriteSettings, DirectionWrite);
    EncodeSettingsPacket(settings, frame_.data() + SettingsPacketOffset);
}

void CommandFrame::SetLinkSpeed(std::uint8_t rateCode)
{
    head(4, CmdSetLinkSpeed, DirectionRead);
    frame_[4] = rateCode;
}

void CommandFrame::RequestRecord(std::uint8_t subCode)
{
    head(4, CmdRequestRecord, DirectionRead);
    frame_[4] = subCode;
}

void CommandFrame::StreamStart()
{
    head(3, CmdStreamStart, DirectionRead);
}

void CommandFrame::StreamStop()
{
    head(3, CmdStreamStop, DirectionWrite);
}

void CommandFrame::Firmware(std::uint8_t subCommand)
{
    head(4, CmdFirmware, DirectionWrite);
    frame_[4] = subCommand;
}

void CommandFrame::FirmwarePage(std::uint8_t pageNumber)
{
    head(5, CmdFirmware, DirectionWrite);
    frame_[4] = FwAnnouncePage;
    frame_[5] = pageNumber;
}

void CommandFrame::FirmwareBlock(std::uint8_t blockIndex, const std::uint8_t* bytes32)
{
    head(37, CmdFirmware, DirectionWrite);
    frame_[4] = FwWriteBlock;
    frame_[5] = blockIndex;
    std::memcpy(frame_.data() + 6, bytes32, FirmwareBlockSize);
}

Frame WakeBlock()
{
    Frame block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i);
    return block;
}

}  // namespace device::protocol
