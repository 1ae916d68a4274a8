#include "app/LiveViewController.h"
#include "app/ChartController.h"
#include "app/DeviceServices.h"
#include "app/MainForm.h"
#include "app/MainDeviceControls.h"
#include "device/JobRequest.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPicture.h"
#include "display/ChartGeometry.h"
#include "lang/ProgramTexts.h"
#include "lang/TextTable.h"

#include <QLabel>
#include <QPixmap>

namespace {

// The display step's view of the stream ring.
class RingSamples : public live::SampleSource {
public:
    explicit RingSamples(device::StreamRing& ring) : ring_(ring) {}
    bool streaming() const override { return ring_.Streaming; }
    std::uint32_t readableSamples() override { return ring_.ReadableSamples(); }
    std::int16_t takeSample() override { return ring_.TakeSample(); }

private:
    device::StreamRing& ring_;
};

// The recorder's own DC offset is its signal's baseline when it has reported a plausible one.
int StreamOffset(const device::protocol::DEVICE_INFO_BLOCK& block)
{
    if (block.signed_ && !device::protocol::NeedsOffsetRepair(block))
        return block.dcOffset;
    return live::kDefaultStreamOffset;
}

}  // namespace

LiveViewController::LiveViewController(TECGMain& window, DeviceServices& device)
    : QObject(&window), window_(window), device_(device)
{
    pacing_.setInterval(kPacingMs);
    connect(&pacing_, &QTimer::timeout, this, &LiveViewController::pace);
    stopWatch_.setInterval(kStopWatchMs);
    connect(&stopWatch_, &QTimer::timeout, this, &LiveViewController::watchStop);
    connect(&window, &TECGMain::closing, this, &LiveViewController::shutdown);
}

LiveViewController::~LiveViewController()
{
    pacing_.stop();
    stopWatch_.stop();
}

void LiveViewController::setTick(int ms)
{
    device_.board().tickIntervalMs = ms;
    if (device_.worker())
        device_.worker()->setTickInterval(ms);
}

void LiveViewController::Start()
{
    device::DeviceJobBoard& board = device_.board();
    // Another job still under way keeps its place on the board; Start can be pressed again after it.
    if (board.RequestedJob != device::NoJob && board.RequestedJob != device::StreamStartJobCode)
        return;
    stopWaiting_ = false;  // a Start after Stop wins over a stop still waiting for its turn
    if (!sweep_)
        sweep_ = std::make_unique<live::LiveSweep>(window_.ECGChart->size());
    blankRowRuler();
    pacing_.start();
    setTick(kStreamingTickMs);
    device::PostJob(board, device::StreamStartJobCode);
    starting_ = true;
}

void LiveViewController::blankRowRuler()
{
    // The row ends of a recording (10, 20, 30 seconds) mean nothing on a single sweep of 10 seconds;
    // the time ruler's "0" at the left edge still holds. A recording shown later brings its own.
    QImage blank(chart::kRowRulerSize, QImage::Format_RGB32);
    blank.fill(Qt::white);
    window_.ECGChart2->setSurface(QPixmap::fromImage(blank));
}

void LiveViewController::Stop()
{
    setTick(kNormalTickMs);
    starting_ = false;
    device::DeviceJobBoard& board = device_.board();
    board.stream.Reset();
    pacing_.stop();
    postStop();
}

void LiveViewController::postStop()
{
    stopWaiting_ = false;
    if (closed_)
        return;  // the close has stopped the stream itself
    device::DeviceJobBoard& board = device_.board();
    if (board.RequestedJob == device::NoJob || board.RequestedJob == device::StreamStartJobCode) {
        stopTicket_ = device::PostJob(board, device::StreamStopJobCode);
        stopWatch_.start();
        return;
    }
    // Another job is on the board (an information read the window posted just now): the device step
    // refuses it at its next tick while the stream runs, and the stop must not be lost meanwhile.
    stopWaiting_ = true;
    QTimer::singleShot(kStreamingTickMs, this, [this] {
        if (stopWaiting_)
            postStop();
    });
}

void LiveViewController::watchStop()
{
    const std::optional<device::JobEnd> end = device::EndOf(device_.board(), stopTicket_);
    if (!end)
        return;
    stopWatch_.stop();
    // The stream stays on the board, so Stop can be pressed again; the user must know the recorder
    // may still be streaming.
    if (end->state == device::JobFailed && end->failure == device::JobFailure::StreamNotStopped && !closed_ &&
        window_.messageBox())
        window_.messageBox()->ShowMessageBox(DeviceStreamNotStoppedText(), MsgKind::Warning, window_.languageId(),
                                             {MsgButton::OK});
}

void LiveViewController::shutdown()
{
    closed_ = true;
    pacing_.stop();
    stopWatch_.stop();
    device::DeviceJobBoard& board = device_.board();
    if (!board.stream.Streaming && board.RequestedJob != device::StreamStartJobCode)
        return;
    // The worker stops with the window, so the stop job runs here and now: the recorder must not
    // be left streaming into a closed program. Inside a start job still waiting for the recorder,
    // the step does not run again; that job serves the stop when its wait is over.
    setTick(kNormalTickMs);
    device::PostJob(board, device::StreamStopJobCode);
    device_.RunStepNow();
}

void LiveViewController::pace()
{
    if (!sweep_)
        return;
    device::DeviceJobBoard& board = device_.board();
    const std::int64_t now = device_.env().NowMs();
    if (starting_ && board.RequestedJob != device::StreamStartJobCode) {
        starting_ = false;
        if (!board.stream.Streaming) {
            endedWithoutStop();
            return;
        }
        lastSampleAtMs_ = now;
    } else if (!starting_ && !board.stream.Streaming) {
        // The stream ended without Stop (the recorder was unplugged): no pacing or fast ticks for nothing.
        endedWithoutStop();
        return;
    }
    const float gain = window_.chart() ? window_.chart()->state().ChartGain : 2.0f;
    sweep_->setScale(StreamOffset(board.infoBlock), live::LivePixelsPerUnit(gain, sweep_->image().height()));
    RingSamples source(board.stream);
    if (sweep_->Step(source) > 0) {
        window_.ECGChart->setPixmap(QPixmap::fromImage(sweep_->image()));
        lastSampleAtMs_ = now;
    } else if (!starting_ && now - lastSampleAtMs_ >= kStallMs) {
        // The recorder has gone quiet without leaving the link (its battery, a cable that still
        // enumerates): the stream is stopped as with Stop, so the recorder is not left streaming
        // should it come back, and the user learns why the sweep stands still.
        postStop();
        endedWithoutStop();
    }
}

void LiveViewController::endedWithoutStop()
{
    pacing_.stop();
    setTick(kNormalTickMs);
    const device::JobFailure why = device_.board().failure;
    const QString text = why == device::JobFailure::NoPermission        ? DeviceAccessDeniedText()
                         : why == device::JobFailure::WaitsInBootLoader ? DeviceWaitsInBootLoaderText()
                                                                        : TextOf(SlotCheckDeviceConnected);
    if (window_.messageBox())
        window_.messageBox()->ShowMessageBox(text, MsgKind::Information, window_.languageId(), {MsgButton::OK});
}
