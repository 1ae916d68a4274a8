#include "tools/cli/RecordingInput.h"
#include "tools/cli/Commands.h"
#include "tools/cli/Rhyscan.h"

#include "store/EdfRecord.h"
#include "store/EdfRecordDuration.h"
#include "store/EdfWriter.h"
#include "store/FhrBlock.h"
#include "store/AnnotationFile.h"
#include "signal/MitAnnotations.h"

#include <QFile>

#include <sys/stat.h>

namespace cli {
namespace {

// The device number: from the analysis block, else from the EDF reserved
// field where the download writes it as 8 hexadecimal digits.
bool deviceNumberOf(const QString& path, uint32_t& number)
{
    FHR_BLOCK block;
    if (ReadFhrBlock(path, block)) {
        number = block.header().deviceNumber();
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(480)) return false;
    const QByteArray field = file.read(8);
    bool ok = false;
    number = field.toUInt(&ok, 16);
    return ok && field.size() == 8;
}

// Whether two names reach the same file (another spelling, a symbolic or a
// hard link). A name that does not exist yet is a new file.
bool SameFile(const QString& a, const QString& b)
{
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

int RunExport(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const char* usage =
        "Usage: ecg-cli export FILE.edf --edf OUT.edf [--beats]\n"
        "  --beats   write EDF+ with one annotation per detected beat (N normal, V ventricular,\n"
        "            A atrial premature, Q unclassifiable)\n";
    QString input, output;
    bool beats = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == "--edf" && i + 1 < args.size()) output = args[++i];
        else if (args[i] == "--beats") beats = true;
        else if (!args[i].startsWith("--") && input.isEmpty()) input = args[i];
        else {
            err << "Unexpected argument \"" << args[i] << "\".\n" << usage;
            return 2;
        }
    }
    if (input.isEmpty() || output.isEmpty()) {
        err << usage;
        return 2;
    }
    // Writing over the recording itself would replace it, analysis block and
    // all, by the copy: refused however the same file is named.
    if (SameFile(input, output)) {
        err << output << ": is the recording itself; choose another output file.\n";
        return 1;
    }
    EDF_RECORD record;
    if (!ReadRecordingOrSay(input, record, err))
        return 1;
    uint32_t deviceNumber = 0;
    const bool hasDevice = deviceNumberOf(input, deviceNumber);
    std::vector<EdfAnnotation> annotations;
    if (beats) {
        const EDF_CHANNEL& ch = record.Channels[0];
        for (const rhy::CodedBeat& b : RhyscanBeats(input, record))
            annotations.push_back({static_cast<double>(b.sample) / ch.SampleRate,
                                   QString::fromStdString(ecg::MitMnemonic(b.code))});
    }
    const EdfProblem problem = WriteExportEdf(output, record, deviceNumber, hasDevice, beats ? &annotations : nullptr);
    if (!problem.ok()) {
        err << output << ": " << problem.message() << "\n";
        return 1;
    }
    const EDF_CHANNEL& ch = record.Channels[0];
    const EdfRecordLayout layout = ChooseRecordLayout(static_cast<qint64>(ch.Samples.size()), ch.SampleRate);
    out << "Wrote " << output << " (" << layout.samplesWritten << " samples at " << ch.SampleRate << " per second";
    if (layout.samplesWritten < static_cast<qint64>(ch.Samples.size()))
        out << "; the last " << static_cast<qint64>(ch.Samples.size()) - layout.samplesWritten << " of "
            << ch.Samples.size() << " left out: no EDF record of an exact duration holds them all";
    if (beats) out << ", " << annotations.size() << " beat annotations";
    out << ")\n";
    return 0;
}
}  // namespace cli
