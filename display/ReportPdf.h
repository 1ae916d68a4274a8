#pragma once
#include "display/ReportPage.h"

#include <QIODevice>
#include <vector>

namespace report {

// The resolution the report's pictures are made for; PDF pages are written at it.
inline constexpr int kPdfDpi = 600;

// Writes the pages as one A4 portrait PDF document into `device`, one page
// per recording. False when the document could not be written.
bool WriteReportPdf(QIODevice& device, const std::vector<ReportPage>& pages);

}  // namespace report
