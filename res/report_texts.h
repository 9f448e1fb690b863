#pragma once
// The shift report's texts (records/report/), in the operator's language.
// Step names, reason codes and results are worded by station/station_words.h.

inline constexpr char kReportTitle[] = "班次报告";
inline constexpr char kReportPeriod[] = "时间范围";
inline constexpr char kReportPeriodAll[] = "全部记录";
inline constexpr char kReportFilters[] = "筛选条件";
inline constexpr char kReportMade[] = "生成时间";
inline constexpr char kReportTimeZone[] = "时间均为本地时间";
inline constexpr char kReportNoUnits[] = "该时间范围内没有记录.";
// At the top of a report made while the plant database did not answer.
inline constexpr char kReportLocalOnly[] =
    "注意: 数据库服务器未应答, 本报告只含本机尚未上传的记录, 不是全部记录。"
    "请在服务器恢复后重新生成。";

inline constexpr char kReportHeadline[] = "概况";
inline constexpr char kReportWholePeriod[] = "整个时间范围";
inline constexpr char kReportShift[] = "班次";
inline constexpr char kReportUnits[] = "数量";
inline constexpr char kReportPassed[] = "合格";
inline constexpr char kReportFailed[] = "不合格";
inline constexpr char kReportAborted[] = "已中止";
inline constexpr char kReportFirstPassYield[] = "一次合格率";
inline constexpr char kReportMeanCycle[] = "平均节拍";
inline constexpr char kReportP95Cycle[] = "95% 节拍";

inline constexpr char kReportPerHour[] = "每小时数量与一次合格率";
inline constexpr char kReportPerDay[] = "每日数量与一次合格率";
inline constexpr char kReportBarUnits[] = "柱: 数量";
inline constexpr char kReportLineYield[] = "线: 一次合格率";

inline constexpr char kReportPareto[] = "失败原因排列图";
inline constexpr char kReportReason[] = "原因";
inline constexpr char kReportStep[] = "失败步骤";
inline constexpr char kReportCount[] = "次数";
inline constexpr char kReportCumulative[] = "累计占比";
inline constexpr char kReportLineCumulative[] = "线: 累计占比";
inline constexpr char kReportNoFailures[] = "没有不合格或中止的设备.";

inline constexpr char kReportPerSlot[] = "各工位不合格数";
inline constexpr char kReportPerAdapter[] = "各串口适配器不合格数";
inline constexpr char kReportSlot[] = "工位";
inline constexpr char kReportNoSlot[] = "(单工位)";
inline constexpr char kReportNoAdapter[] = "(未知)";

inline constexpr char kReportCycleCharts[] = "各工位节拍运行图";
inline constexpr char kReportCycleLegend[] = "均值与 ±3σ 控制限; 红点为超出控制限的设备";
inline constexpr char kReportMean[] = "均值";
inline constexpr char kReportSigma[] = "σ";
inline constexpr char kReportUpperLimit[] = "上限";
inline constexpr char kReportLowerLimit[] = "下限";
inline constexpr char kReportOutside[] = "超限";
inline constexpr char kReportSeconds[] = "秒";

inline constexpr char kReportFailedUnits[] = "未通过的设备";
inline constexpr char kReportSerial[] = "序列号";
inline constexpr char kReportTime[] = "时间";
inline constexpr char kReportResult[] = "结果";
inline constexpr char kReportDifferences[] = "读回差异 / 说明";

// The filters a report was made with (times as given, UTC).
inline constexpr char kReportFilterSince[] = "开始于(UTC)不早于";
inline constexpr char kReportFilterUntil[] = "开始于(UTC)早于";
inline constexpr char kReportFilterSerial[] = "序列号";
inline constexpr char kReportFilterVersion[] = "完成后版本";
inline constexpr char kReportFilterPackage[] = "固件包 SHA-256";
inline constexpr char kReportFilterRecipe[] = "配方 SHA-256";
inline constexpr char kReportFilterVariant[] = "车型";
inline constexpr char kReportFilterStation[] = "工站";
inline constexpr char kReportFilterBundle[] = "发布包标识";
inline constexpr char kReportFilterRelease[] = "发布版本号";
inline constexpr char kReportFilterSigner[] = "签名密钥";
inline constexpr char kReportFilterResult[] = "结果";
inline constexpr char kReportFilterNone[] = "无";
