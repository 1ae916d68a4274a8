#include "display/ChartState.h"

namespace viewer {

bool ZoomIn(ChartDisplayState& s)
{
    if (s.ChartGain >= kMaxGain) return false;
    s.ChartGain += 1.0f;
    return true;
}

bool ZoomOut(ChartDisplayState& s)
{
    if (s.ChartGain <= kMinGain) return false;
    s.ChartGain -= 1.0f;
    return true;
}

bool Recover(ChartDisplayState& s)
{
    s.ChartGain = kStandardGain;
    return true;
}

bool ToggleColour(ChartDisplayState& s)
{
    s.ChartColour = s.ChartColour == QLatin1String("1") ? QStringLiteral("0") : QStringLiteral("1");
    return true;
}

int32_t NextDisplayMode(ChartDisplayState& s)
{
    if (s.ChartMode > 7) s.ChartMode = 6;
    return ++s.ChartMode;
}

float NextPenWidth(ChartDisplayState& s)
{
    const float next = s.TracePenWidth + 0.2f;
    s.TracePenWidth = next > 4.0f ? 1.0f : next;
    return s.TracePenWidth;
}

int NextPlusCounter(int counter)
{
    const int next = counter + 10;
    return next > 100 ? 0 : next;
}

}  // namespace viewer
