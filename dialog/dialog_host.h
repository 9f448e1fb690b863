#pragma once
// IDialogHost: what a handler needs of the dialog it runs in: its controls,
// its status line, its way to the box, and a place for the outcome of the
// handler that ran. CVornakDlg implements it; the handlers of each area
// (identity, settings, firmware) take it by reference, so the window, the
// command-line tool and the tests run the same code.

#include <string>

#include "dialog/dialog_view.h"
#include "ops/transactor.h"
#include "ops/op_result.h"

class CDeviceLink;

class IDialogHost : public ITransactor {
public:
    virtual IDialogView& View() = 0;
    // Makes `text` the whole content of the status line.
    virtual void ShowStatus(const std::string& text) = 0;
    virtual CDeviceLink* Link() = 0;
    // Each handler that talks to the box ends by recording its outcome, `ok`
    // meaning what the handler counts as success (the command-line tool's
    // verdict).
    virtual void RecordOutcome(const OpResult& outcome) = 0;
};
