#pragma once
#include <QImage>
#include <QPointF>
#include <QSize>
#include <array>
#include <cstdint>

// The live sweep: the recorder's streamed signal drawn from left to right
// across the chart, 10 seconds per sweep; a new sweep repaints the live grid
// and starts again at the left edge. Draws into its own image, which the
// window shows on the chart surface.

class QPainter;

namespace live {

// Where the display step takes its samples from (the stream ring, in the program).
class SampleSource {
public:
    virtual ~SampleSource() = default;
    // The stream is running; nothing is drawn otherwise.
    virtual bool streaming() const = 0;
    // Whole samples ready to be taken.
    virtual std::uint32_t readableSamples() = 0;
    virtual std::int16_t takeSample() = 0;
};

inline constexpr int kSweepSeconds = 10;
inline constexpr int kStreamRate = 256;
inline constexpr int kSamplesPerSweep = kSweepSeconds * kStreamRate;
// The stream's baseline in recorder units when the recorder names none.
inline constexpr int kDefaultStreamOffset = 2048;

// The live grid on a canvas: white paper, pink minor lines every fifth of a
// major square and red major lines every second (73.3 pixels) and every sixth
// of the 440-pixel height, as laid out for the chart.
void DrawLiveGrid(QPainter& painter, const QRect& clip);

// Chart pixels per recorder unit at a chart gain (2 = 10 mm per millivolt), on a canvas of this height,
// so the sweep has the scale of the recorded chart.
double LivePixelsPerUnit(float gain, int canvasHeight);

class LiveSweep {
public:
    // A fresh canvas with the live grid; the pen waits at the left edge on the baseline.
    explicit LiveSweep(QSize canvas);

    // The stream's baseline (subtracted from every sample) and the vertical scale.
    void setScale(int offsetUnits, double pixelsPerUnit);

    // The display step: draws every whole sample the source has, while it streams. Returns how many
    // were drawn.
    int Step(SampleSource& source);

    const QImage& image() const { return image_; }
    // Samples drawn since the sweep last started at the left edge.
    int sweepPosition() const { return sweepPos_; }
    // Sweeps begun after the first.
    int sweepsStarted() const { return sweeps_; }
    // Vertical position of the last sample drawn, pixels.
    float lastY() const { return prevY_; }

private:
    void newSweep(QPainter& painter);
    float yOf(std::int16_t sample, int height) const;

    QImage image_;
    int sweepPos_ = 0;
    int sweeps_ = 0;
    std::array<std::int16_t, 1024> history_{};
    int historyIndex_ = 0;
    std::int16_t lastSample_ = 0;
    float middle_ = 0;
    float prevY_ = 0;
    QPointF penAt_;
    int offset_ = kDefaultStreamOffset;
    double pixelsPerUnit_ = 1.0;
};

}  // namespace live
