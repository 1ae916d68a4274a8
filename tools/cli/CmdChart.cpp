#include "tools/cli/RecordingInput.h"
#include "tools/cli/Commands.h"

#include "display/ChartRenderer.h"
#include "lang/TextTable.h"
#include "signal/DisplayFilters.h"
#include "store/EdfRecord.h"

#include <QImage>

namespace cli {

// Draws a recording's chart with the window's own painting code: the same
// surfaces, laid out as the window shows them around the chart.
int RunChart(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const char* usage =
        "Usage: ecg-cli chart FILE.edf --png OUT.png [--gain 1-6] [--colour pink|green] [--annotations FILE.atr]\n";
    QString input, output, annotations;
    ChartDisplayState state;
    state.ChartColour = QStringLiteral("1");
    bool annotationsGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--png" && hasValue) {
            output = args[++i];
        } else if (a == "--gain" && hasValue) {
            bool ok = false;
            const int gain = args[++i].toInt(&ok);
            if (!ok || gain < 1 || gain > 6) {
                err << "The gain must be a whole number from 1 to 6.\n" << usage;
                return 2;
            }
            state.ChartGain = static_cast<float>(gain);
        } else if ((a == "--colour" || a == "--color") && hasValue) {
            const QString colour = args[++i];
            if (colour != "pink" && colour != "green") {
                err << "The colour must be pink or green.\n" << usage;
                return 2;
            }
            state.ChartColour = colour == "pink" ? QStringLiteral("1") : QStringLiteral("0");
        } else if (a == "--annotations" && hasValue) {
            annotations = args[++i];
            annotationsGiven = true;
        } else if (!a.startsWith("--") && input.isEmpty()) {
            input = a;
        } else {
            err << "Unexpected argument \"" << a << "\".\n" << usage;
            return 2;
        }
    }
    if (input.isEmpty() || output.isEmpty()) {
        err << usage;
        return 2;
    }
    EDF_RECORD record;
    if (!ReadRecordingOrSay(input, record, err))
        return 1;
    if (annotationsGiven && ReadAnnotationFile(annotations).empty())
        err << annotations << ": no annotations could be read; the chart is drawn without them.\n";
    if (!annotationsGiven) annotations = AnnotationFileBeside(input);

    // The chart's own words ("Unit: Seconds") in English, as the window shows them in that language.
    if (TextTable::current().text(82).isEmpty()) TextTable::current().SelectLanguage(TextTable::kEnglish);
    ecg::DisplayFilterChain filters;
    const ChartSurfaces surfaces = RedrawChart(PrepareChartRecording(record), state, filters, annotations);
    const QImage picture = ComposeChartArea(surfaces);
    if (!picture.save(output, "PNG")) {
        err << output << ": the picture could not be written.\n";
        return 1;
    }
    out << "Wrote " << output << " (" << picture.width() << " x " << picture.height() << ", gain "
        << state.ChartGain << ", " << (state.pink() ? "pink" : "green") << " paper"
        << (annotations.isEmpty() ? "" : ", annotations from ") << annotations << ")\n";
    return 0;
}

}  // namespace cli
