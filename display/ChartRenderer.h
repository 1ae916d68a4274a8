#pragma once
#include "display/ChartState.h"
#include "signal/DisplayFilters.h"
#include "signal/MitAnnotations.h"
#include "store/EdfRecord.h"

#include <QImage>
#include <QString>
#include <optional>
#include <vector>

// The recording as the chart draws it: channel 1 with the baseline shift
// applied once, when the recording was read.
struct ChartRecording {
    std::vector<int16_t> samples;
    int32_t sampleCount = 0;
    int rate = 0;  // 0 or a rate the chart cannot draw: grid, rulers and pulse only
    // The rate the annotation file counts its samples in: the recording file's
    // own, also when the chart shows it decimated to 128/s; 0 for the chart's rate.
    int annotationRate = 0;
};

// Channel 1 of a recording ready for the chart. A channel whose digital
// maximum lies above 2606 or below 1489 is shifted by DigMax - 2048, computed
// wide and saturated to 16 bits.
ChartRecording PrepareChartRecording(const EDF_RECORD& record);

// The chart's surfaces, each the size of its control.
struct ChartSurfaces {
    QImage chart;          // ECGChart: grid, trace, annotations
    QImage pulse;          // mVImage: calibration pulse
    QImage timeRuler;      // ECGChart1
    QImage rowRuler;       // ECGChart2
    QImage unitLabel;      // ECGChart3
    QImage gainIndicator;  // ECGChart4
};

// The empty chart: grid and rulers; white pulse, unit label and gain indicator.
ChartSurfaces ClearChart(const ChartDisplayState& state);

// Every surface for a recording: grid, rulers, unit label, gain indicator,
// pulse, then (for a drawable rate) ExtraSeconds, the filtered copy of the
// first S x R samples and the trace, then the annotations when a file path
// is given and the file reads (read afresh at every drawing).
ChartSurfaces RedrawChart(const ChartRecording& recording, ChartDisplayState& state, ecg::DisplayFilterChain& filters,
                          const QString& annotationFile = {});

// Annotations of an MIT annotation file; empty when it cannot be read.
std::vector<ecg::MitAnnotation> ReadAnnotationFile(const QString& path);

// The surfaces laid out as the window shows them around the chart (rulers
// above and right, pulse left, gain indicator and unit label below): the
// picture the command line writes.
QImage ComposeChartArea(const ChartSurfaces& surfaces);
// Where the chart surface lies in the composed picture.
inline constexpr QPoint kComposedChartOrigin{27, 15};

// The annotation file beside a recording (its path without the last four
// characters, ".edf", followed by ".atr") when that file exists; else empty.
QString AnnotationFileBeside(const QString& recordingPath);
