#include "tools/cli/Commands.h"

#include "display/ReportPdf.h"
#include "lang/TextTable.h"
#include "store/AtomicFile.h"

#include <vector>

namespace cli {

namespace {

// Writes the pages as one PDF, completely or not at all.
bool WritePdf(const QString& output, const std::vector<report::ReportPage>& pages)
{
    AtomicFile file(output);
    if (!file.open()) return false;
    return report::WriteReportPdf(file.device(), pages) && file.commit();
}

}  // namespace

// Prints recordings as report pages into a PDF with the window's own page painting.
int RunReport(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const char* usage = "Usage: ecg-cli report FILE.edf... --pdf OUT.pdf [--gain 1-6] [--language ID]\n";
    QStringList inputs;
    QString output;
    float gain = 2.0f;
    int language = TextTable::kEnglish;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--pdf" && hasValue) {
            output = args[++i];
        } else if (a == "--gain" && hasValue) {
            bool ok = false;
            const int g = args[++i].toInt(&ok);
            if (!ok || g < 1 || g > 6) {
                err << "The gain must be a whole number from 1 to 6.\n" << usage;
                return 2;
            }
            gain = static_cast<float>(g);
        } else if (a == "--language" && hasValue) {
            bool ok = false;
            language = args[++i].toInt(&ok);
            if (!ok || !TextTable::isSupported(language)) {
                err << "Unknown language \"" << args[i] << "\": give a language number such as 1033.\n" << usage;
                return 2;
            }
        } else if (!a.startsWith("--")) {
            inputs << a;
        } else {
            err << "Unexpected argument \"" << a << "\".\n" << usage;
            return 2;
        }
    }
    if (inputs.isEmpty() || output.isEmpty()) {
        err << usage;
        return 2;
    }
    TextTable::current().SelectLanguage(language);

    std::vector<report::ReportPage> pages;
    int refused = 0;
    for (const QString& input : inputs) {
        report::ReportPage page;
        const EdfProblem problem = report::LoadReportPage(input, ecg::FilterSwitches{}, gain, language, page);
        if (!problem.ok()) {
            err << input << ": not printed: " << problem.message() << "\n";
            ++refused;
            continue;
        }
        pages.push_back(std::move(page));
    }
    if (pages.empty()) {
        err << output << ": not written, no recording could be printed.\n";
        return 1;
    }
    if (!WritePdf(output, pages)) {
        err << output << ": the PDF could not be written.\n";
        return 1;
    }
    out << "Wrote " << output << " (" << pages.size() << (pages.size() == 1 ? " page" : " pages") << ", A4, gain "
        << gain << ")\n";
    return refused == 0 ? 0 : 1;
}

}  // namespace cli
