#pragma once
// The station's words for the operator (tiles, the record detail, read-back
// differences), in one place; UTF-8.

// A unit's result in words.
inline constexpr char kTextResultPass[] = "合格";
inline constexpr char kTextResultFail[] = "不合格";
inline constexpr char kTextResultAborted[] = "已中止";

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

// A box of no family the release bundle is for: "设备型号不符:发布包只适用于
// "VBX-100 ",设备版本为 "VBX-200 V1.0"".
inline constexpr char kTextIncompatibleBox[] = "设备型号不符:发布包只适用于 ";
inline constexpr char kTextBoxVersion[] = ",设备版本为 ";

// The record list's search by serial: its hint, and what it says when a
// serial has no record or the store could not be read.
inline constexpr char kTextSearchSerialHint[] = "按序列号查找记录,回车查找,清空显示最近记录";
inline constexpr char kTextSearchNothing[] = "没有此序列号的记录: ";
inline constexpr char kTextSearchFailed[] = "无法查找记录: ";
