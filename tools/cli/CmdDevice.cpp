#include "tools/cli/Commands.h"

namespace cli {
int RunDevice(const QStringList&, QTextStream&, QTextStream& err)
{
    err << "This command is not available in this build.\n";
    return 2;
}
}  // namespace cli
