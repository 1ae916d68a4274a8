#include "display/Findings.h"

#include "art/Pictures.h"
#include "display/ChartPainter.h"
#include "lang/TextTable.h"

#include <QFont>
#include <QPainter>

FindingsView EvaluateFindings(const DataSetInfo& info, const FHR_BLOCK& block)
{
    FindingsView v;
    const auto& header = block.Bytes;
    const bool noisy = header[DEVICE_RECORD_HEADER::NoiseFinding] != 0 || info.heartRate == QLatin1String("0");
    bool showsEE = false;
    if (info.heartRate.isEmpty()) {
        v.heartRate.clear();
    } else if (noisy) {
        v.heartRate = QStringLiteral("EE");
        showsEE = true;
    } else {
        const auto present = [](const QString& t) { return !t.isEmpty() && t != QLatin1String("0"); };
        auto& lit = v.lit;
        lit[int(Finding::Pause)] = present(info.pause);
        lit[int(Finding::Rhythm)] = present(info.rhythm);
        lit[int(Finding::Waveform)] = present(info.waveform);
        if (!info.tachyThreshold.isEmpty() && !info.bradyThreshold.isEmpty()) {
            const int hr = info.heartRate.toInt();
            lit[int(Finding::Fast)] =
                info.tachyThreshold.toInt() < hr || header[DEVICE_RECORD_HEADER::TachyFinding] == 1;
            lit[int(Finding::Slow)] =
                hr < info.bradyThreshold.toInt() || header[DEVICE_RECORD_HEADER::BradyFinding] == 1;
            lit[int(Finding::Normal)] = !(lit[int(Finding::Pause)] || lit[int(Finding::Rhythm)] ||
                                          lit[int(Finding::Waveform)] || lit[int(Finding::Fast)] ||
                                          lit[int(Finding::Slow)]);
        }
        v.heartRate = info.heartRate;
    }

    const QString& q = info.signalQuality;
    const bool considered = q == QLatin1String("1") || q == QLatin1String("2") || showsEE;
    if (!considered || q == QLatin1String("0")) v.quality = QualityLabel::Hidden;
    else if (q == QLatin1String("1")) v.quality = QualityLabel::Unstable;
    else if (q == QLatin1String("2")) v.quality = QualityLabel::Weak;
    else v.quality = QualityLabel::Unchanged;
    return v;
}

QString FindingPictureName(Finding f, bool lit)
{
    return QStringLiteral("image\\Wave-ic0%1%2.bmp").arg(static_cast<int>(f) + 1).arg(lit ? "-1" : "");
}

void PaintFindingPicture(QPainter& p, const QRect& target, Finding f, bool lit)
{
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const int scale = target.width() > 2 * 45 - 10 ? 2 : 1;
    p.drawImage(target, LoadPictureImageAtScale(FindingPictureName(f, lit), scale));
    p.restore();
}

void PaintQualityLabel(QPainter& p, const QRect& target, QualityLabel label, int languageId, double scale)
{
    if (label != QualityLabel::Unstable && label != QualityLabel::Weak) return;
    struct Place {
        int x, points;
    };
    // Positions of the text on the picture by language: English, Chinese (Traditional), others.
    const bool unstable = label == QualityLabel::Unstable;
    Place place = unstable ? Place{1, 7} : Place{5, 6};
    if (languageId == 1033) place = unstable ? Place{2, 7} : Place{9, 7};
    else if (languageId == 1028) place = unstable ? Place{6, 8} : Place{13, 8};

    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(target, LoadPictureImageAtScale(QStringLiteral("image\\unstableSignals.bmp"), scale > 1.5 ? 2 : 1));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(1, int(place.points * 96.0 / 72.0 * scale + 0.5)));
    p.setFont(font);
    p.setPen(QColor(193, 103, 7));
    chart::DrawTextTopLeft(p, target.left() + int(place.x * scale), target.top() + int(1 * scale),
                           TextOf(unstable ? 91 : 90));
    p.restore();
}
