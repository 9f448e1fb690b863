#pragma once
// The station's words for the operator (tiles, the record detail, read-back
// differences), in one place; UTF-8.

// An option's flag value in words.
inline constexpr char kTextFlagOn[] = "开启";
inline constexpr char kTextFlagOff[] = "关闭";
// A selection that holds no entry of its list.
inline constexpr char kTextNoSelection[] = "未选择";
// A read-back difference: "锁车输出时间: 应为 2秒, 读回 1秒".
inline constexpr char kTextExpected[] = "应为 ";
inline constexpr char kTextReadBack[] = "读回 ";

// A box whose serial already passed the recipe, refused and left in its slot:
// its tile's state word and hint, the tile's button and the question it asks.
inline constexpr char kTextRefusedState[] = "已合格";
inline constexpr char kTextRefusedHint[] = "需返工请找班组长";
inline constexpr char kTextReworkButton[] = "返工重测...";
inline constexpr char kTextReworkQuestionBefore[] = "序列号 ";
inline constexpr char kTextReworkQuestionAfter[] =
    " 已通过此配方。\n确定把它作为返工重新测试吗?(固件与配置将重新写入)";
// The shift's count of such refusals, beside passed and failed.
inline constexpr char kTextRefusedCount[] = "   需返工 ";

// A tile while the box applies a firmware update (silent, after the last
// packet): the box must keep its power.
inline constexpr char kTextApplyingUpdate[] = "设备正在更新固件,请勿断电";

// The shift report button (its caption is the report's title, kReportTitle):
// "班次报告已写入: PATH", or "无法写入班次报告 PATH" with the reason below.
inline constexpr char kTextReportWritten[] = "已写入: ";
inline constexpr char kTextReportNotWritten[] = "无法写入";
// The report was written but no browser could be started for it.
inline constexpr char kTextReportNotOpened[] = "无法打开浏览器,请手动打开该文件。";
// The file could be written: the records could not be read, or the disk
// failed while writing.
inline constexpr char kTextReportStoreOrDisk[] =
    "无法读取记录库,或写入时磁盘出错:请检查记录库(数据库服务器)是否可用、磁盘是否正常。";
