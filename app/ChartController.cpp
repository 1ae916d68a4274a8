#include "app/ChartController.h"

#include "app/MainForm.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "display/ChartGeometry.h"
#include "lang/TextTable.h"
#include "store/RecordingLibrary.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

ChartController::ChartController(TECGMain& window, RecordingLibrary& library)
    : QObject(&window), window_(window), library_(library)
{
    state_.ChartColour = window.chartColour();
    // Tool tips of the viewer controls: "Increase", "Decrease", "Reset", "Colour".
    window.ZoomIn->setToolTipSlot(28);
    window.ZoomOut->setToolTipSlot(29);
    window.Recover->setToolTipSlot(31);
    window.ECGColor->setToolTipSlot(30);
    connect(&annotationWatch_, &QFileSystemWatcher::directoryChanged, this, [this] { redrawIfAnnotationsChanged(); });
    connect(&annotationWatch_, &QFileSystemWatcher::fileChanged, this, [this] { redrawIfAnnotationsChanged(); });
    // The watch may miss a change (a file system that reports none): a slow
    // look at the file backs it up while the analyser may still be at work.
    annotationPoll_.setInterval(kAnnotationPollMs);
    connect(&annotationPoll_, &QTimer::timeout, this, [this] {
        if (++annotationPolls_ >= kAnnotationPolls) annotationPoll_.stop();
        redrawIfAnnotationsChanged();
    });
}

namespace {

// What was seen of an annotation file: a change of any part means it was (re)written.
QString AnnotationStamp(const QString& file)
{
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists()) return QString();
    return QStringLiteral("%1/%2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
}

}  // namespace

void ChartController::watchForAnnotations()
{
    const QString file = annotationFile();
    if (!recording_ || file.isEmpty()) {
        stopWatchingAnnotations();
        return;
    }
    // Watch the folder (the file may be written by rename) and the file once it
    // exists (it may be written in place). The file is looked at again after the
    // watch is set: one that appeared while the chart was drawn is not missed.
    const QString folder = QFileInfo(file).absolutePath();
    QStringList wanted{folder};
    if (QFileInfo::exists(file)) wanted << QFileInfo(file).absoluteFilePath();
    QStringList watched = annotationWatch_.directories() + annotationWatch_.files();
    for (const QString& path : watched)
        if (!wanted.contains(path)) annotationWatch_.removePath(path);
    for (const QString& path : wanted)
        if (!watched.contains(path)) annotationWatch_.addPath(path);
    if (watchedFile_ != file) {
        watchedFile_ = file;
        annotationPolls_ = 0;
        annotationPoll_.start();
    }
    if (AnnotationStamp(file) != drawnStamp_)
        QMetaObject::invokeMethod(this, [this] { redrawIfAnnotationsChanged(); }, Qt::QueuedConnection);
}

void ChartController::stopWatchingAnnotations()
{
    const QStringList watched = annotationWatch_.directories() + annotationWatch_.files();
    if (!watched.isEmpty()) annotationWatch_.removePaths(watched);
    annotationPoll_.stop();
    watchedFile_.clear();
}

void ChartController::redrawIfAnnotationsChanged()
{
    if (recording_ && AnnotationStamp(annotationFile()) != drawnStamp_) RedrawChart();
}

QString ChartController::annotationFile() const
{
    if (!library_.annotationPath().isEmpty()) return library_.annotationPath();
    return AnnotationFileBeside(recordingPath_);
}

void ChartController::show(const ChartSurfaces& s)
{
    window_.ECGChart->setPixmap(QPixmap::fromImage(s.chart));
    window_.mVImage->setPixmap(QPixmap::fromImage(s.pulse));
    window_.ECGChart1->setSurface(QPixmap::fromImage(s.timeRuler));
    window_.ECGChart2->setSurface(QPixmap::fromImage(s.rowRuler));
    window_.ECGChart3->setSurface(QPixmap::fromImage(s.unitLabel));
    window_.ECGChart4->setSurface(QPixmap::fromImage(s.gainIndicator));
    // The gain indicator is a drawing: its name says what it shows.
    window_.ECGChart4->setAccessibleName(QString::number(chart::GainPercent(state_.ChartGain), 'g', 15) + QStringLiteral(" %"));
}

void ChartController::ClearChart()
{
    recording_.reset();
    recordingPath_.clear();
    watchForAnnotations();
    show(::ClearChart(state_));
    window_.HeartRate->clear();
    window_.UnstableImg->hide();
}

void ChartController::hideControls()
{
    for (QWidget* w : {window_.ZoomIn, window_.ZoomOut, window_.Recover, window_.ECGColor}) w->hide();
}

void ChartController::prepare(const OpenedRecording& opened)
{
    // The baseline shift is applied here, once per reading of the recording.
    recording_ = PrepareChartRecording(opened.record);
    recording_->annotationRate = opened.fileRate;
    recordingPath_ = opened.path;
    RedrawChart();
}

void ChartController::RedrawChart()
{
    if (!recording_) {
        // Only the state changed; the empty paper follows the colour.
        show(::ClearChart(state_));
        return;
    }
    // The stamp is taken before reading: a file written during the drawing
    // shows as a change afterwards and is drawn again.
    drawnStamp_ = AnnotationStamp(annotationFile());
    show(::RedrawChart(*recording_, state_, filters_, annotationFile()));
    for (QWidget* w : {window_.ZoomIn, window_.ZoomOut, window_.Recover, window_.ECGColor}) w->show();
    watchForAnnotations();
}

void ChartController::UpdateFindings()
{
    const OpenedRecording* open = library_.openRecording();
    const FHR_BLOCK block = open && !library_.openRecordingPath().isEmpty() ? open->block : FHR_BLOCK{};
    findings_ = EvaluateFindings(library_.dataSetInfo(), block);

    SkinPicture* pictures[] = {window_.OK, window_.Slow, window_.Fast, window_.Pause, window_.Rhythm, window_.Waveform};
    for (Finding f : kAllFindings)
        if (SkinPicture* p = pictures[static_cast<int>(f)]) p->setPicture(FindingPictureName(f, findings_.isLit(f)));
    window_.HeartRate->setText(findings_.heartRate);
    window_.HeartRate->adjustSize();

    SkinPicture* label = window_.UnstableImg;
    if (findings_.quality == QualityLabel::Hidden) {
        label->hide();
    } else if (findings_.quality != QualityLabel::Unchanged) {
        const qreal ratio = label->devicePixelRatioF();
        QPixmap picture(label->size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        PaintQualityLabel(p, QRect(QPoint(0, 0), label->size()), findings_.quality, window_.languageId());
        p.end();
        label->setSurface(picture);
        label->show();
    }
    setFindingToolTips();
}

void ChartController::setFindingToolTips()
{
    const DataSetInfo& info = library_.dataSetInfo();
    // The tip also names the picture for assistive technology; without one the
    // picture is named after its finding.
    const auto tip = [](SkinPicture* picture, int findingSlot, const QString& text) {
        if (!picture) return;
        picture->setToolTip(text);
        picture->setAccessibleName(text.isEmpty() ? TextOf(findingSlot) : text);
    };
    tip(window_.Slow, 5, info.bradyThreshold.isEmpty() ? QString()
                                                       : TextOf(5) + " : < " + info.bradyThreshold + " (bpm)");
    tip(window_.Fast, 6, info.tachyThreshold.isEmpty() ? QString()
                                                       : TextOf(6) + " : > " + info.tachyThreshold + " (bpm)");
    tip(window_.Pause, 7,
        info.pause.isEmpty() ? QString() : TextOf(7) + " : > " + info.pauseThreshold + " (" + TextOf(12) + ")");
    const auto detected = [](const QString& finding) { return finding == QLatin1String("1") ? TextOf(10) : TextOf(11); };
    tip(window_.Rhythm, 8, info.rhythm.isEmpty() ? QString() : TextOf(8) + " : " + detected(info.rhythm));
    tip(window_.Waveform, 9, info.waveform.isEmpty() ? QString() : TextOf(9) + " : " + detected(info.waveform));
}

void ChartController::ZoomInClick()
{
    if (viewer::ZoomIn(state_)) RedrawChart();
}

void ChartController::ZoomOutClick()
{
    if (viewer::ZoomOut(state_)) RedrawChart();
}

void ChartController::RecoverClick()
{
    if (viewer::Recover(state_)) RedrawChart();
}

void ChartController::ECGColorClick()
{
    viewer::ToggleColour(state_);
    window_.setChartColour(state_.ChartColour);
    setColourLooks();
    RedrawChart();
}

// The colour button shows the paper a click switches to.
void ChartController::setColourLooks()
{
    const bool green = state_.ChartColour == QLatin1String("0");
    const QString stem = green ? QStringLiteral("image\\change-ecg color-p") : QStringLiteral("image\\change-ecg color-g");
    window_.ECGColor->setLooks(stem + ".bmp", stem + "1.bmp", stem + "2.bmp");
}

void ChartController::setCaption(const char* button, const QString& caption)
{
    if (auto* b = window_.control<QPushButton>(button)) b->setText(caption);
}

// A filter check box sets its switch to the opposite of the box's state
// before the press, that is the tick the press left in the box.
bool ChartController::boxAfterPress(const char* box, bool current) const
{
    if (const auto* b = window_.control<QCheckBox>(box)) return b->isChecked();
    return !current;
}

bool ChartController::engineeringClick(const QString& name)
{
    ecg::FilterSwitches& f = filters_.switches();
    const auto reopen = [this] {
        library_.setReloadFlag();
        window_.DataListClick();
    };
    if (name == QLatin1String("DisplayBtn")) {
        setCaption("DisplayBtn", QString::number(viewer::NextDisplayMode(state_)));
    } else if (name == QLatin1String("DisplayTrace")) {
        state_.ChartMode = 6;
    } else if (name == QLatin1String("Dis1")) {
        state_.ChartMode = 4;
    } else if (name == QLatin1String("PenWidth")) {
        setCaption("PenWidth", QString::number(double(viewer::NextPenWidth(state_)), 'f', 2));
    } else if (name == QLatin1String("Plus")) {
        plusCounter_ = viewer::NextPlusCounter(plusCounter_);
        setCaption("Plus", QString::number(plusCounter_));
    } else if (name == QLatin1String("ShowAnno")) {
        showAnno_ = !showAnno_;  // nothing reads it; the button reopens and redraws
        window_.DataListClick();
    } else if (name == QLatin1String("LowCut")) {
        f.lowCut = boxAfterPress("LowCut", f.lowCut);
    } else if (name == QLatin1String("HighCut")) {
        f.highCut = boxAfterPress("HighCut", f.highCut);
    } else if (name == QLatin1String("Filter")) {
        f.mode = ecg::NextFilterMode(f.mode);
        setCaption("Filter", QString::number(static_cast<int>(f.mode)));
    } else if (name == QLatin1String("iir")) {
        f.lowCutFrequency = ecg::NextLowCutFrequency(f.lowCutFrequency);
        setCaption("iir", QString::number(f.lowCutFrequency));
    } else if (name == QLatin1String("filterSwBtn")) {
        f.notchesDisabled = !f.notchesDisabled;
        setCaption("filterSwBtn", f.notchesDisabled ? QStringLiteral("filer Dis") : QStringLiteral("filter En"));
        reopen();
        return true;
    } else if (name == QLatin1String("sampSwitchBtn")) {
        f.display256 = !f.display256;
        library_.setKeep256(f.display256);
        setCaption("sampSwitchBtn", f.display256 ? QStringLiteral("256 Hz") : QStringLiteral("128 Hz"));
        reopen();
        return true;
    } else {
        return false;
    }
    RedrawChart();
    return true;
}
