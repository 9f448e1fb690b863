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
