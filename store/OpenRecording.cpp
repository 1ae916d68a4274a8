#include "store/OpenRecording.h"

#include "store/SideFiles.h"

EdfProblem OpenRecording(const QString& path, const AnalyseHook& analyse, bool keep256, OpenedRecording& out)
{
    out = OpenedRecording{};
    out.path = path;
    EdfProblem problem = ReadRecording(path, out.record);
    if (!problem.ok()) return problem;

    out.hadBlock = ReadFhrBlock(path, out.block);
    // A downloaded recording whose recorder header is not signed "FH" still
    // carries its block right after the data: refresh that one instead of
    // appending a second block that would hide the recorder's findings.
    if (!out.hadBlock) out.hadBlock = ReadTrailingBlock(path, out.block);
    if (!out.hadBlock) out.block = FHR_BLOCK{};
    const int pauseThreshold = out.hadBlock ? out.block.Bytes[DEVICE_RECORD_HEADER::PauseThreshold] : 2;
    if (analyse) {
        out.results = analyse(out.record, pauseThreshold);
        out.analysed = true;
    }
    EDF_CHANNEL& channel1 = out.record.Channels[0];
    out.fileRate = channel1.SampleRate;
    if (channel1.SampleRate == 256 && !keep256) DecimateTo128(channel1);
    ReadParFile(path);
    if (out.analysed) out.writeProblem = UpdateFhrBlock(path, out.block, out.hadBlock, out.results);
    return {};
}
