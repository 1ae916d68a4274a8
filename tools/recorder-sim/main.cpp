// recorder-sim: the simulated recorder on a pseudo-terminal. Prints the path
// to open as the first line of standard output and serves until it is ended
// (SIGINT or SIGTERM).
#include "sim/recorder/DownloadScenarios.h"
#include "sim/recorder/PtyRecorderServer.h"
#include "sim/recorder/RecordingFactory.h"
#include "sim/recorder/SimulatedRecorder.h"
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int)
{
    g_stop.store(true);
}

const char* const kUsage =
    "Usage: recorder-sim [OPTIONS]\n"
    "\n"
    "Simulated Heart Let recorder on a pseudo-terminal. The first line of output is the\n"
    "path to open (for example: ecg-cli device info --link serial:PATH).\n"
    "\n"
    "Options:\n"
    "  --recordings N        stored recordings (default 5)\n"
    "  --id HEX              device ID, 8 hexadecimal digits (default 0012AB34)\n"
    "  --dc-offset N         DC offset the recorder reports (default 2048)\n"
    "  --checksum-errors N   the next N recordings end with a wrong check frame\n"
    "  --stall-after BYTES   the next recording stops after this many bytes\n"
    "  --short-reads BYTES   answers trickle out in pieces of this size\n"
    "  --info-bytes N        the information answer stops after N of its 256 bytes\n"
    "  --claim-sample-bytes N:BYTES\n"
    "                        recording N (from 0) has a header claiming BYTES sample bytes; its\n"
    "                        stream carries the samples it holds\n"
    "  --lose-request N      the N-th record request frame heard (from 0) is lost on the line\n"
    "  --send-baud BAUD      the recorder's transmitter stays at BAUD whatever link speed it takes\n"
    "  --ignore-stream-stops N  the first N stop frames of the live stream go unheeded\n"
    "  --no-answer           ignore every command\n"
    "  --refuse-fast-link    stay at 230400 baud when asked to speed up\n"
    "  --refuse-boot-mode    take the boot-mode command but never start the boot loader\n"
    "                        (the presence query after it goes unanswered)\n"
    "  --in-boot-loader      start in the boot loader with no program, as a failed upgrade leaves\n"
    "                        the recorder: only the firmware commands are answered until a whole\n"
    "                        image is written, verified and reset\n"
    "  --fail-verify         report a bad firmware image at verify\n"
    "  --refuse-block N      leave the N-th firmware block after boot mode (from 0) unanswered\n"
    "  --refuse-page N       leave the announcement of firmware page N unanswered\n"
    "  --silent-after-reset  answer nothing after the firmware reset\n"
    "  --ignore-reset        the boot loader ignores the firmware reset and stays\n"
    "  --refuse-erase        answer the erase as refused and keep every recording\n"
    "  --answer-twice        send every answer frame and information block twice\n"
    "  --answer-delay MS     start every answer frame and information block MS milliseconds late\n"
    "  --flash-out FILE      at the firmware reset after a good verify, write what the boot loader\n"
    "                        holds to FILE: the blocks written from address 0 without a gap, a\n"
    "                        multiple of 32 bytes (the last block's bytes past the image are the\n"
    "                        host's filler)\n"
    "  --unplug-after MS     pull the cable after MS milliseconds\n"
    "  --no-speed-check      answer at any line speed\n"
    "  --log FILE            append a line for every command frame received\n"
    "  --stream-log FILE     append every live-stream sample sent, one value a line\n"
    "  --plain N             N small plain recordings instead (any number, distinct times)\n"
    "  --same-time           the plain recordings share one time stamp\n"
    "  --extra-bytes N       report N stored bytes beyond the whole recordings\n";

bool NextInt(int argc, char** argv, int& i, long& value)
{
    if (i + 1 >= argc)
        return false;
    char* end = nullptr;
    value = std::strtol(argv[++i], &end, 0);
    return end && *end == '\0';
}

// A header's false sample byte count: which recording, and what it claims.
struct Claim {
    long recording = -1;
    unsigned long sampleBytes = 0;
};

bool ParseClaim(const char* text, Claim& claim)
{
    char* end = nullptr;
    claim.recording = std::strtol(text, &end, 10);
    if (end == text || *end != ':' || claim.recording < 0)
        return false;
    const char* bytes = end + 1;
    claim.sampleBytes = std::strtoul(bytes, &end, 0);
    return end != bytes && *end == '\0' && claim.sampleBytes <= 0xFFFFFFFFul;
}

}  // namespace

int main(int argc, char** argv)
{
    const auto start = std::chrono::steady_clock::now();
    auto clock = [start] {
        return static_cast<std::int64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    };
    sim::SimulatedRecorder recorder(clock);
    long recordings = 5;
    long unplugAfter = -1;
    bool checkSpeed = true;
    std::string logPath;
    std::string flashOutPath;
    std::string streamLogPath;
    long plain = -1;
    bool sameTime = false;
    Claim claim;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        long v = 0;
        bool ok = true;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--recordings") {
            ok = NextInt(argc, argv, i, v) && v >= 0 && v <= 255;
            recordings = v;
        } else if (a == "--id") {
            ok = i + 1 < argc;
            if (ok) {
                const auto id = device::protocol::ParseDeviceIdText(argv[++i]);
                ok = id.has_value();
                recorder.info().deviceId = id.value_or(0);
            }
        } else if (a == "--dc-offset") {
            ok = NextInt(argc, argv, i, v) && v >= -32768 && v <= 32767;
            recorder.info().dcOffset = static_cast<std::int16_t>(v);
        } else if (a == "--checksum-errors") {
            ok = NextInt(argc, argv, i, v) && v >= 0;
            recorder.faults().checksumErrors = static_cast<int>(v);
        } else if (a == "--stall-after") {
            ok = NextInt(argc, argv, i, v) && v >= 0;
            recorder.faults().stallAfterBytes = static_cast<int>(v);
        } else if (a == "--short-reads") {
            ok = NextInt(argc, argv, i, v) && v > 0;
            recorder.faults().shortReadChunk = static_cast<std::size_t>(v);
        } else if (a == "--info-bytes") {
            ok = NextInt(argc, argv, i, v) && v >= 0 && v <= 256;
            recorder.faults().infoAnswerBytes = static_cast<int>(v);
        } else if (a == "--claim-sample-bytes") {
            ok = i + 1 < argc && ParseClaim(argv[++i], claim);
        } else if (a == "--lose-request") {
            ok = NextInt(argc, argv, i, v) && v >= 0;
            recorder.faults().lostRequest = static_cast<int>(v);
        } else if (a == "--send-baud") {
            ok = NextInt(argc, argv, i, v) && v > 0 && v <= 3000000;
            recorder.faults().sendBaud = static_cast<std::uint32_t>(v);
        } else if (a == "--ignore-stream-stops") {
            ok = NextInt(argc, argv, i, v) && v >= 0;
            recorder.faults().ignoredStreamStops = static_cast<int>(v);
        } else if (a == "--no-answer") {
            recorder.faults().noAnswer = true;
        } else if (a == "--refuse-fast-link") {
            recorder.faults().refuseFastLink = true;
        } else if (a == "--refuse-boot-mode") {
            recorder.faults().refuseBootMode = true;
        } else if (a == "--in-boot-loader") {
            recorder.EnterBootLoader();
        } else if (a == "--fail-verify") {
            recorder.faults().failVerify = true;
        } else if (a == "--refuse-block") {
            ok = NextInt(argc, argv, i, v) && v >= 0;
            recorder.faults().refuseBlock = static_cast<int>(v);
        } else if (a == "--refuse-page") {
            ok = NextInt(argc, argv, i, v) && v >= 0 && v <= 255;
            recorder.faults().refusePage = static_cast<int>(v);
        } else if (a == "--silent-after-reset") {
            recorder.faults().silentAfterReset = true;
        } else if (a == "--ignore-reset") {
            recorder.faults().ignoreReset = true;
        } else if (a == "--refuse-erase") {
            recorder.faults().refuseErase = true;
        } else if (a == "--answer-twice") {
            recorder.faults().answerTwice = true;
        } else if (a == "--answer-delay") {
            ok = NextInt(argc, argv, i, v) && v >= 0 && v <= 60000;
            recorder.faults().answerDelayMs = v;
        } else if (a == "--flash-out") {
            ok = i + 1 < argc;
            if (ok)
                flashOutPath = argv[++i];
        } else if (a == "--unplug-after") {
            ok = NextInt(argc, argv, i, v) && v >= 0;
            unplugAfter = v;
        } else if (a == "--no-speed-check") {
            checkSpeed = false;
        } else if (a == "--log") {
            ok = i + 1 < argc;
            if (ok)
                logPath = argv[++i];
        } else if (a == "--stream-log") {
            ok = i + 1 < argc;
            if (ok)
                streamLogPath = argv[++i];
        } else if (a == "--plain") {
            ok = NextInt(argc, argv, i, v) && v >= 0 && v <= 65535;
            plain = v;
        } else if (a == "--same-time") {
            sameTime = true;
        } else if (a == "--extra-bytes") {
            ok = NextInt(argc, argv, i, v) && v >= 0;
            recorder.storage().extraStoredBytes = static_cast<std::uint32_t>(v);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "recorder-sim: bad option \"%s\"\n\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (plain >= 0)
        sim::FillPlainRecordings(recorder, static_cast<int>(plain), 2, sameTime);
    else
        recorder.recordings() = sim::DemoRecordings(recorder.info(), static_cast<int>(recordings));
    if (claim.recording >= 0) {
        if (static_cast<std::size_t>(claim.recording) >= recorder.recordings().size()) {
            std::fprintf(stderr, "recorder-sim: no recording %ld to give a false header\n", claim.recording);
            return 2;
        }
        recorder.recordings()[static_cast<std::size_t>(claim.recording)].claimedSampleBytes =
            static_cast<std::uint32_t>(claim.sampleBytes);
    }
    std::FILE* log = nullptr;
    if (!logPath.empty()) {
        log = std::fopen(logPath.c_str(), "a");
        if (!log) {
            std::fprintf(stderr, "recorder-sim: cannot open the log \"%s\": %s\n", logPath.c_str(), std::strerror(errno));
            return 1;
        }
        recorder.SetFrameLog([log](const std::string& line) {
            std::fprintf(log, "%s\n", line.c_str());
            std::fflush(log);
        });
    }
    if (!streamLogPath.empty()) {
        std::FILE* streamLog = std::fopen(streamLogPath.c_str(), "a");
        if (!streamLog) {
            std::fprintf(stderr, "recorder-sim: cannot open the stream log \"%s\": %s\n", streamLogPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
        recorder.SetStreamLog([streamLog](const std::int16_t* samples, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i)
                std::fprintf(streamLog, "%d\n", samples[i]);
            std::fflush(streamLog);
        });
    }

    if (!flashOutPath.empty()) {
        recorder.SetOnReset([flashOutPath](const std::vector<std::uint8_t>& flashed, bool verified) {
            if (!verified)
                return;  // an unverified image is no flashed firmware
            const std::string part = flashOutPath + ".part";
            std::FILE* f = std::fopen(part.c_str(), "wb");
            bool written = f && std::fwrite(flashed.data(), 1, flashed.size(), f) == flashed.size();
            if (f)
                written = std::fclose(f) == 0 && written;
            if (!written || std::rename(part.c_str(), flashOutPath.c_str()) != 0)
                std::fprintf(stderr, "recorder-sim: cannot write \"%s\"\n", flashOutPath.c_str());
        });
    }

    sim::PtyRecorderServer server(recorder);
    server.SetCheckSpeed(checkSpeed);
    std::string error;
    if (!server.Open(&error)) {
        std::fprintf(stderr, "recorder-sim: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("%s\n", server.path().c_str());
    std::fflush(stdout);

    while (!g_stop.load()) {
        server.ServeOnce(20);
        if (unplugAfter >= 0 && clock() >= unplugAfter) {
            server.Unplug();
            unplugAfter = -1;
        }
    }
    return 0;
}
