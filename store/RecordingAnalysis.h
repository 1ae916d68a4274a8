#pragma once
#include "signal/BatchComparison.h"
#include "signal/BeatAnalysis.h"
#include "store/EdfProblem.h"
#include "store/EdfRecord.h"
#include "store/FhrBlock.h"
#include "store/OpenRecording.h"

#include <QStringList>

// The manager's beat analysis applied to an open recording: channel 1 at 128
// samples per second, or the even samples of a 256-per-second channel 1.

// Runs the analysis over channel 1. A recording without channel 1 or with a
// rate other than 128/256 is refused (the problem says why) and `out` is
// left empty; nothing else ever stops the analysis.
EdfProblem AnalyseEdfRecord(const EDF_RECORD& record, int pauseThresholdSeconds, ecg::AnalysisResult& out);

// The file's analysis block as opening would take it: a signed block, or
// the unsigned block right after the data of a recording downloaded but never
// opened. Returns false, with a zeroed block, when the file has none.
bool ReadBlockForAnalysis(const QString& path, FHR_BLOCK& block);

// Pause threshold in whole seconds the analysis uses for a file: the
// recorder's setting from its block, 2 without a block.
int PauseThresholdOf(const FHR_BLOCK& block, bool hadBlock);

// The analysis results in the form the analysis block stores.
ManagerResults ToManagerResults(const ecg::AnalysisResult& result);

// The analysis seam for OpenRecording. The store refuses unsupported rates
// before it calls the hook; should one reach it anyway, the results say
// "noise" (nothing analysable) instead of ending the program.
AnalyseHook RecordingAnalysisHook();

// The recorder's own findings and series as its block holds them.
ecg::RecorderAnalysis RecorderAnalysisOf(const FHR_BLOCK& block);

// Engineering comparison over a data folder: every ".edf" file (any letter
// case) in the tree, hidden entries skipped, is analysed and compared with
// the recorder's results in its block. Files are only read. Files that cannot
// be read are listed in `refused` with the reason and not counted.
struct BatchRun {
    ecg::BatchTally tally;
    QStringList refused;
};
BatchRun RunBatchComparison(const QString& dataFolder);
