#pragma once
#include "store/EdfRecord.h"
#include <QString>
#include <QTextStream>

namespace cli {
// Reads a recording for a command; a refused file is named with the reason on err. True when read.
bool ReadRecordingOrSay(const QString& path, EDF_RECORD& record, QTextStream& err);
}  // namespace cli
