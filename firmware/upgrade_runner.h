#pragma once
// CUpgradeRunner: the guard against a second firmware update, kept by the
// dialog as m_hUpgradeThread.
//
// Start() runs RunUpgrade on a new worker thread unless one runs already. The
// worker is detached: closing the window never waits for it. It holds by
// shared ownership everything it uses, the host (which holds the shared dialog
// model) and the runner's state, so a dialog destroyed mid-update leaves the
// worker working on a model that outlives it and never on a destroyed window.
// The state's mutex protects the running flag; the worker clears it at its
// end by any way out, so a worker that ends at once still leaves the runner
// idle. The update's result goes to the future Start() returned, set before
// the runner turns idle. The link the host names must outlive the worker (the product's link
// lives as long as the process).

#include <cstdint>
#include <future>
#include <memory>

#include "firmware/firmware_update.h"

class IDialogHost;

class CUpgradeRunner {
public:
    CUpgradeRunner();
    ~CUpgradeRunner();
    CUpgradeRunner(const CUpgradeRunner&) = delete;
    CUpgradeRunner& operator=(const CUpgradeRunner&) = delete;

    // Starts an update and returns its result to come (a failed one when the
    // update throws); not valid, doing nothing, when one runs or no thread
    // can be had.
    std::future<OpResult> Start(std::shared_ptr<IDialogHost> host, UpgradeTiming timing);
    bool IsRunning() const;
    // Waits up to `timeoutMs` for a running update to end; true when idle.
    bool Wait(std::uint32_t timeoutMs) const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};
