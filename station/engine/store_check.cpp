#include "station/engine/store_check.h"

CStoreCheck::CStoreCheck(IRecordStore& store)
    : m_store(store), m_thread([this, &store] {
          std::string why;
          if (!store.CheckIntegrity(why, m_cancel)) {
              std::lock_guard lock(m_lock);
              m_damage = why;
          }
          m_done = true;
      }) {}

CStoreCheck::~CStoreCheck() {
    m_cancel = true;
    m_store.CancelIntegrityCheck();
    m_thread.join();
}

std::optional<std::string> CStoreCheck::Damage() const {
    std::lock_guard lock(m_lock);
    return m_damage;
}
