#pragma once
#include "tools/rhyscan/BeatClassifier.h"

#include <QStringList>
#include <QTextStream>

#include <vector>

struct EDF_RECORD;

// The rhythm analyser the manager starts for each opened recording: reads
// FILE.edf, finds and classifies every beat and writes FILE.atr beside it
// (MIT beat codes normal 1, supraventricular ectopic 8, ventricular ectopic 5,
// fusion 6, unclassifiable 13). A file that is not a readable recording is
// refused on err with exit status 1 and nothing is written; a usage error
// gives 2.
namespace cli {
int RunRhyscan(const QStringList& args, QTextStream& out, QTextStream& err);

// rhyscan's beats of a read recording (channel 1) at `path`.
std::vector<rhy::CodedBeat> RhyscanBeats(const QString& path, const EDF_RECORD& record);
}  // namespace cli
