#include "tools/cli/Commands.h"
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char* const kUsage =
    "Usage: ecg-cli COMMAND [OPTIONS] ...\n"
    "\n"
    "Headless tools of the Talmon ECG Manager.\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE...              print the header, channels and analysis block of recordings\n"
    "  export FILE.edf --edf OUT.edf [--beats]\n"
    "                                     write a plain EDF copy (EDF+ with the beats) for other readers\n"
    "  analyse [--json] [--beats] [--update] FILE...\n"
    "                                     run the beat analysis and print heart rate and findings\n"
    "  batch DATA_FOLDER                  compare the recorder's and the manager's findings\n"
    "  annotations FILE.atr [--json] [--rate N]\n"
    "                                     list sample, time, code and mnemonic of every annotation\n"
    "  device info [--link demo|serial:PATH|hid] [--json]\n"
    "                                     read the recorder's information block\n"
    "  device download [--link demo|serial:PATH|hid] --data-folder DIR [--erase] [--json]\n"
    "                                     bring every recording home into the data folder\n"
    "  device stream [--link demo|serial:PATH|hid] --seconds N [--csv OUT]\n"
    "                                     receive the recorder's live signal (index,value)\n"
    "  device settings [--link ...] [SETTING...] [--default] [--json]\n"
    "                                     check and write the recorder's settings; a SETTING is\n"
    "                                     --clock now|\"YYYY-MM-DD hh:mm:ss\", --key-beep on|off,\n"
    "                                     --heart-beep on|off, --tachycardia N, --bradycardia N,\n"
    "                                     --pause N or --sensitivity low|medium|high\n"
    "  device flash [--link ...] [--json] IMAGE\n"
    "                                     write a firmware image into the recorder\n"
    "  firmware check [--json] IMAGE      check a firmware image file (length, checksum)\n"
    "  firmware fetch [--server HOST[:PORT]] [--settings DIR] --out FILE\n"
    "                                     download the firmware image the update server offers\n"
    "  chart FILE.edf --png OUT.png [--gain 1-6] [--colour pink|green] [--annotations FILE.atr]\n"
    "                                     draw the recording's chart as the window shows it\n"
    "  filter FILE.edf --csv OUT.csv [--lowcut on|off] [--highcut 1-4] [--notch on|off]\n"
    "                                     write the display-filtered samples\n"
    "  upload [--server HOST[:PORT]] [--settings DIR] [--account NAME] FILE.edf...\n"
    "                                     send recordings to the web service; further options:\n"
    "                                     --password-file FILE|-, --delete-after,\n"
    "                                     --overwrite yes|no, --json\n"
    "  report FILE.edf... --pdf OUT.pdf [--gain 1-6] [--language ID]\n"
    "                                     print one A4 report page per recording into a PDF\n"
    "\n"
    "Options:\n"
    "  --help       show this text\n"
    "  --version    show the program version\n";

}  // namespace

int main(int argc, char** argv)
{
    // Drawing needs fonts, hence the GUI application, on the offscreen platform (no display needed).
    const bool paints = argc > 1 && (std::strcmp(argv[1], "chart") == 0 || std::strcmp(argv[1], "report") == 0);
    if (paints) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app(paints ? new QGuiApplication(argc, argv) : new QCoreApplication(argc, argv));
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
    if (command == "annotations") return cli::RunAnnotations(args, out, err);
    if (command == "chart") return cli::RunChart(args, out, err);
    if (command == "filter") return cli::RunFilter(args, out, err);
    if (command == "upload") return cli::RunUpload(args, out, err);
    if (command == "report") return cli::RunReport(args, out, err);
    if (command == "firmware" && args.value(0) == "fetch") return cli::RunFirmwareFetch(args.mid(1), out, err);
    if (command == "firmware" && args.value(0) == "check") return cli::RunFirmwareCheck(args.mid(1), out, err);
    err << "Unknown command \"" << command << "\".\n\n" << kUsage;
    return 2;
}
