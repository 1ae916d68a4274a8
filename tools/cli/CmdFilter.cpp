#include "tools/cli/RecordingInput.h"
#include "tools/cli/Commands.h"

#include "display/ChartRenderer.h"
#include "signal/DisplayFilters.h"
#include "store/EdfRecord.h"
#include "store/EdfWriter.h"

#include <algorithm>

namespace cli {

// Writes the samples as the chart draws them: channel 1's whole seconds,
// after the baseline shift, through the display filters.
int RunFilter(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const char* usage =
        "Usage: ecg-cli filter FILE.edf --csv OUT.csv [--lowcut on|off] [--highcut 1-4] [--notch on|off]\n";
    QString input, output;
    ecg::FilterSwitches switches;
    const auto onOff = [&](const QString& value, bool& target) {
        if (value != "on" && value != "off") return false;
        target = value == "on";
        return true;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--csv" && hasValue) {
            output = args[++i];
        } else if (a == "--lowcut" && hasValue) {
            if (!onOff(args[++i], switches.lowCut)) {
                err << "--lowcut takes on or off.\n" << usage;
                return 2;
            }
        } else if (a == "--notch" && hasValue) {
            bool on = true;
            if (!onOff(args[++i], on)) {
                err << "--notch takes on or off.\n" << usage;
                return 2;
            }
            switches.notchesDisabled = !on;
        } else if (a == "--highcut" && hasValue) {
            bool ok = false;
            const int mode = args[++i].toInt(&ok);
            if (!ok || mode < 1 || mode > 4) {
                err << "--highcut takes a filter mode from 1 to 4 (1 FIR, 2 IIR, 3 IIR and 60 Hz notch, "
                       "4 IIR, 60 and 50 Hz notches).\n"
                    << usage;
                return 2;
            }
            switches.mode = static_cast<ecg::FilterMode>(mode);
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
    const ChartRecording chart = PrepareChartRecording(record);
    const size_t used = std::min<size_t>(size_t(chart.sampleCount / chart.rate) * size_t(chart.rate), chart.samples.size());
    std::vector<int16_t> filtered(chart.samples.begin(), chart.samples.begin() + std::ptrdiff_t(used));
    ecg::DisplayFilterChain chain(switches);
    chain.FilterDisplayBlock(filtered.data(), filtered.size(), chart.rate);

    QByteArray csv = "sample,seconds,stored,filtered\n";
    const auto& stored = record.Channels.front().Samples;
    for (size_t i = 0; i < used; ++i)
        csv += QByteArray::number(qulonglong(i)) + ',' + QByteArray::number(double(i) / chart.rate, 'f', 6) + ',' +
               QByteArray::number(stored[i]) + ',' + QByteArray::number(filtered[i]) + '\n';
    if (const EdfProblem written = WriteFileAtomically(output, csv); !written.ok()) {
        err << output << ": " << written.detail << "\n";
        return 1;
    }
    out << "Wrote " << output << " (" << used << " samples at " << chart.rate << " per second)\n";
    return 0;
}

}  // namespace cli
