#pragma once
#include "signal/EveryBeat.h"
#include "signal/MitAnnotations.h"
#include "store/EdfProblem.h"
#include "store/EdfRecord.h"

#include <QString>
#include <optional>
#include <vector>

// The analyser's annotation file beside a recording: the recording path
// without its last four characters (".edf"), followed by ".atr".
QString AnnotationPath(const QString& recordingPath);

// Reads an annotation file; nothing when it cannot be opened (not written
// yet, or the analyser failed). A file cut short gives what it holds.
std::optional<ecg::MitAnnotationRead> ReadMitAnnotationFile(const QString& path);

// Writes annotations so that the file appears complete or not at all.
EdfProblem WriteMitAnnotationFile(const QString& path, const std::vector<ecg::MitAnnotation>& annotations);

// One annotation per analysed beat, with its beat code, in sample order.
std::vector<ecg::MitAnnotation> BeatAnnotations(const std::vector<ecg::TypedBeat>& beats);

// Every beat of a recording read from `path` (channel 1), analysed with the
// pause threshold of the file's analysis block (2 s without one).
std::vector<ecg::TypedBeat> EveryBeatOfRecording(const QString& path, const EDF_RECORD& record);
