#pragma once
#include <QLoggingCategory>

// Diagnostics of the network side ("talmon.net"); switch on with
// QT_LOGGING_RULES="talmon.net.debug=true". Passwords never go here.
Q_DECLARE_LOGGING_CATEGORY(talmonNet)
