#include "device/DeviceJobs.h"
#include "device/protocol/Exchange.h"

namespace device {

using namespace protocol;

DeviceJobs::DeviceJobs(Link& link, DeviceJobBoard& board, DeviceEnvironment& env)
    : link_(link), board_(board), env_(env), port_(link, env)
{
}

void DeviceJobs::Wake()
{
    const Frame wake = WakeBlock();
    port_.WriteBlock(wake.data(), FrameSize, CommandWriteTimeoutMs);
    PumpingSleep(env_, WakePauseMs);
}

void DeviceJobs::OpenAndWake()
{
    link_.SetRateCode(RateCodeNormal);
    link_.OpenLink();
    Wake();
}

bool DeviceJobs::ReadInfoBlock(bool withDcOffset)
{
    board_.ClearInfoBlock();
    frame_.ReadInfo();
    port_.WriteBlock(frame_.data(), FrameSize, CommandWriteTimeoutMs);
    std::array<std::uint8_t, InfoBlockSize> raw{};
    const std::uint32_t got = port_.ReadBlock(raw.data(), InfoBlockSize, ReadInfoTimeoutMs);
    board_.infoBlock = ParseDeviceInfo(raw.data(), got, withDcOffset);
    return board_.infoBlock.signed_;
}

void DeviceJobs::finish(bool succeeded)
{
    board_.RequestedJob = NoJob;
    board_.JobState = succeeded ? JobSucceeded : JobFailed;
}

void DeviceJobs::ReadInfoJob()
{
    OpenAndWake();
    finish(ReadInfoBlock());
}

void DeviceJobs::WriteSettingsJob()
{
    OpenAndWake();
    DeviceSettings settings = board_.settings;
    // The byte without a control goes back as the recorder last reported it, so writing the
    // settings never changes it behind the user's back.
    if (board_.infoBlock.signed_)
        settings.extraSetting = board_.infoBlock.extraSetting;
    frame_.WriteSettings(settings);
    Frame answer{};
    finish(CommandAccepted(port_, frame_.bytes(), answer));
}

void DeviceJobs::EraseJob()
{
    const std::optional<EraseCondition> condition = board_.eraseOnlyIf;
    board_.eraseOnlyIf.reset();
    board_.eraseRefusal = EraseRefusal::None;
    OpenAndWake();
    if (condition) {
        // After a download the recorder is erased only while it is provably the one downloaded from,
        // holding exactly the bytes that were brought home: a swapped recorder, or one that took a
        // new recording meanwhile, keeps everything.
        const bool read = ReadInfoBlock();
        const DEVICE_INFO_BLOCK& now = board_.infoBlock;
        if (!read)
            board_.eraseRefusal = EraseRefusal::NoAnswer;
        else if (now.deviceId != condition->deviceId)
            board_.eraseRefusal = EraseRefusal::OtherRecorder;
        else if (now.bytesStored != condition->bytesStored)
            board_.eraseRefusal = EraseRefusal::ContentChanged;
        if (board_.eraseRefusal != EraseRefusal::None) {
            finish(false);
            return;
        }
    }
    frame_.EraseRecords();
    Frame answer{};
    const bool erased = CommandAccepted(port_, frame_.bytes(), answer);
    if (!erased && condition)
        board_.eraseRefusal = EraseRefusal::EraseFailed;
    finish(erased);
}

DeviceSettings OffsetRepairSettings(const DEVICE_INFO_BLOCK& block, const LocalDateTime& now)
{
    DeviceSettings s;
    s.tachycardia = block.tachycardia;
    s.bradycardia = 55;
    s.pause = block.pause;
    s.sensitivity = block.sensitivity;
    s.extraSetting = block.extraSetting;
    s.year = now.year;
    s.month = now.month;
    s.day = now.day;
    s.hour = now.hour;
    s.minute = now.minute;
    s.second = now.second;
    s.deviceIdText = DeviceIdText(block.deviceId);
    s.dcOffset = DcOffsetDefault;
    s.keyBeep = block.keyBeep != 0;
    s.heartbeatBeep = block.heartbeatBeep != 0;
    return s;
}

}  // namespace device
