#include "link/box_wait.h"

#include <algorithm>

#include "link/command_codes.h"
#include "link/port_watch.h"

namespace {

using Clock = std::chrono::steady_clock;

// Whether the box on the open port answers the scan's probe: any valid frame
// counts.
bool ProbeAnswers(CDeviceLink& link) {
    return link.Transact({.command = CMD_GET_SERIAL, .firstByteTimeoutMs = TIMEOUT_PROBE_MS})
               .status == ST_OK;
}

// One attempt; true when a box answered.
bool TryOnce(CDeviceLink& link, const PortChoice& choice, BoxWaitResult& result) {
    if (choice.kind == PortChoice::Kind::AnyPort)
        return link.ScanPorts(nullptr) == ST_OK;
    PortFailure failure;
    result.failure.reset();
    if (OpenChosenPort(link, choice, result.pick, failure) != ST_OK) {
        if (failure.kind != PortFailureKind::None)
            result.failure = failure;
        return false;
    }
    if (ProbeAnswers(link))
        return true;
    link.Disconnect();
    return false;
}

}  // namespace

StatusWord OpenChosenPort(CDeviceLink& link, const PortChoice& choice, PortPick& pick,
                          PortFailure& failure) {
    if (choice.kind == PortChoice::Kind::Number) {
        pick = PortPick{};
        pick.number = choice.number;
        return link.OpenPort(static_cast<std::uint8_t>(choice.number), &failure);
    }
    pick = PickPort(choice);
    if (pick.path.empty())
        return ST_NO_DEVICE;
    return link.OpenPortPath(pick.path, static_cast<std::uint8_t>(pick.number), &failure);
}

BoxWaitResult WaitForBox(CDeviceLink& link, const PortChoice& choice, const BoxWaitOptions& options,
                         const CWakeSignal& cancel) {
    BoxWaitResult result;
    // Watching starts before the first attempt, so a port that appears
    // during an attempt still wakes the sleep after it.
    CPortWatch watch;
    const Clock::time_point deadline =
        options.limit ? Clock::now() + *options.limit : Clock::time_point::max();
    for (;;) {
        if (cancel.IsSignalled()) {
            result.end = BoxWaitEnd::Cancelled;
            return result;
        }
        if (TryOnce(link, choice, result)) {
            result.end = BoxWaitEnd::Answered;
            return result;
        }
        if (result.pick.ambiguous && options.endWhenAmbiguous) {
            result.end = BoxWaitEnd::Ambiguous;
            return result;
        }
        if (options.onMiss && choice.kind != PortChoice::Kind::AnyPort)
            options.onMiss(result);
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            result.end = BoxWaitEnd::TimedOut;
            return result;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        const auto sleep = std::min(left, options.reprobe);
        if (watch.Wait(cancel, static_cast<int>(sleep.count())) == CPortWatch::WaitEnd::Cancelled) {
            result.end = BoxWaitEnd::Cancelled;
            return result;
        }
    }
}

BoxWaitResult WaitForBox(CDeviceLink& link, const PortChoice& choice,
                         std::optional<std::chrono::milliseconds> limit,
                         const CWakeSignal& cancel) {
    BoxWaitOptions options;
    options.limit = limit;
    return WaitForBox(link, choice, options, cancel);
}

RemovalWaitEnd WaitForRemoval(CDeviceLink& link, int misses, std::chrono::milliseconds reprobe,
                              const CWakeSignal& cancel) {
    CPortWatch watch;
    int missed = 0;
    for (;;) {
        if (watch.Wait(cancel, static_cast<int>(reprobe.count())) ==
            CPortWatch::WaitEnd::Cancelled) {
            return RemovalWaitEnd::Cancelled;
        }
        // A closed link cannot be probed (a transaction would scan): its
        // line went away, or it was closed under the box.
        missed = link.IsOpen() && ProbeAnswers(link) ? 0 : missed + 1;
        if (!link.IsOpen() || missed >= misses) {
            link.Disconnect();
            return RemovalWaitEnd::Removed;
        }
    }
}
