#pragma once
#include <QString>

// Messages the program shows beyond its text table (English in every language): situations the
// table has no words for, shared by the windows and the command line.

// A recorder is attached, but this user may not open its bridge; names the remedy.
QString DeviceAccessDeniedText();

// The live view has the recorder streaming; it takes no other command until Stop.
QString DeviceStreamingText();
