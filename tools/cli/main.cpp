#include "tools/cli/Commands.h"
#include <QCoreApplication>
#include <cstdio>

namespace {

const char* const kUsage =
    "Usage: ecg-cli COMMAND [OPTIONS] ...\n"
    "\n"
    "Headless tools of the Talmon ECG Manager.\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE...              print the header, channels and analysis block of recordings\n"
    "  export FILE.edf --edf OUT.edf      write a plain EDF copy that other EDF readers accept\n"
    "  analyse [--json] [--beats] [--update] FILE...\n"
    "                                     run the beat analysis and print heart rate and findings\n"
    "  batch DATA_FOLDER                  compare the recorder's and the manager's findings\n"
    "  device info [--link demo|serial:PATH|hid] [--json]\n"
    "  device download [--link demo|serial:PATH|hid] --data-folder DIR [--erase] [--json]\n"
    "                                     read the recorder's information block\n"
    "  device settings [--link ...] [--clock now|\"YYYY-MM-DD hh:mm:ss\"] [--key-beep on|off]\n"
    "        [--heart-beep on|off] [--tachycardia N] [--bradycardia N] [--pause N]\n"
    "        [--sensitivity low|medium|high] [--default] [--json]\n"
    "                                     check and write the recorder's settings\n"
    "\n"
    "Options:\n"
    "  --help       show this text\n"
    "  --version    show the program version\n";

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("ecg-cli");
    QCoreApplication::setApplicationVersion(TALMON_VERSION);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        err << kUsage;
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "--version") {
        out << "ecg-cli (Talmon ECG Manager) " << TALMON_VERSION << "\n";
        return 0;
    }
    if (command == "info") return cli::RunInfo(args, out, err);
    if (command == "export") return cli::RunExport(args, out, err);
    if (command == "analyse" || command == "analyze") return cli::RunAnalyse(args, out, err);
    if (command == "batch") return cli::RunBatch(args, out, err);
    if (command == "device") return cli::RunDevice(args, out, err);
    err << "Unknown command \"" << command << "\".\n\n" << kUsage;
    return 2;
}
