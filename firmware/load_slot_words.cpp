#include "firmware/load_slot_words.h"

#include "res/status_texts.h"

std::string DownloadProgressText(std::uint32_t done, std::uint32_t total) {
    return kTextSending + std::to_string(done) + "/" + std::to_string(total) + kTextProgressTail;
}

const char* DownloadResultText(const OpResult& result) {
    if (result.ok)
        return kTextSent;
    switch (result.failedStep) {
        case OpStep::LoadSlot:
            return kTextNoLoadAddress;
        case OpStep::FileOpen:
            return kTextSendCannotOpen;
        case OpStep::FileMemory:
            return kTextSendNoMemory;
        case OpStep::FileRead:
        case OpStep::AddressRange:
            return kTextSendReadError;
        default:
            return kTextSendFailed;
    }
}

const char* JumpResultText(const OpResult& result) {
    if (result.ok)
        return kTextJumping;
    return result.failedStep == OpStep::LoadSlot ? kTextNoLoadAddress : nullptr;
}
