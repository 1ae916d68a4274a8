#include "tools/cli/RecordingInput.h"

namespace cli {

bool ReadRecordingOrSay(const QString& path, EDF_RECORD& record, QTextStream& err)
{
    const EdfProblem problem = ReadRecording(path, record);
    if (!problem.ok())
        err << path << ": " << problem.message() << "\n";
    return problem.ok();
}

}  // namespace cli
