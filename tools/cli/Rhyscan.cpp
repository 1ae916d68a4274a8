#include "tools/cli/RecordingInput.h"
#include "tools/cli/Rhyscan.h"

#include "store/AnnotationFile.h"
#include "store/EdfRecord.h"
#include "store/FhrBlock.h"
#include "store/RecordingAnalysis.h"

#include <QFileInfo>

namespace cli {

std::vector<rhy::CodedBeat> RhyscanBeats(const QString& path, const EDF_RECORD& record)
{
    if (record.Channels.empty()) return {};
    FHR_BLOCK block;
    const bool hadBlock = ReadBlockForAnalysis(path, block);
    const EDF_CHANNEL& ch = record.Channels[0];
    return rhy::ClassifyBeats(ch.Samples, ch.SampleRate, ch.DigMin, ch.DigMax, PauseThresholdOf(block, hadBlock));
}

int RunRhyscan(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.size() != 1 || args[0].startsWith("-")) {
        err << "Usage: rhyscan FILE.edf\n"
               "Analyses every beat of the recording and writes the beats to FILE.atr\n"
               "(MIT annotation format: N normal, A supraventricular ectopic, V ventricular ectopic,\n"
               "F fusion, Q unclassifiable).\n";
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
    const std::vector<rhy::CodedBeat> beats = RhyscanBeats(input, record);
    // The recording may have been deleted while it was analysed: then its
    // annotations are not wanted either.
    if (!QFileInfo::exists(input)) {
        err << input << ": the recording is gone.\n";
        return 1;
    }
    const QString output = AnnotationPath(input);
    std::vector<ecg::MitAnnotation> annotations(beats.size());
    for (size_t b = 0; b < beats.size(); ++b) {
        annotations[b].sample = beats[b].sample;
        annotations[b].code = beats[b].code;
    }
    const EdfProblem written = WriteMitAnnotationFile(output, annotations);
    if (!written.ok()) {
        err << output << ": " << written.message() << "\n";
        return 1;
    }
    out << "Wrote " << output << " (" << beats.size() << " beats)\n";
    return 0;
}

}  // namespace cli
