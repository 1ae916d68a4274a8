#pragma once
#include "signal/DisplayFilters.h"
#include "store/EdfProblem.h"
#include "store/EdfRecord.h"
#include "store/FhrBlock.h"

#include <QString>
#include <cstdint>
#include <vector>

class QPainter;

// One printed report page: the values read from the recording file itself
// (never from what the window shows) and the filtered samples of its trace.
namespace report {

// The five finding pictures of the result line, left to right.
enum class PageFinding { Normal, Slow, Fast, Pause, Rhythm };
inline constexpr int kPageFindings = 5;

struct PageValues {
    QString heartRate;  // the recorder's rate in bpm, or "--"
    QString dateTime;   // "2013/05/07 14:25:30"
    bool lit[kPageFindings] = {};

    bool isLit(PageFinding f) const { return lit[static_cast<int>(f)]; }
};

// The values of a page from the recorder part of the analysis block, or
// from nothing (`block` null) for a file that carries none: "--", neutral
// pictures. The date comes from the recorder's clock bytes; when they do not
// hold a valid date (no block, or zeros) it is the file's start date and time.
PageValues PageValuesOf(const FHR_BLOCK* block, const EDF_RECORD& record);

// "20YY/MM/DD hh:mm:ss" from the recorder's BCD clock bytes; empty when they
// are not a valid date and time.
QString RecorderDateText(const FHR_BLOCK& block);
// The same from the EDF start date ("13.5.7", years 85-99 being 19xx) and
// time ("14.25.30"); empty when they do not parse.
QString EdfDateText(const QString& startDate, const QString& startTime);

struct ReportPage {
    QString path;
    PageValues values;
    std::vector<int16_t> filtered;  // the first S x R samples of channel 1 through the display filters
    int rate = 0;
    int64_t wholeSeconds = 0;
    float gain = 2.0f;
    int languageId = 1033;
};

// Reads a recording into a page of its own (the window's open recording is
// not involved): refuses what opening refuses (malformed files, rates other
// than 128/256), reads the block as opening does (signed, or the unsigned
// block of a downloaded file), applies the chart's baseline shift and a
// fresh filter chain with the given switches, so the same file always gives
// the same page.
EdfProblem LoadReportPage(const QString& path, const ecg::FilterSwitches& switches, float gain, int languageId,
                          ReportPage& page);

// Paints the page onto a painter whose origin is the paper's top-left corner,
// at the paint device's own resolution (its logical dpi): a printer in
// full-page mode, a PDF writer without margins, or an image whose dots per
// metre are set. Labels come from the current text table.
void PaintReportPage(QPainter& p, const ReportPage& page);

}  // namespace report
