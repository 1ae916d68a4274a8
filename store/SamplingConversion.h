#pragma once
#include "store/EdfProblem.h"

#include <QString>
#include <cstdint>
#include <vector>

// Resamples in place to a lower rate by linear interpolation in integer
// arithmetic; returns the new sample count. A higher target rate changes
// nothing and returns 0; equal rates return the count unchanged.
int ResampleLinear(int fromRate, int toRate, std::vector<int16_t>& samples);

// The output path of the engineering conversion: beside the chosen file,
// "-256" added before the extension ("a/100.edf" -> "a/100-256.edf").
QString ConvertedPath(const QString& chosenPath);

// The hidden engineering conversion: reads an EDF file, resamples channel 1
// to 256 samples per second and writes it beside the chosen file (see
// ConvertedPath) with an empty analysis block. Files below 256 samples per
// second are refused. On success `outputPath` names the new file.
EdfProblem ConvertTo256(const QString& chosenPath, QString* outputPath = nullptr);
