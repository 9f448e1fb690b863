#pragma once
// IDialogHost: what a handler needs of the dialog it runs in: its controls,
// its status line and its transaction forwarder. CVornakDlg implements it; the
// handlers of each area (identity, settings, firmware) take it by reference,
// so the window, the command-line tool and the tests run the same code.

#include <cstdint>
#include <string>

#include "dialog/dialog_view.h"
#include "link/status_words.h"

class CDeviceLink;

class IDialogHost {
public:
    virtual ~IDialogHost() = default;

    virtual IDialogView& View() = 0;
    // Makes `text` the whole content of the status line.
    virtual void ShowStatus(const std::string& text) = 0;
    // Forwards to the link's transaction with the arguments unchanged.
    virtual StatusWord Transact(std::uint16_t command, std::uint16_t subCode,
                                const std::uint8_t* data, std::uint32_t dataLength,
                                std::uint16_t* resultWord, std::uint8_t* reply,
                                std::uint32_t replyLimit, std::uint32_t* replyLength,
                                std::uint32_t firstByteTimeoutMs) = 0;
    virtual CDeviceLink* Link() = 0;
};
