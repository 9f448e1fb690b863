#include "app/qt/background_work.h"

#include <QMetaObject>
#include <utility>

CBackgroundWork::CBackgroundWork() : m_receiver(std::make_unique<QObject>()) {}

CBackgroundWork::~CBackgroundWork() {
    // Before the receiver goes: a job's thread may be posting to it.
    JoinAll();
}

bool CBackgroundWork::Busy(const std::string& lane) const {
    const auto found = m_lanes.find(lane);
    return found != m_lanes.end() && found->second.thread.joinable();
}

void CBackgroundWork::Start(const std::string& lane, Work work) {
    Lane& slot = m_lanes[lane];
    const std::uint64_t job = ++m_lastJob;
    slot.job = job;
    QObject* receiver = m_receiver.get();
    slot.thread = std::thread([this, receiver, lane, job, work = std::move(work)] {
        std::function<void()> then = work();
        QMetaObject::invokeMethod(
            receiver, [this, lane, job, then = std::move(then)] { Continue(lane, job, then); },
            Qt::QueuedConnection);
    });
}

void CBackgroundWork::Continue(const std::string& lane, std::uint64_t job,
                               const std::function<void()>& then) {
    Lane& slot = m_lanes.at(lane);
    // Joined by JoinAll meanwhile, or a later job's lane: not this job's turn.
    if (slot.job != job || !slot.thread.joinable())
        return;
    slot.thread.join();
    then();
}

void CBackgroundWork::JoinAll() {
    for (auto& [name, slot] : m_lanes) {
        if (slot.thread.joinable())
            slot.thread.join();
    }
}
