#include "sim/recorder/SimulatedRecorder.h"
#include "device/Link.h"
#include "device/protocol/ByteOrder.h"
#include "device/protocol/Commands.h"
#include "device/protocol/LiveStream.h"
#include "sim/ecg/EcgSynth.h"
#include <algorithm>
#include <cstdio>

namespace sim {

using namespace device::protocol;

namespace {
// Silence after which a recorder at a raised speed returns to 230400 by itself, ms.
constexpr std::int64_t FallBackAfterMs = 3000;
// Every page a one-byte page number can name, so no block the host sends lands outside the flash.
constexpr std::size_t FlashSize = 256 * FirmwarePageSize;
// Length of the synthesised signal the live stream plays in a loop, seconds.
constexpr double StreamLoopSeconds = 60.0;
}  // namespace

DEVICE_INFO_BLOCK DefaultRecorderInfo()
{
    DEVICE_INFO_BLOCK b;
    b.signed_ = true;
    b.firmwareVersion = 12000;
    b.deviceId = 0x0012AB34;
    b.factorA = 256;
    b.factorB = 30;
    b.keyBeep = 1;
    b.heartbeatBeep = 1;
    b.tachycardia = 100;
    b.bradycardia = 60;
    b.pause = 2;
    b.sensitivity = 1;
    b.extraSetting = 1;
    b.dcOffset = DcOffsetDefault;
    b.mid = 0x20130521;
    return b;
}

SimulatedRecorder::SimulatedRecorder(std::function<std::int64_t()> clockMs)
    : clockMs_(std::move(clockMs)), info_(DefaultRecorderInfo()), flash_(FlashSize, 0xFF),
      blockWritten_(FlashSize / FirmwareBlockSize, false)
{
    lastActivityMs_ = clockMs_ ? clockMs_() : 0;
}

std::uint32_t SimulatedRecorder::baud() const
{
    return device::BaudForRateCode(rateCode_);
}

std::uint32_t SimulatedRecorder::BytesPerRecording() const
{
    return static_cast<std::uint32_t>(info_.factorA) * info_.factorB * 2u;
}

DEVICE_INFO_BLOCK SimulatedRecorder::CurrentInfo() const
{
    DEVICE_INFO_BLOCK b = info_;
    b.bytesStored = static_cast<std::uint32_t>(recordings_.size()) * BytesPerRecording() + storage_.extraStoredBytes;
    if (storage_.bytesStoredOverride)
        b.bytesStored = *storage_.bytesStoredOverride;
    return b;
}

void SimulatedRecorder::checkFallBack()
{
    const std::int64_t now = clockMs_ ? clockMs_() : 0;
    if (rateCode_ != RateCodeNormal && now - lastActivityMs_ >= FallBackAfterMs)
        rateCode_ = RateCodeNormal;
}

void SimulatedRecorder::HostWrite(const std::uint8_t* bytes, std::size_t length, std::uint32_t hostBaud)
{
    checkFallBack();
    // Samples due by now are on the line before any answer to what the host sends now.
    produceStream();
    input_.insert(input_.end(), bytes, bytes + length);
    std::size_t used = 0;
    while (input_.size() - used >= FrameSize) {
        const std::uint8_t* frame = input_.data() + used;
        const bool speedCommand = frame[0] != 0 && (frame[1] == CmdSetLinkSpeed ||
                                                    (frame[1] == CmdRequestRecord && frame[4] == RecordEnd));
        // At the wrong speed the frame is garbage: the recorder hears nothing it understands.
        const bool heard = hostBaud == 0 || hostBaud == baud() || (speedCommand && previousHostBaud_ == baud());
        // A recorder sending a recording does not listen to its line: what comes meanwhile is lost.
        const bool busy = heard && pacing_ && clockMs_ && nowMs() < busyUntilMs_;
        if (busy) {
            ++lostWhileBusy_;
            logFrame(frame, hostBaud, "lost (busy sending a recording)");
            used += FrameSize;
            continue;
        }
        const char* refused = heard ? refusal(frame) : nullptr;
        const bool lost = heard && !refused && frame[1] == CmdRequestRecord && requestsHeard_++ == faults_.lostRequest;
        logFrame(frame, hostBaud, !heard ? "lost (line speed)" : refused ? refused : lost ? "lost (fault)" : "heard");
        if (heard && !lost) {
            lastActivityMs_ = clockMs_ ? clockMs_() : 0;
            if (refused)
                ++ignoredFrames_;
            else
                handleFrame(frame);
        }
        used += FrameSize;
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(used));
    previousHostBaud_ = hostBaud;
}

void SimulatedRecorder::logFrame(const std::uint8_t* frame, std::uint32_t hostBaud, const char* verdict)
{
    if (!frameLog_)
        return;
    char line[160];
    std::snprintf(line, sizeof line, "%lld ms host %u recorder %u: count %u code 0x%02X byte2 %u dir %c param 0x%02X %s",
                  static_cast<long long>(clockMs_ ? clockMs_() : 0), hostBaud, baud(), frame[0], frame[1], frame[2],
                  frame[3] >= 32 && frame[3] < 127 ? frame[3] : '?', frame[4], verdict);
    frameLog_(line + SettingsLogText(frame) + FirmwareLogText(frame));
}

std::string SimulatedRecorder::FirmwareLogText(const std::uint8_t* frame)
{
    if (frame[0] == 0 || frame[1] != CmdFirmware)
        return {};
    switch (frame[4]) {
    case FwPresence: return "; firmware presence";
    case FwBootMode: return "; firmware boot-mode";
    case FwAnnouncePage: return "; firmware page " + std::to_string(frame[5]);
    case FwPreparePage: return "; firmware prepare";
    case FwWriteBlock: return "; firmware block " + std::to_string(frame[5]);
    case FwVerify: return "; firmware verify";
    case FwReset: return "; firmware reset";
    default: return "; firmware unknown";
    }
}

const char* SimulatedRecorder::SettingsRefusal(const std::uint8_t* p)
{
    const DeviceSettings s = DecodeSettingsPacket(p);
    // The beep switches are read as bytes here: the decoded flags would take any non-zero byte.
    if (s.month < 1 || s.month > 12)
        return "month out of range";
    if (s.day < 1 || s.day > 31)
        return "day out of range";
    if (s.hour > 23 || s.minute > 59 || s.second > 59)
        return "time out of range";
    if (s.sensitivity > 2)
        return "sensitivity out of range";
    if (p[17] > 1 || p[18] > 1)
        return "beep switch out of range";
    if (s.tachycardia <= s.bradycardia)
        return "tachycardia not above bradycardia";
    if (ReadBe32(p, 11) == 0)
        return "device ID 0";
    return nullptr;
}

std::string SimulatedRecorder::SettingsLogText(const std::uint8_t* frame)
{
    if (frame[0] == 0 || frame[1] != CmdWriteSettings)
        return {};
    // The whole packet as the recorder reads it, so a settings round trip can be checked in the log.
    const DeviceSettings s = DecodeSettingsPacket(frame + SettingsPacketOffset);
    char text[200];
    std::snprintf(text, sizeof text,
                  "; settings tachycardia %u bradycardia %u pause %u sensitivity %u extra 0x%02X clock "
                  "%04d-%02d-%02d %02d:%02d:%02d id %s dc-offset %d key-beep %d heart-beep %d",
                  s.tachycardia, s.bradycardia, s.pause, s.sensitivity, s.extraSetting, s.year, s.month, s.day,
                  s.hour, s.minute, s.second, s.deviceIdText.c_str(), s.dcOffset, s.keyBeep ? 1 : 0,
                  s.heartbeatBeep ? 1 : 0);
    return text;
}

std::size_t SimulatedRecorder::HostRead(std::uint8_t* out, std::size_t maxLength, std::uint32_t hostBaud)
{
    checkFallBack();
    produceStream();
    std::size_t n = std::min(maxLength, readyBytes());
    if (faults_.shortReadChunk != 0)
        n = std::min(n, faults_.shortReadChunk);
    std::copy_n(output_.begin(), n, out);
    if (hostBaud != 0) {
        // Each byte is judged by the speed it was sent at: a speed change on either side garbles only
        // what crosses the line after it.
        std::size_t at = 0;
        for (const OutChunk& c : chunks_) {
            if (at >= n)
                break;
            const std::size_t inChunk = std::min(c.size - c.taken, n - at);
            if (c.baud != hostBaud) {
                std::fill_n(out + at, inChunk, std::uint8_t{0});
                garbledBytes_ += inChunk;
            }
            at += inChunk;
        }
    }
    consumeOutput(n);
    if (n != 0)
        lastActivityMs_ = clockMs_ ? clockMs_() : 0;
    return n;
}

void SimulatedRecorder::answer(std::uint8_t code, std::uint8_t flag)
{
    Frame a{};
    a[0] = 4;
    a[1] = code;
    a[3] = code;
    a[4] = flag;
    queueAnswer(a.data(), a.size());
}

void SimulatedRecorder::queueAnswer(const std::uint8_t* bytes, std::size_t length)
{
    queueOutput(bytes, length, static_cast<double>(faults_.answerDelayMs));
    if (faults_.answerTwice)
        queueOutput(bytes, length);
}

// --- the line

void SimulatedRecorder::queueOutput(const std::uint8_t* bytes, std::size_t length, double delayMs)
{
    if (length == 0)
        return;
    output_.insert(output_.end(), bytes, bytes + length);
    const double now = nowMs();
    const double start = std::max(now + delayMs, lineFreeAtMs_);
    const std::uint32_t sendBaud = faults_.sendBaud != 0 ? faults_.sendBaud : baud();
    const double msPerByte = sendBaud ? 10000.0 / sendBaud * std::max(1.0, faults_.sendSlowdown) : 0.0;
    chunks_.push_back(OutChunk{sendBaud, start, msPerByte, length, 0});
    lineFreeAtMs_ = start + msPerByte * static_cast<double>(length);
}

std::size_t SimulatedRecorder::readyBytes() const
{
    if (!pacing_ || !clockMs_)
        return output_.size();
    const double now = nowMs();
    std::size_t ready = 0;
    for (const OutChunk& c : chunks_) {
        const double sent = c.msPerByte > 0 ? (now - c.startMs) / c.msPerByte : static_cast<double>(c.size);
        const std::size_t done = sent <= 0 ? 0 : std::min(c.size, static_cast<std::size_t>(sent));
        ready += done > c.taken ? done - c.taken : 0;
        if (done < c.size)
            break;
    }
    return ready;
}

void SimulatedRecorder::consumeOutput(std::size_t length)
{
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(length));
    while (length > 0 && !chunks_.empty()) {
        OutChunk& c = chunks_.front();
        const std::size_t take = std::min(length, c.size - c.taken);
        c.taken += take;
        length -= take;
        if (c.taken == c.size)
            chunks_.pop_front();
    }
}

void SimulatedRecorder::DiscardOutput()
{
    // Only what has reached the bridge is in its buffer; the recorder goes on sending the rest.
    consumeOutput(readyBytes());
}

void SimulatedRecorder::PowerDown()
{
    dropAllOutput();
    if (faults_.streamsWhileUnplugged && streaming_)
        return;  // the recorder itself has power; only the line is gone
    awake_ = false;
    streaming_ = false;
}

void SimulatedRecorder::dropAllOutput()
{
    output_.clear();
    chunks_.clear();
    busyUntilMs_ = 0;
    lineFreeAtMs_ = std::min(lineFreeAtMs_, nowMs());
}

std::int64_t SimulatedRecorder::MsUntilReady(std::size_t count) const
{
    if (count > output_.size())
        return -1;
    if (!pacing_ || !clockMs_ || count == 0)
        return 0;
    std::size_t left = count;
    for (const OutChunk& c : chunks_) {
        const std::size_t inChunk = c.size - c.taken;
        if (left <= inChunk) {
            const double at = c.startMs + c.msPerByte * static_cast<double>(c.taken + left);
            const double wait = at - nowMs();
            return wait <= 0 ? 0 : static_cast<std::int64_t>(wait) + 1;
        }
        left -= inChunk;
    }
    return -1;
}

// --- strictness

const char* SimulatedRecorder::refusal(const std::uint8_t* frame)
{
    // The wake block (0, 1, ..., 63) wakes the recorder; filler frames carry nothing.
    if (frame[0] == 0) {
        bool wake = true;
        for (std::size_t i = 0; i < FrameSize && wake; ++i)
            wake = frame[i] == i;
        if (wake)
            awake_ = true;
        return wake ? nullptr : "ignored (filler)";
    }
    if (!awake_)
        return "ignored (asleep: no wake block yet)";
    const std::uint8_t code = frame[1];
    std::uint8_t count = 0;
    std::uint8_t direction = DirectionRead;
    switch (code) {
    case CmdReadInfo: count = 3; break;
    case CmdEraseRecords: count = 3; direction = DirectionWrite; break;
    case CmdWriteSettings: count = 22; direction = DirectionWrite; break;
    case CmdSetLinkSpeed: count = 4; break;
    case CmdRequestRecord: count = 4; break;
    case CmdStreamStart: count = 3; break;
    case CmdStreamStop: count = 3; direction = DirectionWrite; break;
    case CmdFirmware:
        direction = DirectionWrite;
        count = frame[4] == FwAnnouncePage ? 5 : frame[4] == FwWriteBlock ? 37 : 4;
        break;
    default: return "ignored (unknown command)";
    }
    if (frame[0] != count)
        return "ignored (byte count)";
    if (frame[2] != 0)
        return "ignored (byte 2)";
    if (frame[3] != direction)
        return "ignored (direction letter)";
    return nullptr;
}

void SimulatedRecorder::answerInfo()
{
    const auto block = EncodeDeviceInfo(CurrentInfo());
    std::size_t length = block.size();
    if (faults_.infoAnswerBytes >= 0)
        length = std::min(length, static_cast<std::size_t>(faults_.infoAnswerBytes));
    queueAnswer(block.data(), length);
}

void SimulatedRecorder::SetAlarmSettings(std::uint8_t tachycardia, std::uint8_t bradycardia, std::uint8_t pause,
                                         std::uint8_t sensitivity)
{
    info_.tachycardia = tachycardia;
    info_.bradycardia = bradycardia;
    info_.pause = pause;
    info_.sensitivity = sensitivity;
}

void SimulatedRecorder::handleFrame(const std::uint8_t* frame)
{
    const std::uint8_t count = frame[0];
    if (count == 0)
        return;  // the wake block, or filler
    const std::uint8_t code = frame[1];
    log_.push_back(code);
    if (faults_.noAnswer || silenced_)
        return;
    // An ordinary command shows the application is back in charge after a failed boot attempt.
    if (code != CmdFirmware)
        bootRefused_ = false;
    if (bootMode_ && code != CmdFirmware)
        return;  // the boot loader speaks only the firmware commands
    switch (code) {
    case CmdReadInfo:
        answerInfo();
        break;
    case CmdEraseRecords:
        if (faults_.refuseErase) {
            answer(0);
            break;
        }
        recordings_.clear();
        answer(CmdEraseRecords);
        break;
    case CmdWriteSettings: {
        if (const char* why = SettingsRefusal(frame + SettingsPacketOffset)) {
            // Nothing of the packet is kept, and the answer says so.
            refusedSettings_.emplace_back(why);
            if (frameLog_)
                frameLog_(std::string("settings refused: ") + why);
            answer(0);
            break;
        }
        lastSettings_ = DecodeSettingsPacket(frame + SettingsPacketOffset);
        ++settingsWrites_;
        info_.tachycardia = lastSettings_.tachycardia;
        info_.bradycardia = lastSettings_.bradycardia;
        info_.pause = lastSettings_.pause;
        info_.sensitivity = lastSettings_.sensitivity;
        info_.extraSetting = lastSettings_.extraSetting;
        info_.deviceId = ParseDeviceIdText(lastSettings_.deviceIdText).value_or(info_.deviceId);
        info_.dcOffset = lastSettings_.dcOffset;
        info_.keyBeep = lastSettings_.keyBeep ? 1 : 0;
        info_.heartbeatBeep = lastSettings_.heartbeatBeep ? 1 : 0;
        answer(CmdWriteSettings);
        break;
    }
    case CmdSetLinkSpeed:
        if (!faults_.refuseFastLink && frame[4] >= 2 && frame[4] <= 8)
            rateCode_ = frame[4];
        break;
    case CmdRequestRecord:
        switch (frame[4]) {
        case RecordFirst: streamIndex_ = 0; sendRecording(streamIndex_); break;
        case RecordNext: sendRecording(++streamIndex_); break;
        case RecordAgain: sendRecording(streamIndex_); break;
        case RecordEnd: rateCode_ = RateCodeNormal; break;
        default: break;
        }
        break;
    case CmdFirmware:
        handleFirmware(frame);
        break;
    case CmdStreamStart:
        answer(CmdStreamStart);
        startStream();
        break;
    case CmdStreamStop:
        if (faults_.ignoredStreamStops > 0) {
            --faults_.ignoredStreamStops;
            break;
        }
        produceStream();
        streaming_ = false;
        break;
    default:
        break;
    }
}

void SimulatedRecorder::startStream()
{
    if (streamSource_.empty()) {
        SynthOptions options;
        options.sampleRate = StreamSampleRate;
        options.seconds = StreamLoopSeconds;
        options.seed = 21;
        options.noiseMv = 0.01;
        streamSource_ = SynthesiseEcgSamples(options);
    }
    streaming_ = true;
    streamStartMs_ = nowMs();
    streamQueued_ = 0;
}

void SimulatedRecorder::produceStream()
{
    if (!streaming_ || streamSource_.empty())
        return;
    const double elapsed = nowMs() - streamStartMs_;
    const auto due = static_cast<std::uint64_t>(std::max(0.0, elapsed) * StreamSampleRate / 1000.0);
    if (due <= streamQueued_)
        return;
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<std::size_t>(due - streamQueued_));
    for (; streamQueued_ < due; ++streamQueued_)
        samples.push_back(streamSource_[static_cast<std::size_t>(streamQueued_ % streamSource_.size())]);
    std::vector<std::uint8_t> bytes;
    AppendStreamSamples(samples.data(), samples.size(), bytes);
    queueOutput(bytes.data(), bytes.size());
    streamed_.insert(streamed_.end(), samples.begin(), samples.end());
    if (streamLog_)
        streamLog_(samples.data(), samples.size());
}

void SimulatedRecorder::sendRecording(std::size_t index)
{
    if (index >= recordings_.size())
        return;
    const SimRecording& r = recordings_[index];
    const RecordHeaderBytes& header = r.wireHeader;
    const bool corrupt = faults_.checksumErrors > 0;
    if (corrupt)
        --faults_.checksumErrors;
    std::vector<std::uint8_t> stream = r.claimedSampleBytes ? BuildLyingStream(r, corrupt)
                                                             : BuildRecordingStream(header, r.samples, r.annotation, corrupt);
    if (faults_.damagedHeaders > 0) {
        --faults_.damagedHeaders;
        switch (faults_.headerDamage) {
        case HeaderDamage::OddSampleBytes: stream[rec::SampleBytes + 3] ^= 1; break;
        case HeaderDamage::ZeroSampleBytes: WriteBe32(stream.data(), rec::SampleBytes, 0); break;
        case HeaderDamage::HugeSampleBytes: stream[rec::SampleBytes] = 0xFF; break;
        case HeaderDamage::ZeroRate: WriteBe16(stream.data(), rec::SampleRate, 0); break;
        }
    }
    if (faults_.stallAfterBytes >= 0) {
        stream.resize(std::min(stream.size(), static_cast<std::size_t>(faults_.stallAfterBytes)));
        faults_.stallAfterBytes = -1;
    }
    queueOutput(stream.data(), stream.size());
    busyUntilMs_ = lineFreeAtMs_;
}

std::vector<std::uint8_t> BuildLyingStream(const SimRecording& r, bool corruptChecksum)
{
    RecordHeaderBytes header = r.wireHeader;
    const std::uint32_t claimed = *r.claimedSampleBytes;
    WriteBe32(header.data(), rec::SampleBytes, claimed);
    std::vector<std::uint8_t> out(header.begin(), header.end());
    for (std::int16_t s : r.samples) {
        const auto u = static_cast<std::uint16_t>(s);
        out.push_back(static_cast<std::uint8_t>(u >> 8));
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    }
    if (claimed % 2 != 0)
        out.push_back(0x55);
    out.insert(out.end(), r.annotation.begin(), r.annotation.end());
    AppendCheckFrame(out, corruptChecksum);
    return out;
}

void SimulatedRecorder::handleFirmware(const std::uint8_t* frame)
{
    switch (frame[4]) {
    case FwPresence:
        if (!bootRefused_)
            answer(CmdFirmware);
        break;
    case FwBootMode:
        answer(CmdFirmware);
        if (faults_.refuseBootMode) {
            bootRefused_ = true;
        } else if (!bootMode_) {
            takeOverByBootLoader();
        }
        break;
    case FwAnnouncePage:
        if (!bootMode_)
            break;
        pagePrepared_ = false;
        if (frame[5] == faults_.refusePage) {
            flashBroken_ = true;
            break;
        }
        page_ = frame[5];
        lastPage_ = frame[5];
        answer(CmdFirmware);
        break;
    case FwPreparePage:
        if (bootMode_ && lastPage_ >= 0) {
            pagePrepared_ = true;
            answer(CmdFirmware);
        }
        break;
    case FwWriteBlock: {
        if (!bootMode_)
            break;
        const int seen = blocksSeen_++;
        // A block for a page that was not announced and prepared has nowhere to go.
        if (seen == faults_.refuseBlock || !pagePrepared_ || frame[5] >= FirmwareBlocksPerPage) {
            flashBroken_ = true;
            break;
        }
        const std::size_t index = page_ * FirmwareBlocksPerPage + frame[5];
        std::copy_n(frame + 6, FirmwareBlockSize, flash_.begin() + static_cast<std::ptrdiff_t>(index * FirmwareBlockSize));
        blockWritten_[index] = true;
        answer(CmdFirmware);
        break;
    }
    case FwVerify:
        if (bootMode_) {
            verifiedGood_ = !faults_.failVerify && FlashComplete();
            answer(CmdFirmware, verifiedGood_ ? 1 : 0);
        }
        break;
    case FwReset:
        if (bootMode_ && !faults_.ignoreReset) {
            answer(CmdFirmware);
            bootMode_ = false;
            rateCode_ = RateCodeNormal;
            ++resets_;
            if (faults_.silentAfterReset)
                silenced_ = true;
            if (onReset_)
                onReset_(FlashedBytes(), verifiedGood_);
        }
        break;
    default:
        break;
    }
}

void SimulatedRecorder::takeOverByBootLoader()
{
    // The boot loader erases the application when it takes over; the application's live stream
    // ends with it.
    bootMode_ = true;
    streaming_ = false;
    std::fill(flash_.begin(), flash_.end(), 0xFF);
    std::fill(blockWritten_.begin(), blockWritten_.end(), false);
    blocksSeen_ = 0;
    lastPage_ = -1;
    pagePrepared_ = false;
    flashBroken_ = false;
    verifiedGood_ = false;
}

void SimulatedRecorder::EnterBootLoader()
{
    takeOverByBootLoader();
}

std::vector<std::uint8_t> SimulatedRecorder::FlashedBytes() const
{
    std::size_t blocks = 0;
    while (blocks < blockWritten_.size() && blockWritten_[blocks])
        ++blocks;
    return {flash_.begin(), flash_.begin() + static_cast<std::ptrdiff_t>(blocks * FirmwareBlockSize)};
}

bool SimulatedRecorder::FlashComplete() const
{
    if (flashBroken_ || lastPage_ < 0)
        return false;
    const std::size_t blocks = FlashedBytes().size() / FirmwareBlockSize;
    if (blocks == 0)
        return false;
    // No block written beyond the gap-free run, and the run ends in the last page announced: an
    // announced page left empty, or a hole, means the image is not all there.
    const auto written = static_cast<std::size_t>(std::count(blockWritten_.begin(), blockWritten_.end(), true));
    return written == blocks && (blocks - 1) / FirmwareBlocksPerPage == static_cast<std::size_t>(lastPage_);
}

}  // namespace sim
