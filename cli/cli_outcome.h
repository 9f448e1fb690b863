#pragma once
// The final outcome of a command, judged from what the window would have
// shown: the status-line texts in order and the controls the handler wrote.
//
//  connect         last status text "设备连接成功."
//  info            no status text holds an error text ("错误:...")
//  disconnect      last status text "断开连接正常!"
//  read-settings   no error text, and the controls of all three blocks were
//                  set from the box
//  write-settings  no error text, and "写入设置成功" once for each of the three
//                  blocks
//  factory-reset   last status text "恢复出厂设置成功"
//  upgrade         last status text "固件刷新成功!" and no error text
//  send            last status text "文件发送完成."
//  jump            last status text "正在装载 ..."

#include "cli/cli_options.h"
#include "cli/cli_output.h"

bool IsSuccessfulOutcome(CliCommand command, const CCliReporter& reporter);
