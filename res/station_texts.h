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

// A unit's own steps: what the station says while it runs them.
inline constexpr char kTextVersionSkip[] = "已是目标版本,跳过固件更新";
inline constexpr char kTextVersionWrong[] = "版本不符:";
inline constexpr char kTextNotSelectable[] = "设备中的选项值无效:";
inline constexpr char kTextReadBackDiffers[] = "读回不一致:";
inline constexpr char kTextAlreadyPassed[] = "该序列号已通过此配方(需返工请用 --rework)";
inline constexpr char kTextRetry[] = "上次未通过,重试";
inline constexpr char kTextRework[] = "返工";
inline constexpr char kTextAborted[] = "已中止";
// A file of the recipe was refused before any byte of it was sent.
inline constexpr char kTextFileNotSent[] = "文件未能发送:";
inline constexpr char kTextSettingsWritten[] = "设置已写入并读回一致";
inline constexpr char kTextDuplicateSerialBefore[] = "序列号重复:该序列号正在工位 ";
inline constexpr char kTextDuplicateSerialAfter[] = " 测试(设备放错?)";
// A request the box refused (its result word) or the line failed (the
// link's status word), followed by the word in hex.
inline constexpr char kTextBoxRefusedWord[] = "设备拒绝: ";
inline constexpr char kTextLinkFailedWord[] = "通信失败: ";
// The store refused the unit's record.
inline constexpr char kTextRecordFailed[] = "记录未能保存:";

// Picking a recipe by a scanned variant.
inline constexpr char kTextScanEmpty[] = "扫描内容为空";
inline constexpr char kTextUnknownVariant[] = "未知型号: ";
inline constexpr char kTextNoRecipeInBefore[] = " (";
inline constexpr char kTextNoRecipeInAfter[] = " 中没有该型号的配方)";
inline constexpr char kTextUnreadableRecipes[] = "\n无法读取的配方:";
inline constexpr char kTextVariantBefore[] = "型号 ";
inline constexpr char kTextManyRecipesAfter[] = " 有多个配方:";

// The command-line station's words on stderr.
inline constexpr char kTextStopping[] = "停止";
// What keeps a slot's port from being used, before the technical cause; and
// that it is over.
inline constexpr char kTextPortNoPermission[] = "没有打开串口的权限";
inline constexpr char kTextPortBusy[] = "串口被其他程序占用";
inline constexpr char kTextPortGone[] = "串口不存在(USB 串口适配器未插好?)";
inline constexpr char kTextPortNotSerial[] = "所选的不是串口设备";
inline constexpr char kTextPortUnusable[] = "串口无法打开";
inline constexpr char kTextPortChoiceProblem[] = "串口选择有误";
inline constexpr char kTextPortBack[] = "串口已恢复正常";
// The line lost while the firmware went out: the box holds no whole firmware.
inline constexpr char kTextUpdateUnfinished[] =
    "设备连接中断,固件升级未完成:请在设备重新连接后重新升级固件 / ";
// A stop with records the store has not taken: the box, its unit and where
// the record waits.
inline constexpr char kTextRecordWaits[] =
    "记录尚未保存:设备 %s(单元 %s)的记录暂存于 %s,下次启动工位时先行保存\n";
inline constexpr char kTextStopAfterUnit[] =
    "本单元完成后停止;再按一次 Ctrl-C 立即中止本单元(记录为中止)";
inline constexpr char kTextAborting[] = "正在中止本单元...";
inline constexpr char kTextWaitingForBox[] = "等待设备";
inline constexpr char kTextBoxConnectedAt[] = "设备已连接 ";
inline constexpr char kTextStepWord[] = "步骤 ";
inline constexpr char kTextStepFailed[] = " 失败: ";
inline constexpr char kTextBoxGone[] = "设备已移除";
// "配方 NAME (VARIANT), 记录: STORE"
inline constexpr char kTextRecipeAndStore[] = "配方 %s (%s), 记录: %s\n";
// "发布包: 版本号 N, 签名密钥 KEY[, 回退(--allow-rollback)]"
inline constexpr char kTextBundleLine[] = "发布包: 版本号 %lld, 签名密钥 %s%s\n";
inline constexpr char kTextRollbackMark[] = ", 回退(--allow-rollback)";
