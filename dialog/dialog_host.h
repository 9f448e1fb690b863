#pragma once
// IDialogHost: what a handler needs of the dialog it runs in: its controls,
// its status line and its way to the box. CVornakDlg implements it; the
// handlers of each area (identity, settings, firmware) take it by reference,
// so the window, the command-line tool and the tests run the same code. A
// handler that talks to the box returns its outcome (an OpResult, `ok`
// meaning what the handler counts as success) to whoever judges it.

#include <string>

#include "dialog/dialog_view.h"
#include "ops/op_result.h"
#include "ops/transactor.h"

class CDeviceLink;

class IDialogHost : public ITransactor {
public:
    virtual IDialogView& View() = 0;
    // Makes `text` the whole content of the status line.
    virtual void ShowStatus(const std::string& text) = 0;
    virtual CDeviceLink* Link() = 0;
};
