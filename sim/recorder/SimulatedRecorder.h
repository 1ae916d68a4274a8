#pragma once
#include "device/protocol/DeviceInfoBlock.h"
#include "device/protocol/RecordHeader.h"
#include "device/protocol/RecordingStream.h"
#include "device/protocol/SettingsPacket.h"
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The recorder as its USB peer sees it: it takes 64-byte command frames and
// answers exactly as the real one does (information block, erase, settings,
// link speed, the recording stream, the firmware boot loader), and it can
// misbehave on purpose. It knows nothing about bridges or time-outs; a
// transport in front of it (in-process or a pseudo-terminal) moves the bytes.

namespace sim {

// One stored recording: the header as the recorder sends it, the samples and the annotation pages.
struct SimRecording {
    device::protocol::RecordHeaderBytes wireHeader{};
    std::vector<std::int16_t> samples;
    device::protocol::AnnotationBlock annotation{};
    // A header that lies about its sample bytes (odd, zero, absurd): the header carries this count and
    // the stream as many sample bytes as there are, plus one for an odd count. Unset: the true count.
    std::optional<std::uint32_t> claimedSampleBytes;
};

// What the information block says about the memory, beyond the recordings themselves.
struct StorageQuirks {
    std::uint32_t extraStoredBytes = 0;              // a partial recording left over after the whole ones
    std::optional<std::uint32_t> bytesStoredOverride;  // reported as is (e.g. an absurd count)
};

// How a header damaged on the line comes out (the recorder meant it whole).
enum class HeaderDamage : std::uint8_t { OddSampleBytes, ZeroSampleBytes, HugeSampleBytes, ZeroRate };

// Deliberate misbehaviour. Counters count down as faults are used.
struct RecorderFaults {
    bool noAnswer = false;        // every command is ignored
    bool refuseFastLink = false;  // SetLinkSpeed is ignored; the recorder stays at 230400
    // Firmware sub-command 1 is acknowledged, but the boot loader never starts and the presence
    // query goes unanswered until an ordinary command comes.
    bool refuseBootMode = false;
    bool failVerify = false;      // the verify answer says "bad"
    int refuseBlock = -1;         // the boot loader leaves the N-th block after boot mode (from 0) unanswered
    int refusePage = -1;          // the boot loader leaves the announcement of page N unanswered
    bool silentAfterReset = false;  // after the firmware reset the recorder never answers again
    bool ignoreReset = false;       // the boot loader never takes the reset frame and stays in charge
    bool refuseErase = false;       // the erase is answered as refused and every recording is kept
    int checksumErrors = 0;       // the next N streams end with a wrong check frame
    int stallAfterBytes = -1;     // the next stream stops after this many bytes (once)
    std::size_t shortReadChunk = 0;  // at most this many bytes per read (0 = as many as asked)
    // The information answer stops after this many of its 256 bytes (-1 = whole).
    int infoAnswerBytes = -1;
    // The next N recording streams arrive with their header damaged as headerDamage says; the rest of
    // each stream is what the recorder meant to send.
    int damagedHeaders = 0;
    HeaderDamage headerDamage = HeaderDamage::OddSampleBytes;
    // The record request with this number (from 0, every RequestRecord frame heard counts) is lost on
    // the line: the recorder never hears it.
    int lostRequest = -1;
    // The recorder puts its bytes on the line this many times slower than its line rate (a failing
    // line or recorder; 1 = at the line rate).
    double sendSlowdown = 1.0;
    // The recorder's transmitter stays at this line speed whatever link speed it takes (0 = it follows
    // the link speed): a host listening at the link speed gets its bytes garbled.
    std::uint32_t sendBaud = 0;
    // The next N stop frames of the live stream go unheeded: the stream goes on.
    int ignoredStreamStops = 0;
    // On its own battery the recorder goes on streaming when the cable is pulled; what it sends
    // meanwhile is lost, and it is still streaming when the cable comes back.
    bool streamsWhileUnplugged = false;
    // Every answer frame and information block goes out twice, the copy right behind the first.
    bool answerTwice = false;
    // Answer frames and information blocks start this long after the command was heard, ms.
    std::int64_t answerDelayMs = 0;
};

class SimulatedRecorder {
public:
    // clockMs: monotonic milliseconds, used for the recorder's own fall-back to 230400.
    explicit SimulatedRecorder(std::function<std::int64_t()> clockMs);

    // --- the peer's side of the wire
    // Bytes from the host, with the line speed the host's end had when they were read (0 = no check).
    // Frames sent at a speed other than the recorder's are lost. A speed command is the exception:
    // the host changes its end right after sending one, possibly before the bytes were read, so such
    // a frame is also heard when the speed seen before it matched.
    void HostWrite(const std::uint8_t* bytes, std::size_t length, std::uint32_t hostBaud);
    // The host's line speed seen while nothing was on its way.
    void NoteHostBaud(std::uint32_t hostBaud) { previousHostBaud_ = hostBaud; }
    // Bytes for the host, at most maxLength (and at most the short-read chunk), with the line speed the
    // host's end has as they reach it (0 = no check). Bytes sent at another speed arrive garbled, as a
    // UART takes them: each one a NUL with a framing error, which a raw tty passes on.
    std::size_t HostRead(std::uint8_t* out, std::size_t maxLength, std::uint32_t hostBaud);
    // Bytes that reached the host garbled so far.
    std::uint64_t garbledBytes() const { return garbledBytes_; }
    std::size_t PendingOutput() const { return output_.size(); }
    // The bridge's flush: bytes that have arrived at the bridge and were not read are gone; bytes the
    // recorder has still to send come after it.
    void DiscardOutput();

    // --- the line: what the recorder sends goes out at its line rate (10 bits a byte), so a host sees
    // a byte only once it has been transmitted (with a clock; without one everything is there at once).
    void SetPacing(bool pacing) { pacing_ = pacing; }
    // Milliseconds until `count` more bytes are there for the host (0 when they are); -1 when fewer
    // than that are on their way at all.
    std::int64_t MsUntilReady(std::size_t count) const;
    // Powers the recorder down (cable pulled): it needs a wake block again before it answers.
    void PowerDown();
    bool awake() const { return awake_; }
    // Frames ignored because they were malformed (byte count, byte 2, direction) or came before the wake.
    int ignoredFrames() const { return ignoredFrames_; }
    // Frames that came while the recorder was still sending a recording: it was not listening.
    int framesLostWhileBusy() const { return lostWhileBusy_; }

    // --- the recorder's state
    device::protocol::DEVICE_INFO_BLOCK& info() { return info_; }
    const device::protocol::DEVICE_INFO_BLOCK& info() const { return info_; }
    // The information block as it would be sent now (bytes stored follow the recordings).
    device::protocol::DEVICE_INFO_BLOCK CurrentInfo() const;
    std::vector<SimRecording>& recordings() { return recordings_; }
    RecorderFaults& faults() { return faults_; }
    StorageQuirks& storage() { return storage_; }
    // The last settings packet received, and its clock values.
    const device::protocol::DeviceSettings& lastSettings() const { return lastSettings_; }
    int settingsWrites() const { return settingsWrites_; }
    // Settings packets refused because the recorder could not hold them: one reason each.
    const std::vector<std::string>& refusedSettings() const { return refusedSettings_; }
    int rateCode() const { return rateCode_; }
    std::uint32_t baud() const;
    bool bootMode() const { return bootMode_; }
    // Puts the boot loader in charge with nothing flashed, as a failed firmware upgrade leaves the
    // recorder: it stays so through power-downs until a whole image is written, verified and reset.
    void EnterBootLoader();
    const std::vector<std::uint8_t>& flashImage() const { return flash_; }
    // What the boot loader holds since it last took over: the blocks written from address 0 without a
    // gap, a multiple of 32 bytes (the last block's bytes past the image are whatever the host sent).
    std::vector<std::uint8_t> FlashedBytes() const;
    // Whether a verify now would say "good": blocks were written since boot mode, none was refused,
    // they run from address 0 without a gap and every page announced before the last was filled.
    bool FlashComplete() const;
    // Called when the boot loader takes the reset, with the bytes flashed and whether its last verify
    // was good.
    void SetOnReset(std::function<void(const std::vector<std::uint8_t>& flashed, bool verified)> onReset)
    {
        onReset_ = std::move(onReset);
    }
    int resets() const { return resets_; }
    // Command codes in arrival order (firmware frames as 0xFD).
    const std::vector<std::uint8_t>& commandLog() const { return log_; }

    // The alarm thresholds and rhythm sensitivity the recorder holds now (as set on the recorder itself).
    void SetAlarmSettings(std::uint8_t tachycardia, std::uint8_t bradycardia, std::uint8_t pause,
                          std::uint8_t sensitivity);
    // Every frame that reaches the recorder, one line each (time, line speeds, what it was and
    // whether it was heard); unset = no log.
    void SetFrameLog(std::function<void(const std::string& line)> log) { frameLog_ = std::move(log); }

    // --- the live stream: after the start frame, synthesised ECG at 256 samples per second on the
    // recorder's clock, until the stop frame (or the cable is pulled).
    bool streaming() const { return streaming_; }
    // Every sample put on the line since the simulator was made, in order.
    const std::vector<std::int16_t>& streamedSamples() const { return streamed_; }
    // Called with each run of samples as it is put on the line; unset = no log.
    void SetStreamLog(std::function<void(const std::int16_t* samples, std::size_t count)> log)
    {
        streamLog_ = std::move(log);
    }

    // Bytes per stored recording as the information block's factors describe it (A x B x 2).
    std::uint32_t BytesPerRecording() const;

private:
    void handleFrame(const std::uint8_t* frame);
    void handleFirmware(const std::uint8_t* frame);
    void answer(std::uint8_t code, std::uint8_t flag = 0);
    void answerInfo();
    void takeOverByBootLoader();
    void sendRecording(std::size_t index);
    void checkFallBack();
    void startStream();
    // Puts the samples due by now on the line.
    void produceStream();
    void logFrame(const std::uint8_t* frame, std::uint32_t hostBaud, const char* verdict);
    static std::string SettingsLogText(const std::uint8_t* frame);
    // Why the recorder cannot hold a settings packet (a value outside what it stores); null when it can.
    static const char* SettingsRefusal(const std::uint8_t* packet);
    static std::string FirmwareLogText(const std::uint8_t* frame);
    // The recorder's strictness: a frame it does not take, with the reason for the log; null when taken.
    const char* refusal(const std::uint8_t* frame);
    void queueOutput(const std::uint8_t* bytes, std::size_t length, double delayMs = 0);
    // An answer frame or information block, as late and as often as the faults say.
    void queueAnswer(const std::uint8_t* bytes, std::size_t length);
    // Everything on its way is gone (the line itself is gone).
    void dropAllOutput();
    std::size_t readyBytes() const;
    void consumeOutput(std::size_t length);
    double nowMs() const { return clockMs_ ? static_cast<double>(clockMs_()) : 0.0; }

    std::function<std::int64_t()> clockMs_;
    device::protocol::DEVICE_INFO_BLOCK info_;
    std::vector<SimRecording> recordings_;
    RecorderFaults faults_;
    StorageQuirks storage_;
    device::protocol::DeviceSettings lastSettings_;
    int settingsWrites_ = 0;
    std::vector<std::string> refusedSettings_;
    std::vector<std::uint8_t> input_;
    std::deque<std::uint8_t> output_;
    std::vector<std::uint8_t> log_;
    std::function<void(const std::string&)> frameLog_;
    // Bytes on their way out, in chunks sent at one line rate each.
    struct OutChunk {
        std::uint32_t baud;
        double startMs;
        double msPerByte;
        std::size_t size;
        std::size_t taken;
    };
    std::deque<OutChunk> chunks_;
    double lineFreeAtMs_ = 0;
    bool pacing_ = true;
    bool awake_ = false;
    int ignoredFrames_ = 0;
    // Until then the recorder is sending a recording and hears nothing, ms on its clock.
    double busyUntilMs_ = 0;
    int lostWhileBusy_ = 0;
    std::uint64_t garbledBytes_ = 0;
    int rateCode_ = 2;
    std::uint32_t previousHostBaud_ = 0;  // the host's speed seen before the bytes now arriving
    std::int64_t lastActivityMs_ = 0;
    std::size_t streamIndex_ = 0;
    bool bootMode_ = false;
    bool bootRefused_ = false;  // took sub-command 1 under refuseBootMode; presence stays silent
    std::uint8_t page_ = 0;
    std::vector<std::uint8_t> flash_;
    std::vector<bool> blockWritten_;  // per 32-byte block of the flash since boot mode began
    int blocksSeen_ = 0;              // block frames since boot mode began
    int lastPage_ = -1;               // the last page announced since boot mode began
    bool pagePrepared_ = false;       // sub-command 3 came after the last announcement
    bool flashBroken_ = false;        // a page or block was refused since boot mode began
    bool verifiedGood_ = false;
    bool silenced_ = false;           // silentAfterReset took effect
    int resets_ = 0;
    int requestsHeard_ = 0;
    std::function<void(const std::vector<std::uint8_t>&, bool)> onReset_;
    bool streaming_ = false;
    double streamStartMs_ = 0;
    std::uint64_t streamQueued_ = 0;      // samples of the current stream put on the line
    std::vector<std::int16_t> streamSource_;  // the synthesised signal, played in a loop
    std::vector<std::int16_t> streamed_;
    std::function<void(const std::int16_t*, std::size_t)> streamLog_;
};

// The stream of a recording whose header lies about its sample bytes (claimedSampleBytes set).
std::vector<std::uint8_t> BuildLyingStream(const SimRecording& recording, bool corruptChecksum);

// Default recorder identity and settings: firmware 1.20.00, ID 0012AB34, thresholds 100/60/2,
// middle sensitivity, beeps on, DC offset 2048, 30-second recordings at 256 samples per second.
device::protocol::DEVICE_INFO_BLOCK DefaultRecorderInfo();

}  // namespace sim
