#pragma once
// What the station tells the operator about its records store, in the
// operator's language.

inline constexpr char kStoreFaultDiskFull[] = "磁盘已满";
inline constexpr char kStoreFaultLocked[] = "记录库被其他程序锁定";
inline constexpr char kStoreFaultCorrupt[] = "记录库文件已损坏";
inline constexpr char kStoreFaultReadOnly[] = "记录库无法写入(权限或只读)";
inline constexpr char kStoreFaultIo[] = "磁盘读写错误";
inline constexpr char kStoreFaultOther[] = "记录库错误";

// After a record was not stored: no new box until the store takes it.
inline constexpr char kStorePaused[] = "记录未能保存,暂停接收新设备;记录库恢复后自动继续";
inline constexpr char kStoreResumed[] = "记录库已恢复,继续接收设备";

// The store's full check found damage: the line stops until it is mended.
inline constexpr char kStoreDamaged[] =
    "记录库文件已损坏,停止接收新设备;请修复或更换记录库后重新启动工位";

// A PostgreSQL store's server.
inline constexpr char kServerAway[] = "记录服务器不可达:记录暂存本机,服务器恢复后自动补传";
inline constexpr char kServerBack[] = "记录服务器已恢复";
inline constexpr char kServerWaiting[] = "条记录等待补传";
inline constexpr char kServerRequired[] = "记录服务器不可达:暂停接收新设备(--require-server)";
