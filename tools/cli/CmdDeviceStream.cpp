#include "tools/cli/Commands.h"
#include "tools/cli/DeviceInfoPrint.h"
#include "tools/cli/DeviceLink.h"
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <csignal>
#include <vector>

// ecg-cli device stream: the live stream without a window. The same stream
// jobs and the same ring as the live view; the device step runs every 30 ms,
// as the worker ticks while streaming, and every whole sample is taken out
// of the ring after each step.

namespace cli {

namespace {

const char* const kStreamUsage =
    "Usage: ecg-cli device stream [--link LINK] --seconds N [--csv OUT]\n"
    "\n"
    "Starts the recorder's live stream, receives it for N seconds (1 to 3600) and stops it.\n"
    "The samples (index,value in recorder units) go to OUT, or to standard output; the summary\n"
    "(samples, seconds, samples per second, bytes lost) goes to standard output, or to standard\n"
    "error when the samples take standard output. Ctrl-C ends it early: the stream is stopped and\n"
    "what arrived is written. A recorder that goes on streaming after the stop, sent twice, fails\n"
    "the command.\n";

constexpr int StreamTickMs = 30;
// A stream that brings nothing for this long has ended, whatever the recorder was asked, ms.
constexpr qint64 SilenceLimitMs = 2000;

// Ctrl-C or a termination during the stream: the stream must still be stopped, or the recorder
// would go on streaming for whichever program talks to it next.
volatile std::sig_atomic_t interruptedBy = 0;

extern "C" void NoteInterrupt(int signalNumber)
{
    interruptedBy = signalNumber;
}

// Catches SIGINT and SIGTERM for as long as it lives.
class InterruptGuard {
public:
    InterruptGuard()
    {
        interruptedBy = 0;
        previousInt_ = std::signal(SIGINT, NoteInterrupt);
        previousTerm_ = std::signal(SIGTERM, NoteInterrupt);
    }
    ~InterruptGuard()
    {
        std::signal(SIGINT, previousInt_);
        std::signal(SIGTERM, previousTerm_);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void (*previousInt_)(int);
    void (*previousTerm_)(int);
};

QString FailureText(device::JobFailure failure)
{
    if (failure == device::JobFailure::NoAnswer)
        return QStringLiteral("The ECG device did not start its live stream.");
    return InfoReadFailureText(failure);
}

}  // namespace

int RunDeviceStream(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString linkName = "usb";
    QString csvPath;
    int seconds = 0;
    for (int i = 0; i < args.size(); ++i) {
        if (TakeLinkOption(args, i, linkName))
            continue;
        const QString& a = args[i];
        bool ok = true;
        if (a == "--csv" && i + 1 < args.size()) {
            csvPath = args[++i];
        } else if (a == "--seconds" && i + 1 < args.size()) {
            seconds = args[++i].toInt(&ok);
            ok = ok && seconds >= 1 && seconds <= 3600;
        } else if (a == "--help" || a == "-h") {
            out << kStreamUsage;
            return 0;
        } else {
            ok = false;
        }
        if (!ok) {
            err << "Bad option \"" << a << "\".\n\n" << kStreamUsage;
            return 2;
        }
    }
    if (seconds == 0) {
        err << "--seconds is needed.\n\n" << kStreamUsage;
        return 2;
    }
    QFile csvFile(csvPath);
    if (!csvPath.isEmpty() && !csvFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        err << "Cannot write \"" << csvPath << "\": " << csvFile.errorString() << "\n";
        return 1;
    }
    const std::unique_ptr<DeviceLink> session = OpenDeviceLink(linkName);
    if (!session) {
        err << "Unknown link \"" << linkName << "\".\n\n" << kStreamUsage;
        return 2;
    }
    const InterruptGuard interrupts;
    if (session->RunJob(device::StreamStartJobCode) != device::JobSucceeded) {
        // A recorder that heard the start though its answer was lost streams all the same; the next
        // step sends the stop it is owed (and nothing when none is owed) before the command ends.
        session->step->Run();
        err << FailureText(session->board.failure) << "\n";
        return 1;
    }

    device::StreamRing& ring = session->board.stream;
    std::vector<std::int16_t> samples;
    QElapsedTimer elapsed;
    elapsed.start();
    qint64 lastSampleMs = 0;
    bool fellSilent = false;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(StreamTickMs);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        session->step->Run();
        if (ring.TakeSamples(samples) > 0)
            lastSampleMs = elapsed.elapsed();
        fellSilent = elapsed.elapsed() - lastSampleMs > SilenceLimitMs;
        if (!ring.Streaming || fellSilent || interruptedBy != 0)
            loop.quit();  // the recorder went away, or the user stopped the command
    });
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    tick.start();
    loop.exec();
    tick.stop();
    const bool stillStreaming = ring.Streaming;
    // The last bytes that arrived before the stop belong to the stream too.
    session->step->Run();
    ring.TakeSamples(samples);
    const double streamedSeconds = elapsed.elapsed() / 1000.0;
    const std::uint64_t lost = ring.bytesLost();
    session->RunJob(device::StreamStopJobCode);
    const bool stopUnseen = session->board.failure == device::JobFailure::StreamNotStopped;

    QTextStream csv(&csvFile);
    QTextStream& sampleOut = csvPath.isEmpty() ? out : csv;
    for (std::size_t i = 0; i < samples.size(); ++i)
        sampleOut << i << ',' << samples[i] << '\n';
    sampleOut.flush();
    QTextStream& summary = csvPath.isEmpty() ? err : out;
    summary << "samples " << samples.size() << ", seconds " << QString::number(streamedSeconds, 'f', 2)
            << ", samples per second " << QString::number(samples.size() / streamedSeconds, 'f', 1)
            << ", bytes lost " << lost << "\n";
    if (stopUnseen) {
        // Whoever talks to the recorder next would be talking into its stream.
        err << "The ECG device did not stop its live stream, though asked twice; it may still be streaming.\n";
        return 1;
    }
    if (interruptedBy != 0) {
        err << "Interrupted; the live stream was stopped.\n";
        return 128 + interruptedBy;
    }
    if (!stillStreaming || fellSilent) {
        err << "The ECG device went away during the stream.\n";
        return 1;
    }
    if (samples.empty()) {
        err << "The ECG device sent no samples.\n";
        return 1;
    }
    return 0;
}

}  // namespace cli
