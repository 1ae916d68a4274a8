#include "tools/cli/Rhyscan.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return cli::RunRhyscan(QCoreApplication::arguments().mid(1), out, err);
}
