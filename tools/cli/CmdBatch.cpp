#include "store/RecordingAnalysis.h"
#include "tools/cli/Commands.h"

#include <QFileInfo>

namespace cli {

int RunBatch(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.size() != 1 || args.front().startsWith(QLatin1String("--"))) {
        err << "Usage: ecg-cli batch DATA_FOLDER\n";
        return 2;
    }
    const QString folder = args.front();
    if (!QFileInfo(folder).isDir()) {
        err << "\"" << folder << "\" is not a folder.\n";
        return 1;
    }
    const BatchRun run = RunBatchComparison(folder);
    for (const QString& refused : run.refused) err << refused << "\n";
    for (const auto& [label, count] : ecg::BatchLabels(run.tally))
        out << QString::fromStdString(label) << " " << count << "\n";
    out.flush();
    return 0;
}

}  // namespace cli
