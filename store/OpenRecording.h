#pragma once
#include "store/EdfRecord.h"
#include "store/FhrBlock.h"

#include <functional>

// The beat analysis as the store sees it: given the recording (channel 1 at
// 128 or 256 samples per second, not yet decimated) and the pause threshold
// in whole seconds, returns the manager's results. The analysis module fills
// this seam; the store itself never analyses.
using AnalyseHook = std::function<ManagerResults(const EDF_RECORD& record, int pauseThresholdSeconds)>;

// The recording that is open in the window, with its block as stored.
struct OpenedRecording {
    QString path;
    EDF_RECORD record;        // channel 1 possibly decimated to 128/s for display
    int fileRate = 0;         // channel 1's rate in the file, before any decimation
    FHR_BLOCK block;          // the block as written back (or as read when not written)
    bool hadBlock = false;    // the file carried an analysis block before opening
    ManagerResults results;   // what the analysis returned (defaults without analysis)
    bool analysed = false;    // the analysis ran and the block was updated
    EdfProblem writeProblem;  // rewriting the file failed (the view still works)
};

// Loads a recording and brings its block up to date: reads the file (refusing
// malformed files and rates other than 128/256 without touching them), reads
// the block (a signed one, or the unsigned block of a downloaded file), runs `analyse` with the pause threshold of the block (2 s
// without one), decimates a 256/s channel 1 to 128/s unless `keep256` is
// set, reads the legacy parameter file, and rewrites the file with the
// results. Without an analysis hook the file is not rewritten.
EdfProblem OpenRecording(const QString& path, const AnalyseHook& analyse, bool keep256,
                         OpenedRecording& out);
