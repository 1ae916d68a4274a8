#include "net/NetLog.h"

Q_LOGGING_CATEGORY(talmonNet, "talmon.net", QtWarningMsg)
