#pragma once
#include "sim/recorder/SimulatedRecorder.h"
#include <atomic>
#include <cstdint>
#include <string>

// The simulated recorder behind a pseudo-terminal, so that the real serial
// transport talks to it through the kernel's tty layer. The host opens the
// slave path; this side reads and writes the master.

namespace sim {

class PtyRecorderServer {
public:
    explicit PtyRecorderServer(SimulatedRecorder& recorder);
    ~PtyRecorderServer();
    PtyRecorderServer(const PtyRecorderServer&) = delete;
    PtyRecorderServer& operator=(const PtyRecorderServer&) = delete;

    // Creates the pseudo-terminal; false with a reason in error when that fails.
    bool Open(std::string* error);
    // Path the host opens, e.g. /dev/pts/3.
    const std::string& path() const { return path_; }

    // With checkSpeed, bytes the host sends at a line speed other than the recorder's are lost and bytes
    // the recorder sends reach a host end at another speed garbled, as on a real serial line (the speed
    // the host set on its end is read back from the tty).
    void SetCheckSpeed(bool check) { checkSpeed_ = check; }
    // Pulls the cable at once: the host's end hangs up.
    void Unplug();

    // Moves bytes both ways until stop becomes true (looked at every 20 ms).
    void Serve(const std::atomic<bool>& stop);
    // One round: waits up to waitMs for host bytes, hands them to the recorder, sends its answer.
    void ServeOnce(int waitMs);

private:
    std::uint32_t hostSpeed() const;
    void sendPending();

    SimulatedRecorder& recorder_;
    int master_ = -1;
    int slaveHold_ = -1;  // keeps the tty alive while the host closes and re-opens it
    std::string path_;
    bool checkSpeed_ = true;
};

}  // namespace sim
