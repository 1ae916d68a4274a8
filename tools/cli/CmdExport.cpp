#include "tools/cli/Commands.h"

#include "store/EdfRecord.h"
#include "store/EdfWriter.h"
#include "store/FhrBlock.h"

#include <QFile>

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

}  // namespace

int RunExport(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const char* usage = "Usage: ecg-cli export FILE.edf --edf OUT.edf\n";
    QString input, output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == "--edf" && i + 1 < args.size()) output = args[++i];
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
    EDF_RECORD record;
    EdfProblem problem = ReadRecording(input, record);
    if (!problem.ok()) {
        err << input << ": " << problem.message() << "\n";
        return 1;
    }
    uint32_t deviceNumber = 0;
    const bool hasDevice = deviceNumberOf(input, deviceNumber);
    problem = WritePlainEdf(output, record, deviceNumber, hasDevice);
    if (!problem.ok()) {
        err << output << ": " << problem.message() << "\n";
        return 1;
    }
    out << "Wrote " << output << " (" << record.Channels[0].SampleCount << " samples at "
        << record.Channels[0].SampleRate << " per second)\n";
    return 0;
}
}  // namespace cli
