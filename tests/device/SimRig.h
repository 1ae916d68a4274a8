#pragma once
// A recorder simulator wired to the real Link, device step and board, on a
// fake clock: sleeping advances the clock, and pumping messages runs the
// worker's tick every 300 ms (never inside a tick, as the real worker waits
// for its step), the monitor timer every 1000 ms and any scheduled user action.
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceStep.h"
#include "device/Link.h"
#include "device/transport/AbsentBridges.h"
#include "sim/recorder/SimulatedRecorder.h"
#include "sim/recorder/SimulatedXpress.h"
#include <functional>
#include <map>
#include <vector>

class FakeLoop : public device::DeviceEnvironment {
public:
    std::int64_t now = 0;
    std::function<void()> tick;
    std::int64_t nextTick = 300;
    std::int32_t tickInterval = 300;
    std::function<void()> timer;
    std::int64_t nextTimer = 1000;
    std::multimap<std::int64_t, std::function<void()>> actions;
    bool inTick = false;
    int ticks = 0;
    // Longest time between two pumps while a tick ran, ms.
    std::int64_t longestTickGap = 0;
    std::int64_t lastPump = 0;

    std::int64_t NowMs() override { return now; }
    device::LocalDateTime LocalNow() override { return {2013, 5, 21, 10, 15, 30}; }
    void SleepMs(std::uint32_t ms) override { now += ms; }
    void Pump() override
    {
        if (inTick)
            longestTickGap = std::max(longestTickGap, now - lastPump);
        lastPump = now;
        while (!actions.empty() && actions.begin()->first <= now) {
            auto action = actions.begin()->second;
            actions.erase(actions.begin());
            action();
        }
        if (timer && now >= nextTimer) {
            nextTimer += 1000;
            timer();
        }
        if (tick && !inTick && now >= nextTick) {
            inTick = true;
            lastPump = now;
            tick();
            ++ticks;
            inTick = false;
            nextTick = now + tickInterval;
        }
    }
    // Posted messages come at the next pump, not inside the one that is going on.
    void Post(std::function<void()> action) override { actions.emplace(now + 1, std::move(action)); }
    // The idle message loop for ms.
    void RunFor(std::int64_t ms)
    {
        const std::int64_t end = now + ms;
        while (now < end) {
            Pump();
            now += 10;
        }
    }
    void At(std::int64_t when, std::function<void()> action) { actions.emplace(when, std::move(action)); }
};

struct SimRig {
    FakeLoop loop;
    sim::SimulatedRecorder recorder{[this] { return loop.now; }};
    sim::SimulatedXpress xpress{recorder, [this](std::uint32_t ms) { loop.now += ms; }};
    device::transport::AbsentHidUart hid;
    device::Link link{hid, xpress};
    device::DeviceJobBoard board;
    device::DeviceStep step{link, board, loop};

    explicit SimRig(bool plugged = true)
    {
        xpress.SetPlugged(plugged);
        link.ResetForStartup();
        loop.tick = [this] { step.Run(); };
    }

    int Count(std::uint8_t command) const
    {
        int n = 0;
        for (std::uint8_t c : recorder.commandLog())
            n += c == command ? 1 : 0;
        return n;
    }
};

// A bridge that is plugged in but whose device node this user may not open.
struct DeniedXpress : sim::SimulatedXpress {
    using sim::SimulatedXpress::SimulatedXpress;
    int Open(std::uint32_t, Handle* handle) override
    {
        *handle = -1;
        return device::BridgeAccessDenied;
    }
};
