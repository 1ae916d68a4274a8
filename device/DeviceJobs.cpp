#include "device/DeviceJobs.h"

#include "device/protocol/Exchange.h"
#include "device/protocol/LiveStream.h"

#include <utility>

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

bool DeviceJobs::DrainLine(std::uint32_t quietMs, std::uint32_t limitMs)
{
    const std::int64_t giveUpAt = env_.NowMs() + limitMs;
    std::uint8_t sink[256];
    while (env_.NowMs() < giveUpAt) {
        if (port_.ReadBlock(sink, sizeof sink, quietMs) == 0)
            return true;
    }
    return false;
}

bool DeviceJobs::StopStream()
{
    frame_.StreamStop();
    // A quiet line says nothing when the stop never left: the cable may be out before the system
    // has told of it, and a recorder on its battery streams on.
    if (port_.WriteBlock(frame_.data(), FrameSize, CommandWriteTimeoutMs) != FrameSize)
        return false;
    // Samples sent before the recorder saw the stop are still on their way; read them off the line
    // so the next command's answer is not preceded by stream bytes.
    return DrainLine(StreamQuietMs, StreamDrainLimitMs);
}

bool DeviceJobs::CommandAnswered()
{
    // The flush before the write drops only what has arrived; a second copy of the last answer still
    // on the line would be read as this command's answer. It comes right behind the first.
    DrainLine(StaleAnswerQuietMs, StaleAnswerDrainLimitMs);
    Frame answer{};
    return CommandAccepted(port_, frame_.bytes(), answer);
}

bool DeviceJobs::ReadInfoBlock(bool withDcOffset)
{
    board_.ClearInfoBlock();
    frame_.ReadInfo();
    port_.WriteBlock(frame_.data(), FrameSize, CommandWriteTimeoutMs);
    std::array<std::uint8_t, InfoBlockSize> raw{};
    const std::uint32_t got = port_.ReadBlock(raw.data(), InfoBlockSize, ReadInfoTimeoutMs);
    infoBytes_ = got;
    board_.infoBlock = ParseDeviceInfo(raw.data(), got, withDcOffset);
    if (board_.infoBlock.signed_)
        board_.recorderInBootLoader = false;
    return board_.infoBlock.signed_;
}

bool DeviceJobs::ReadInfoBlockOrFindBootLoader(bool withDcOffset)
{
    board_.recorderInBootLoader = false;
    if (ReadInfoBlock(withDcOffset))
        return true;
    // A block cut short came from the application.
    return infoBytes_ == 0 && FindBootLoader(withDcOffset);
}

bool DeviceJobs::FindBootLoader(bool withDcOffset)
{
    board_.recorderInBootLoader = false;
    // A recorder gone or not ours to open is asked nothing.
    const LinkState& s = link_.state();
    if (s.accessDenied || s.DevicePresence != DeviceAttached)
        return false;
    // Each wait below ends without a pump: the window gets its messages between them.
    env_.Pump();
    DrainLine(StaleAnswerQuietMs, StaleAnswerDrainLimitMs);
    env_.Pump();
    frame_.Firmware(FwPresence);
    Frame answer{};
    const bool listening = port_.WriteBlock(frame_.data(), FrameSize, ExchangeWriteTimeoutMs) == FrameSize &&
                           port_.ReadBlock(answer.data(), FrameSize, FirmwareTimeoutMs) == FrameSize &&
                           answer[3] == CmdFirmware;
    if (!listening)
        return false;
    env_.Pump();
    if (ReadInfoBlock(withDcOffset))
        return true;
    board_.recorderInBootLoader = infoBytes_ == 0;
    return false;
}

JobFailure DeviceJobs::NoAnswerFailure() const
{
    if (link_.state().accessDenied)
        return JobFailure::NoPermission;
    return board_.recorderInBootLoader ? JobFailure::WaitsInBootLoader : JobFailure::NoAnswer;
}

void DeviceJobs::finish(bool succeeded)
{
    if (!succeeded) {
        fail(NoAnswerFailure());
        return;
    }
    board_.RequestedJob = NoJob;
    board_.JobState = JobSucceeded;
    board_.failure = JobFailure::None;
}

void DeviceJobs::fail(JobFailure why)
{
    board_.RequestedJob = NoJob;
    board_.JobState = JobFailed;
    board_.failure = why;
}

void DeviceJobs::ReadInfoJob()
{
    OpenAndWake();
    finish(ReadInfoBlockOrFindBootLoader());
}

void DeviceJobs::WriteSettingsJob()
{
    DeviceSettings settings = board_.settings;
    const bool offsetRepair = std::exchange(board_.settingsAreOffsetRepair, false);
    // The packet carries the ID the recorder keeps: a text that is not 8 hexadecimal digits would
    // go out as 00000000.
    if (!ParseDeviceIdText(settings.deviceIdText)) {
        fail(JobFailure::BadDeviceId);
        return;
    }
    OpenAndWake();
    // The settings were filled from one recorder's information; written into another one (swapped
    // while the dialog was open) they would give it the first one's ID and thresholds. So ask who
    // is there now.
    if (!ReadInfoBlockOrFindBootLoader()) {
        finish(false);
        return;
    }
    if (board_.settingsRecorderId != board_.infoBlock.deviceId) {
        fail(JobFailure::RecorderChanged);
        return;
    }
    if (offsetRepair) {
        // Another write (the user's settings) may have come first: neither undo
        // it nor set the clock to the time of the arrival.
        if (!NeedsOffsetRepair(board_.infoBlock)) {
            finish(true);
            return;
        }
        settings = OffsetRepairSettings(board_.infoBlock, env_.LocalNow());
    }
    // The byte without a control goes back as the recorder holds it now, so writing the settings
    // never changes it behind the user's back.
    settings.extraSetting = board_.infoBlock.extraSetting;
    frame_.WriteSettings(settings);
    finish(CommandAnswered());
}

void DeviceJobs::EraseJob()
{
    const std::optional<EraseCondition> condition = board_.eraseOnlyIf;
    board_.eraseOnlyIf.reset();
    board_.eraseRefusal = EraseRefusal::None;
    // An erase is irreversible: it goes ahead only with the proof that a
    // complete download of this recorder brought everything home.
    if (!condition) {
        board_.eraseRefusal = EraseRefusal::NoCondition;
        fail(JobFailure::NoAnswer);
        return;
    }
    OpenAndWake();
    {
        // After a download the recorder is erased only while it is provably the one downloaded from,
        // holding exactly the bytes that were brought home: a swapped recorder, or one that took a
        // new recording meanwhile, keeps everything.
        const bool read = ReadInfoBlockOrFindBootLoader();
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
    const bool erased = CommandAnswered();
    if (!erased)
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
