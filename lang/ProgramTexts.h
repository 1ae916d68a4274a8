#pragma once
#include <QString>

// Messages shared by the windows and the command line, in the current language
// (English on the command line, which chooses none).

// A recorder is attached, but this user may not open its bridge; names the remedy.
QString DeviceAccessDeniedText();

// The live view has the recorder streaming; it takes no other command until Stop.
QString DeviceStreamingText();

// A stop of the live stream that the recorder's line did not show to work, though sent twice.
QString DeviceStreamNotStoppedText();

// A recorder a failed firmware upgrade left in its boot loader: only upgrading again makes it usable.
QString DeviceWaitsInBootLoaderText();
