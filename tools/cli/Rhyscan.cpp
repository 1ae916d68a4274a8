#include "tools/cli/RecordingInput.h"
#include "tools/cli/Rhyscan.h"

#include "store/AnnotationFile.h"
#include "store/EdfRecord.h"

#include <QFileInfo>

namespace cli {

int RunRhyscan(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.size() != 1 || args[0].startsWith("-")) {
        err << "Usage: rhyscan FILE.edf\n"
               "Analyses every beat of the recording and writes the beats to FILE.atr\n"
               "(MIT annotation format: N normal, V ventricular, A atrial premature, Q unclassifiable).\n";
        return 2;
    }
    const QString input = args[0];
    // The annotation file takes the recording's name with ".atr" in place of
    // ".edf": any other name would put it beside the wrong name, or over the
    // input itself when that is called ".atr".
    if (!input.endsWith(QLatin1String(".edf"), Qt::CaseInsensitive)) {
        err << input << ": not a recording file (its name must end in \".edf\").\n";
        return 1;
    }
    EDF_RECORD record;
    if (!ReadRecordingOrSay(input, record, err))
        return 1;
    const std::vector<ecg::TypedBeat> beats = EveryBeatOfRecording(input, record);
    // The recording may have been deleted while it was analysed: then its
    // annotations are not wanted either.
    if (!QFileInfo::exists(input)) {
        err << input << ": the recording is gone.\n";
        return 1;
    }
    const QString output = AnnotationPath(input);
    const EdfProblem written = WriteMitAnnotationFile(output, BeatAnnotations(beats));
    if (!written.ok()) {
        err << output << ": " << written.message() << "\n";
        return 1;
    }
    out << "Wrote " << output << " (" << beats.size() << " beats)\n";
    return 0;
}

}  // namespace cli
