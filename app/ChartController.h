#pragma once
#include "display/ChartRenderer.h"
#include "display/ChartState.h"
#include "display/Findings.h"
#include "signal/DisplayFilters.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class TECGMain;
class RecordingLibrary;
struct OpenedRecording;

// The chart of the main window: draws the open recording into the window's
// chart surfaces, keeps the display state and the display filters, and
// serves the viewer controls, the finding pictures and the engineering
// display buttons. The window only wires its controls to it.
class ChartController : public QObject {
    Q_OBJECT
public:
    ChartController(TECGMain& window, RecordingLibrary& library);

    ChartDisplayState& state() { return state_; }
    ecg::DisplayFilterChain& filters() { return filters_; }
    bool hasRecording() const { return recording_.has_value(); }
    // The annotation file drawn for the open recording: the analyser's path
    // when it was started, else the ".atr" beside the recording when it exists.
    QString annotationFile() const;
    const FindingsView& findings() const { return findings_; }

    // The library's hooks.
    void ClearChart();
    void hideControls();
    void prepare(const OpenedRecording& opened);
    void UpdateFindings();

    // Redraws every surface for the open recording; without one only the
    // state has changed and the empty paper is shown in its colour.
    void RedrawChart();

    // Viewer controls.
    void ZoomInClick();
    void ZoomOutClick();
    void RecoverClick();
    void ECGColorClick();
    // An engineering display or filter button by its layout name; false when
    // the name is not one of them.
    bool engineeringClick(const QString& name);

private:
    void show(const ChartSurfaces& surfaces);
    void setColourLooks();
    void setCaption(const char* button, const QString& caption);
    bool boxAfterPress(const char* box, bool current) const;
    void setFindingToolTips();
    void watchForAnnotations();
    void stopWatchingAnnotations();
    void redrawIfAnnotationsChanged();

    TECGMain& window_;
    RecordingLibrary& library_;
    ChartDisplayState state_;
    ecg::DisplayFilterChain filters_;
    std::optional<ChartRecording> recording_;
    QString recordingPath_;
    FindingsView findings_;
    int plusCounter_ = 0;
    bool showAnno_ = false;
    // The analyser writes its file at its own time, often after the first
    // drawing: the open recording's folder and file are watched, and the chart
    // is drawn again whenever the file differs from the one last drawn.
    QFileSystemWatcher annotationWatch_;
    QTimer annotationPoll_;
    int annotationPolls_ = 0;
    QString watchedFile_;
    QString drawnStamp_;  // size and time of the file last drawn; empty when there was none
    static constexpr int kAnnotationPollMs = 500;
    static constexpr int kAnnotationPolls = 60;
};
