#include "lang/ProgramTexts.h"

#include "lang/Words.h"

QString DeviceAccessDeniedText()
{
    return WordOf(Word::DeviceAccessDenied);
}

QString DeviceStreamingText()
{
    return WordOf(Word::DeviceStreaming);
}

QString DeviceStreamNotStoppedText()
{
    return WordOf(Word::DeviceStreamNotStopped);
}

QString DeviceWaitsInBootLoaderText()
{
    return WordOf(Word::DeviceWaitsInBootLoader);
}
