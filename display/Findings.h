#pragma once
#include "store/FhrBlock.h"

#include <QRect>
#include <QString>

class QPainter;

// The findings panel below the chart: heart-rate text, the finding pictures
// lit or neutral, and the signal-quality label, from the data-set
// information texts and the recorder's block of the open recording.
enum class Finding { Normal, Slow, Fast, Pause, Rhythm, Waveform };
inline constexpr Finding kAllFindings[] = {Finding::Normal, Finding::Slow,   Finding::Fast,
                                           Finding::Pause,  Finding::Rhythm, Finding::Waveform};

enum class QualityLabel {
    Hidden,
    Unstable,  // "Unstable signal"
    Weak,      // "Weak signal"
    Unchanged  // an unknown quality text leaves the label as it was
};

struct FindingsView {
    QString heartRate;  // the recorder's heart rate, "EE" for a noisy recording, or empty
    bool lit[6] = {};   // by Finding
    QualityLabel quality = QualityLabel::Hidden;

    bool isLit(Finding f) const { return lit[static_cast<int>(f)]; }
};

FindingsView EvaluateFindings(const DataSetInfo& info, const FHR_BLOCK& block);

// The picture of a finding in its lit or neutral look ("image\\Wave-ic0N[-1].bmp").
QString FindingPictureName(Finding f, bool lit);

// Paints a finding picture scaled into `target` (window, report).
void PaintFindingPicture(QPainter& p, const QRect& target, Finding f, bool lit);

// The signal-quality picture with its text at the positions of the
// language: nothing for Hidden and Unchanged.
void PaintQualityLabel(QPainter& p, const QRect& target, QualityLabel label, int languageId, double scale = 1.0);
