#include "display/ReportPdf.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace report {

bool WriteReportPdf(QIODevice& device, const std::vector<ReportPage>& pages)
{
    QPdfWriter pdf(&device);
    pdf.setResolution(kPdfDpi);
    pdf.setTitle(QStringLiteral("Talmon ECG report"));
    pdf.setCreator(QStringLiteral("Talmon ECG Manager"));
    // No margins: the painter's origin is the paper's corner, as the page expects.
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                  QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&pdf)) return false;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !pdf.newPage()) return false;
        PaintReportPage(painter, pages[i]);
    }
    return painter.end();
}

}  // namespace report
