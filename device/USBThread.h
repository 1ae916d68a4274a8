#pragma once
#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

// The device worker. It never talks to the recorder: every tick it has the
// device step run on the user-interface thread, waits for it to finish, and
// sleeps for the tick interval. All device I/O therefore happens on the
// interface thread, and only while that thread processes its messages.

namespace device {

class USBThread : public QThread {
    Q_OBJECT
public:
    // step runs on uiContext's thread (the user-interface thread); the thread starts at once.
    USBThread(std::function<void()> step, QObject* uiContext, int tickIntervalMs = 300);
    // Stops and waits for the thread.
    ~USBThread() override;

    void setTickInterval(int ms) { tickIntervalMs_.store(ms); }
    int tickInterval() const { return tickIntervalMs_.load(); }

    // Ends the thread and waits for it; a step already queued but not yet run is dropped. Safe to
    // call from inside a step's message pump.
    void Stop();

protected:
    void run() override;

private:
    std::function<void()> step_;
    QObject* uiContext_;
    std::atomic<int> tickIntervalMs_;
    std::shared_ptr<std::atomic<bool>> alive_;
};

}  // namespace device
