#pragma once
#include "display/LiveSweep.h"
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>

class TECGMain;
class DeviceServices;

// The live view of the engineering Start and Stop buttons: Start has the
// recorder stream and sweeps its signal across the chart surface, paced by a
// 5 ms timer on the user-interface thread, with the device worker ticking
// every 30 ms to fill the stream ring; Stop ends both. Closing the window
// while streaming stops the pacing and sends the stop frame.
class LiveViewController : public QObject {
    Q_OBJECT
public:
    static constexpr int kPacingMs = 5;
    static constexpr int kStreamingTickMs = 30;
    static constexpr int kNormalTickMs = 300;
    // A stream that has brought no sample for this long has stalled (256 samples a second are due).
    static constexpr int kStallMs = 2000;
    // How often the end of a stop job is looked for, ms.
    static constexpr int kStopWatchMs = 50;

    LiveViewController(TECGMain& window, DeviceServices& device);
    ~LiveViewController() override;

    // The Start button: the sweep (made at the first press), pacing, fast ticks, the start job.
    void Start();
    // The Stop button: normal ticks, the ring emptied, pacing suspended, the stop job.
    void Stop();
    // The window closes: no more pacing, and a running stream is stopped at once.
    void shutdown();

    // One pacing beat: the display step when the stream runs, and the chart shows the result; a start
    // job that failed, a stream lost with its recorder or one that stalled ends the pacing with a
    // message.
    void pace();

    live::LiveSweep* sweep() const { return sweep_.get(); }
    bool pacing() const { return pacing_.isActive(); }

private:
    void setTick(int ms);
    void blankRowRuler();
    // Posts the stop job, after the job on the board when there is one.
    void postStop();
    // Looks whether the stop job posted last has ended; one the recorder's line did not show to work
    // is told.
    void watchStop();
    // The start job has ended without a stream, or the stream has ended without Stop: back to rest,
    // and the user is told why.
    void endedWithoutStop();

    TECGMain& window_;
    DeviceServices& device_;
    std::unique_ptr<live::LiveSweep> sweep_;
    QTimer pacing_;
    // Watches the stop job posted last (stopTicket_) until it ends.
    QTimer stopWatch_;
    std::uint32_t stopTicket_ = 0;
    // A start job is on the board and its end not seen yet.
    bool starting_ = false;
    // The window has closed; nothing is posted any more.
    bool closed_ = false;
    // A stop waits for another job to leave the board.
    bool stopWaiting_ = false;
    // When the sweep last got a sample, or the stream started, ms of the device clock.
    std::int64_t lastSampleAtMs_ = 0;
};
