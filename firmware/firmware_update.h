#pragma once
// The firmware update's handler: runs the update (ops/firmware_ops.h) on the
// package the package list names and shows it: every outcome on the status
// line, the transfer's progress bar (busy while the box applies the update),
// and the version and serial read again in their fields. It runs on the
// worker of CUpgradeRunner and touches only what the host gives it.

#include <string>

#include "ops/op_result.h"
#include "ops/upgrade_timing.h"

class IDialogHost;

// The whole procedure, on the calling thread; outcomes go to the status line.
// The package is the selected entry of the package list in ./Prg. Returns
// the update's result, `ok` only when no step failed, not even one after the
// commit.
OpResult RunUpgrade(IDialogHost& host, const UpgradeTiming& timing);
// The same procedure for a package anywhere; the package list is not looked at.
OpResult RunUpgradeFromPath(IDialogHost& host, const std::string& packagePath,
                            const UpgradeTiming& timing);
