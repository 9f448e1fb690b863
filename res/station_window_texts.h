#pragma once
// The station window's and its tiles' own words (headings, hints, counters,
// questions), in one place; UTF-8. A text with %1 (and %2) takes values in
// order, as QString::arg() fills them.

// The header: the scan field and the recipe running.
inline constexpr char kTextScanLabel[] = "扫描型号条码:";
inline constexpr char kTextScanHint[] = "扫描或输入型号后按回车";
inline constexpr char kTextWindowTitle[] = "Vornak 生产工位 - %1";
inline constexpr char kTextRecipeLine[] = "配方: %1  [%2]";
// After the recipe line when it came from a release bundle: its number.
inline constexpr char kTextReleaseNumber[] = "  发布包 %1";

// The record list's columns and the detail's hint.
inline constexpr char kTextColumnTime[] = "时间";
inline constexpr char kTextColumnSlot[] = "工位";
inline constexpr char kTextColumnSerial[] = "序列号";
inline constexpr char kTextColumnResult[] = "结果";
inline constexpr char kTextColumnReason[] = "原因";
inline constexpr char kTextDetailHint[] = "选择一条记录查看详情";

// The shift's counters ("—" while there is no figure yet).
inline constexpr char kTextPassedCount[] = "合格 %1";
inline constexpr char kTextFailedCount[] = "   不合格 %1";
inline constexpr char kTextYield[] = "   一次通过率 %1";
inline constexpr char kTextMeanCycle[] = "   平均节拍 %1";
inline constexpr char kTextNoFigure[] = "—";

// Opening the window: a records store that can't be opened (its reason
// follows).
inline constexpr char kTextCannotOpenStore[] = "无法打开记录库 ";

// Starting, stopping and switching the group.
inline constexpr char kTextCannotStart[] = "无法启动工位: ";
inline constexpr char kTextAbortingUnits[] = "正在中止进行中的单元...";
inline constexpr char kTextCloseQuestion[] =
    "有设备正在进行中,关闭将中止这些单元(记录为中止)。\n确定关闭吗?";
inline constexpr char kTextStoppingStation[] = "正在停止工位...";
inline constexpr char kTextSameRecipe[] = "已是当前配方: ";
// While a scanned variant's recipe is looked up (%1: the scan), and a scan
// that comes meanwhile.
inline constexpr char kTextLookingUp[] = "正在查找型号 %1 的配方...";
inline constexpr char kTextScanBusy[] = "上一个条码仍在查找中,请稍候再扫描。";
inline constexpr char kTextScanFailed[] = "无法查找配方: ";
inline constexpr char kTextSwitchQuestion[] =
    "有设备正在进行中,切换配方将中止这些单元(记录为中止)。\n确定切换到 %1 吗?";
inline constexpr char kTextSwitched[] = "已切换配方: ";
// A scanned release bundle older than one that already passed its variant
// (or whose age can't be checked) is not switched to; the reason follows.
inline constexpr char kTextRollbackRefused[] =
    "未切换: 此发布包不能运行(较新的版本已合格,或无法核对), 原因:\n";

// A tile: its slot, states, hints and clock.
inline constexpr char kTextTileSlot[] = "工位 ";
inline constexpr char kTextTileWaiting[] = "等待设备";
inline constexpr char kTextTileRunning[] = "进行中";
inline constexpr char kTextTileAborted[] = " (中止)";
inline constexpr char kTextPlaceBox[] = "请放入设备";
inline constexpr char kTextBoxConnected[] = "设备已连接";
inline constexpr char kTextTileStep[] = "步骤: ";
inline constexpr char kTextRemoveBox[] = "请取下设备";
inline constexpr char kTextBoxRemoved[] = "已取下,请放入下一台";
inline constexpr char kTextTileSerial[] = "序列号 ";
inline constexpr char kTextElapsedNone[] = "用时 —";
inline constexpr char kTextElapsedSeconds[] = "用时 %1 s";
inline constexpr char kTextElapsedMinutes[] = "用时 %1:%2";

// The shift report button (its caption is the report's title, kReportTitle,
// the %1 below; %2 is the file).
inline constexpr char kTextReportWritten[] = "%1已写入: %2";
inline constexpr char kTextReportNotWritten[] = "无法写入%1 %2";
// The report was written but no browser could be started for it.
inline constexpr char kTextReportNotOpened[] = "无法打开浏览器,请手动打开该文件。";
// The file could be written: the records could not be read, or the disk
// failed while writing.
inline constexpr char kTextReportStoreOrDisk[] =
    "无法读取记录库,或写入时磁盘出错:请检查记录库(数据库服务器)是否可用、磁盘是否正常。";
