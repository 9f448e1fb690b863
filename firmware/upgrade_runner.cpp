#include "firmware/upgrade_runner.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "dialog/dialog_host.h"

struct CUpgradeRunner::State {
    std::mutex mutex;
    std::condition_variable idle;
    bool running = false;

    void Finish() {
        {
            std::lock_guard lock(mutex);
            running = false;
        }
        idle.notify_all();
    }
};

CUpgradeRunner::CUpgradeRunner() : m_state(std::make_shared<State>()) {}

CUpgradeRunner::~CUpgradeRunner() = default;

std::future<OpResult> CUpgradeRunner::Start(std::shared_ptr<IDialogHost> host,
                                            UpgradeTiming timing) {
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->running)
            return {};
        m_state->running = true;
    }
    std::promise<OpResult> promise;
    std::future<OpResult> result = promise.get_future();
    try {
        std::thread([state = m_state, host = std::move(host), timing,
                     promise = std::move(promise)]() mutable {
            OpResult r;  // a run that throws ends failed
            try {
                r = RunUpgrade(*host, timing);
            } catch (...) {
            }
            // The host goes before the runner turns idle, so a waiter that then
            // tears down the link finds no worker holding on to it.
            host.reset();
            promise.set_value(std::move(r));
            state->Finish();
        }).detach();
    } catch (const std::system_error&) {
        m_state->Finish();
        return {};
    }
    return result;
}

bool CUpgradeRunner::IsRunning() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->running;
}

bool CUpgradeRunner::Wait(std::uint32_t timeoutMs) const {
    std::unique_lock lock(m_state->mutex);
    return m_state->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return !m_state->running; });
}
