#include "tools/cli/Rhyscan.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args == QStringList{QStringLiteral("--version")}) {
        out << "rhyscan (Talmon ECG Manager) " << TALMON_VERSION << '\n';
        return 0;
    }
    if (args == QStringList{QStringLiteral("--help")}) {
        // The usage text is what a wrong call prints; here it is asked for.
        cli::RunRhyscan({}, out, out);
        return 0;
    }
    return cli::RunRhyscan(args, out, err);
}
