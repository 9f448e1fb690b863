#pragma once
// The files a station keeps its records in when not told otherwise (beside
// the recipe; `vornak-cli records` looks in the current folder).

// The SQLite store.
inline constexpr char kDefaultStoreFile[] = "records.db";
// A PostgreSQL store's local queue: records wait there while the server is
// away, and the station's own records stay there for its interlock.
inline constexpr char kQueueStoreFile[] = "records-queue.db";
