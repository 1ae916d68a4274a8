#pragma once
#include <QStringList>
#include <QTextStream>

// The headless command line's commands. Each takes the arguments after its
// own name, writes results to out and problems to err, and returns the
// process exit status (0 = success).
namespace cli {
int RunInfo(const QStringList& args, QTextStream& out, QTextStream& err);
int RunExport(const QStringList& args, QTextStream& out, QTextStream& err);
int RunAnalyse(const QStringList& args, QTextStream& out, QTextStream& err);
int RunBatch(const QStringList& args, QTextStream& out, QTextStream& err);
int RunDevice(const QStringList& args, QTextStream& out, QTextStream& err);
int RunAnnotations(const QStringList& args, QTextStream& out, QTextStream& err);
int RunChart(const QStringList& args, QTextStream& out, QTextStream& err);
int RunFilter(const QStringList& args, QTextStream& out, QTextStream& err);
int RunUpload(const QStringList& args, QTextStream& out, QTextStream& err);
int RunReport(const QStringList& args, QTextStream& out, QTextStream& err);
int RunDeviceSettings(const QStringList& args, QTextStream& out, QTextStream& err);
// device download: the arguments after "download".
int RunDeviceDownload(const QStringList& args, QTextStream& out, QTextStream& err);
// firmware fetch: the arguments after "fetch".
int RunFirmwareFetch(const QStringList& args, QTextStream& out, QTextStream& err);
// device flash: the arguments after "flash".
int RunDeviceFlash(const QStringList& args, QTextStream& out, QTextStream& err);
// firmware check: the arguments after "check".
int RunFirmwareCheck(const QStringList& args, QTextStream& out, QTextStream& err);
// device stream: the arguments after "stream".
int RunDeviceStream(const QStringList& args, QTextStream& out, QTextStream& err);
}  // namespace cli
