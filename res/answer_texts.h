#pragma once
// The answers of every question the windows ask (a message box's buttons),
// with their keyboard accelerators.

inline constexpr char kAnswerYes[] = "是(&Y)";
inline constexpr char kAnswerNo[] = "否(&N)";
inline constexpr char kAnswerOk[] = "确定";
