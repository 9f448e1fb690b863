#include "firmware/file_transfer.h"

#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_host.h"
#include "dialog/step.h"
#include "firmware/file_image.h"
#include "firmware/load_slots.h"
#include "firmware/progress_bar.h"
#include "firmware/transfer_packets.h"
#include "link/command_codes.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {

// The load address the list's field shows; none when the field shows typed
// text that is no entry (an address of the operator's own is never used).
std::optional<std::uint32_t> SelectedLoadAddress(IDialogView& view) {
    const int sel = view.ComboGetCurSel(IDC_LOAD_ADDRESS);
    if (sel < 0 || sel >= kLoadSlotCount)
        return std::nullopt;
    return LoadAddressForIndex(sel);
}

// One download request; done when the link says ST_OK, whatever the box's
// result word.
bool SendPacket(IDialogHost& host, const std::uint8_t* packet, std::size_t length) {
    std::uint16_t result_code = 0;
    std::uint32_t recieve_length = 0;
    std::uint8_t usart_recieve_buffer[kHandlerReplyBufSize] = {};
    return host.Transact(CMD_FILE_DATA, SUB_DEFAULT, packet, static_cast<std::uint32_t>(length),
                         &result_code, usart_recieve_buffer, REPLY_LIMIT, &recieve_length,
                         TIMEOUT_TRANSFER_MS) == ST_OK;
}
}  // namespace

void OnSendFile(IDialogHost& host) {
    IDialogView& view = host.View();
    const std::optional<std::uint32_t> selected = SelectedLoadAddress(view);
    if (!selected) {
        host.ShowStatus(kTextNoLoadAddress);
        return;
    }
    const std::string file_path = view.GetItemText(IDC_TARGET_FILE);
    std::vector<std::uint8_t> image;
    switch (ReadFileImage(file_path, image)) {
        case ImageLoad::Ok:
            break;
        case ImageLoad::OpenFailed:
            host.ShowStatus(kTextSendCannotOpen);
            return;
        case ImageLoad::NoMemory:
            host.ShowStatus(kTextSendNoMemory);
            return;
        case ImageLoad::ShortRead:
        case ImageLoad::TooLarge:
            host.ShowStatus(kTextSendReadError);
            return;
    }
    const auto length = static_cast<std::uint32_t>(image.size());
    const std::uint32_t loadAddress = *selected;
    // A file reaching past the top of the box's address space would wrap its
    // target addresses onto the bottom of memory.
    if (!DownloadFitsAddressSpace(loadAddress, length)) {
        host.ShowStatus(kTextSendReadError);
        return;
    }
    Sha1Digest digest{};
    if (!ComputeSha1(image.data(), image.size(), digest)) {
        // Without a digest the box would reject the file; nothing is sent.
        host.ShowStatus(kTextSendFailed);
        return;
    }

    CTransferProgress bar(view);
    const auto info = BuildInfoBlock(loadAddress, length, digest);
    if (!SendPacket(host, info.data(), info.size())) {
        host.ShowStatus(kTextSendFailed);
        return;
    }
    std::uint32_t offset = 0;
    for (;;) {
        const std::uint32_t n = NextChunkLength(offset, length);
        const std::vector<std::uint8_t> packet =
            BuildDownloadPacket(loadAddress + kFileDataOffset + offset, image.data() + offset, n);
        if (!SendPacket(host, packet.data(), packet.size())) {
            host.ShowStatus(kTextSendFailed);
            return;
        }
        offset += n;
        if (offset >= length) {
            host.ShowStatus(kTextSent);
            return;
        }
        host.ShowStatus(kTextSending + std::to_string(offset) + "/" + std::to_string(length) +
                        kTextProgressTail);
        bar.Set(offset, length);
    }
}

void OnJump(IDialogHost& host) {
    const std::optional<std::uint32_t> selected = SelectedLoadAddress(host.View());
    if (!selected) {
        host.ShowStatus(kTextNoLoadAddress);
        return;
    }
    const auto request = BuildJumpRequest(*selected);
    std::uint16_t result_code = 0;
    std::uint32_t recieve_length = 0;
    std::uint8_t usart_recieve_buffer[kHandlerReplyBufSize] = {};
    const StatusWord status = host.Transact(
        CMD_JUMP, SUB_DEFAULT, request.data(), static_cast<std::uint32_t>(request.size()),
        &result_code, usart_recieve_buffer, REPLY_LIMIT, &recieve_length, TIMEOUT_TRANSFER_MS);
    if (status == ST_OK)
        host.ShowStatus(kTextJumping);
}
