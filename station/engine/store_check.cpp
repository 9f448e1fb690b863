#include "station/engine/store_check.h"

CStoreCheck::CStoreCheck(IRecordStore& store, std::chrono::milliseconds delay)
    : m_store(store), m_thread([this, &store, delay] {
          {
              std::unique_lock lock(m_lock);
              if (m_wake.wait_for(lock, delay, [this] { return m_cancel.load(); })) {
                  m_done = true;
                  return;
              }
          }
          std::string why;
          if (!store.CheckIntegrity(why, m_cancel)) {
              std::lock_guard lock(m_lock);
              m_damage = why;
          }
          m_done = true;
      }) {}

CStoreCheck::~CStoreCheck() {
    {
        std::lock_guard lock(m_lock);
        m_cancel = true;
    }
    m_wake.notify_all();
    m_store.CancelIntegrityCheck();
    m_thread.join();
}

std::optional<std::string> CStoreCheck::Damage() const {
    std::lock_guard lock(m_lock);
    return m_damage;
}
