#pragma once
#include "sim/recorder/SimulatedRecorder.h"

// Recorder contents for download tests, the fault campaign and the benchmark:
// cheap recordings (a plain wave, no synthesis) in any number, with distinct
// or shared time stamps.

namespace sim {

// Recording number `index` of a series: starts on 21 May 2013 at 08:00:00 plus index x 97 seconds
// (distinct times across hours and days), or at 08:00:00 for every index when sameTime.
SimRecording PlainRecording(const device::protocol::DEVICE_INFO_BLOCK& recorder, int index, int seconds = 2,
                            int sampleRate = 256, bool sameTime = false);

// Replaces the recorder's recordings with `count` plain ones.
void FillPlainRecordings(SimulatedRecorder& recorder, int count, int seconds = 2, bool sameTime = false);

}  // namespace sim
