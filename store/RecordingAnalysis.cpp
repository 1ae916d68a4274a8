#include "store/RecordingAnalysis.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

EdfProblem AnalyseEdfRecord(const EDF_RECORD& record, int pauseThresholdSeconds, ecg::AnalysisResult& out)
{
    out = ecg::AnalysisResult{};
    EdfProblem rate = CheckRecordingRate(record);
    if (!rate.ok()) return rate;
    const EDF_CHANNEL& channel = record.Channels.front();
    out = ecg::AnalyseRecording(channel.Samples, channel.SampleRate, channel.DigMin, channel.DigMax,
                                pauseThresholdSeconds);
    return {};
}

bool ReadBlockForAnalysis(const QString& path, FHR_BLOCK& block)
{
    if (ReadFhrBlock(path, block) || ReadTrailingBlock(path, block)) return true;
    block = FHR_BLOCK{};
    return false;
}

int PauseThresholdOf(const FHR_BLOCK& block, bool hadBlock)
{
    return hadBlock ? block.Bytes[DEVICE_RECORD_HEADER::PauseThreshold] : 2;
}

ManagerResults ToManagerResults(const ecg::AnalysisResult& r)
{
    ManagerResults m;
    m.HeartRate = r.findings.heartRate;
    m.RhythmFinding = r.findings.rhythm;
    m.WaveformFinding = r.findings.waveform;
    m.PauseFinding = r.findings.pause;
    m.IrregularFinding = r.findings.irregular;
    m.NoiseFinding = r.findings.noise;
    m.UnstableFinding = r.findings.unstable;
    m.WeakFinding = r.findings.weak;
    m.EctopyGrade = r.findings.ectopyGrade;
    m.beatCount = r.beatCount;
    m.firstValidBeat = r.firstValidBeat;
    m.stableStartBeat = r.stableStartBeat;
    m.beatTime = r.series.beatTime;
    m.beatType = r.series.beatType;
    m.RtoR = r.series.RtoR;
    return m;
}

AnalyseHook RecordingAnalysisHook()
{
    return [](const EDF_RECORD& record, int pauseThresholdSeconds) {
        auto result = std::make_unique<ecg::AnalysisResult>();
        if (!AnalyseEdfRecord(record, pauseThresholdSeconds, *result).ok()) {
            ManagerResults refused;
            refused.NoiseFinding = true;
            return refused;
        }
        return ToManagerResults(*result);
    };
}

ecg::RecorderAnalysis RecorderAnalysisOf(const FHR_BLOCK& block)
{
    ecg::RecorderAnalysis r;
    const auto& b = block.Bytes;
    r.noise = b[DEVICE_RECORD_HEADER::NoiseFinding];
    r.rhythm = b[DEVICE_RECORD_HEADER::RhythmFinding];
    r.waveform = b[DEVICE_RECORD_HEADER::WaveformFinding];
    r.pause = b[DEVICE_RECORD_HEADER::PauseFinding];
    r.signalQuality = b[DEVICE_RECORD_HEADER::SignalQuality];
    for (size_t s = 0; s < r.series.size(); ++s)
        for (size_t i = 0; i < 100; ++i)
            r.series[s][i] = static_cast<int16_t>(block.u16(FHR_BLOCK::RecorderSeries + static_cast<int>(2 * (s * 100 + i))));
    return r;
}

namespace {

void CompareFolder(const QString& folder, BatchRun& run, int depth)
{
    // A folder tree deeper than this is a link loop, not a data folder.
    if (depth > 32) return;
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isHidden()) continue;
        if (entry.isDir()) {
            CompareFolder(entry.absoluteFilePath(), run, depth + 1);
            continue;
        }
        if (entry.suffix().compare(QStringLiteral("edf"), Qt::CaseInsensitive) != 0) continue;
        const QString path = entry.absoluteFilePath();
        EDF_RECORD record;
        EdfProblem problem = ReadRecording(path, record);
        auto manager = std::make_unique<ecg::AnalysisResult>();
        FHR_BLOCK block;
        bool hadBlock = false;
        if (problem.ok()) {
            hadBlock = ReadBlockForAnalysis(path, block);  // zeroed for a foreign file
            problem = AnalyseEdfRecord(record, PauseThresholdOf(block, hadBlock), *manager);
        }
        if (!problem.ok()) {
            run.refused << path + QStringLiteral(": ") + problem.message();
            continue;
        }
        ecg::CompareWithRecorder(RecorderAnalysisOf(block), *manager, run.tally);
    }
}

}  // namespace

BatchRun RunBatchComparison(const QString& dataFolder)
{
    BatchRun run;
    CompareFolder(dataFolder, run, 0);
    return run;
}
