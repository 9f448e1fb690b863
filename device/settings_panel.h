#pragma once
// The settings panel's handlers: filling the option lists, the read behind the
// advanced toggle, Read settings, Write settings and Factory reset.
//
// Toolkit-free: every control is reached by its ID through the host's view at
// the moment of use, and every outcome goes to the status line through
// IDialogHost::ShowStatus. Each handler blocks its caller until its last
// transaction ends; nothing survives a click except what the controls show.

#include "dialog/dialog_host.h"
#include "layouts/device_settings.h"

// Fills every option list in order and leaves every option control without a
// value until a read succeeds.
void FillOptionLists(IDialogView& view);
// The reads below show each block that was read; a block whose read failed
// shows no value (ClearBlockValues), whatever it showed before.
//
// Reads the three blocks into the controls, reporting failures and no
// success: what the advanced toggle does after it opens or closes the panel,
// and Factory reset after the box accepted it.
void ReadSettingsQuietly(IDialogHost& host);
// Each returns its outcome: the read's (every block read whole), the write's
// (every block written; an Input failure when some option has no value), the
// reset's and then the read's after it.
OpResult OnBnClickedReadSettings(IDialogHost& host);
OpResult OnBnClickedWriteSettings(IDialogHost& host);
OpResult OnBnClickedFactoryReset(IDialogHost& host);

// A record made from the controls: a flag is on exactly when its check box is
// checked; a selection is the combo box's selected index, or none when nothing
// (or no entry of the option's list) is selected.
DeviceSettings SettingsFromControls(const IDialogView& view);

// Sets the controls of one block (1..3) from the record; a selection that is
// none clears its combo box's selection. Controls of other blocks are untouched.
void SetBlockControls(IDialogView& view, const DeviceSettings& settings, int block);

// Makes the controls of one block (1..3) show no value: check boxes neither on
// nor off, combo boxes without a selection. What a block holds once its read
// failed, or once the panel's values came from another box: Write settings
// refuses until a read of the block succeeds or the operator has given every
// option of it a value.
void ClearBlockValues(IDialogView& view, int block);

// Whether every option's control shows a value.
bool EveryOptionHasAValue(const IDialogView& view);
