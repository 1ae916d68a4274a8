#include "sim/recorder/DownloadScenarios.h"
#include "device/protocol/RecordHeader.h"

namespace sim {

using namespace device::protocol;

SimRecording PlainRecording(const DEVICE_INFO_BLOCK& recorder, int index, int seconds, int sampleRate, bool sameTime)
{
    SimRecording r;
    const int count = seconds * sampleRate;
    r.samples.resize(static_cast<std::size_t>(count));
    // A saw-tooth that differs per recording, so two recordings never have the same bytes.
    for (int i = 0; i < count; ++i)
        r.samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(2048 + ((i * 7 + index * 13) % 400) - 200);
    const long long at = sameTime ? 0 : static_cast<long long>(index) * 97;
    const long long secondOfDay = 8 * 3600 + at % (16 * 3600);
    const int day = 21 + static_cast<int>((at / (16 * 3600)) % 7);
    RecordHeaderFields f;
    f.deviceNumber = recorder.deviceId;
    f.bcdYear = ToBcd(13);
    f.bcdMonth = ToBcd(5);
    f.bcdDay = ToBcd(day);
    f.bcdHour = ToBcd(static_cast<int>(secondOfDay / 3600));
    f.bcdMinute = ToBcd(static_cast<int>(secondOfDay / 60 % 60));
    f.bcdSecond = ToBcd(static_cast<int>(secondOfDay % 60));
    f.sampleRate = static_cast<std::uint16_t>(sampleRate);
    f.digMin = 0;
    f.digMax = 4095;
    f.physMin = -11008;
    f.physMax = 11008;
    f.sampleBytes = static_cast<std::uint32_t>(count * 2);
    WriteWireHeader(r.wireHeader, f);
    r.wireHeader[rec::HeartRate] = 72;
    r.wireHeader[rec::Tachycardia] = recorder.tachycardia;
    r.wireHeader[rec::Bradycardia] = recorder.bradycardia;
    r.wireHeader[rec::PauseThreshold] = recorder.pause;
    std::array<std::vector<std::uint16_t>, RecorderSeries> series;
    series[0] = {833, 830, 840};
    r.annotation = BuildAnnotationBlock(series);
    return r;
}

void FillPlainRecordings(SimulatedRecorder& recorder, int count, int seconds, bool sameTime)
{
    recorder.recordings().clear();
    recorder.recordings().reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        recorder.recordings().push_back(PlainRecording(recorder.info(), i, seconds, 256, sameTime));
}

}  // namespace sim
