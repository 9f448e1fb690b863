#pragma once
// The texts the status line shows, in one place: the handlers write them.
// Nobody judges an outcome by them; the operations' result values say that.

// Connection and identity.
inline constexpr char kTextConnected[] = "设备连接成功.";
inline constexpr char kTextDisconnected[] = "断开连接正常!";
inline constexpr char kTextDisconnectFailed[] = "断开连接异常!";
// Disconnect while a firmware update runs does nothing but say why.
inline constexpr char kTextDisconnectDuringUpgrade[] = "固件升级正在进行,升级结束后才能断开连接.";
// Any other click that would talk to the box while an update runs: "A firmware
// update is running; the box can be used once it has ended."
inline constexpr char kTextBoxBusyDuringUpgrade[] = "固件升级正在进行,升级结束后才能操作设备.";
// The line went away (box or cable unplugged); the port is closed.
inline constexpr char kTextLineGone[] = "设备连接已断开,请检查连线后重新连接.";
// Every failed step: the failure code follows as four hexadecimal digits.
inline constexpr char kTextErrorPrefix[] = "错误:";

// Settings panel.
inline constexpr char kTextWriteOk[] = "写入设置成功";
inline constexpr char kTextFactoryResetOk[] = "恢复出厂设置成功";
// Write settings refuses while an option has no value (nothing read yet, or a
// read that failed): writing made-up values would overwrite the box's
// configuration. "Read the settings first: some options have no selection."
inline constexpr char kTextWriteNeedsRead[] = "请先读出设置:有选项未选择";

// Firmware update.
inline constexpr char kTextUpgradeLoading[] = "正在装载程序,请稍候....";
inline constexpr char kTextUpgradeCannotOpen[] = "无法打开程序文件:";
inline constexpr char kTextUpgradeNoMemory[] = "申请内存失败!";
inline constexpr char kTextUpgradeIncomplete[] = "读取文件数据不完整!";
inline constexpr char kTextUpgradeDownloading[] = "正在下载数据";
inline constexpr char kTextUpgradeUpdating[] = "正在更新固件...";
inline constexpr char kTextUpgradeDone[] = "固件刷新成功!";
// The line went away (box or cable unplugged) before the box took the whole
// package: "The connection was lost; the firmware update did not complete.
// Run it again once the box is connected again."
inline constexpr char kTextUpgradeLineGone[] =
    "设备连接已断开,固件升级未完成,请在设备重新连接后重新升级固件.";

// File download and jump.
inline constexpr char kTextSendCannotOpen[] = "无法打开指定文件.";
inline constexpr char kTextSendNoMemory[] = "申请内存失败.";
inline constexpr char kTextSendReadError[] = "读取文件出错.";
inline constexpr char kTextSending[] = "文件发送中";
inline constexpr char kTextSent[] = "文件发送完成.";
inline constexpr char kTextSendFailed[] = "文件发送失败.";
inline constexpr char kTextJumping[] = "正在装载 ...";
// Send and Jump refuse while the load-address list shows no entry of its own
// (typed text): "Choose a load address first."
inline constexpr char kTextNoLoadAddress[] = "请先选择装载地址";

// Tail of every progress text.
inline constexpr char kTextProgressTail[] = "  ....";
