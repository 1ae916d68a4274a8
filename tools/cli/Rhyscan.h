#pragma once
#include <QStringList>
#include <QTextStream>

// The rhythm analyser the manager starts for each opened recording: reads
// FILE.edf, analyses every beat and writes FILE.atr beside it (beat codes
// normal 1, ventricular 5, atrial premature 8, unclassifiable 13). A file
// that is not a readable recording is refused on err with exit status 1 and
// nothing is written; a usage error gives 2.
namespace cli {
int RunRhyscan(const QStringList& args, QTextStream& out, QTextStream& err);
}  // namespace cli
