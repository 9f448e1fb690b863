#pragma once
// One step of a handler: a transaction judged by the step rule of the box
// operations (ops/op_step.h).

#include <cstdint>
#include <string>

#include "dialog/dialog_host.h"
#include "ops/op_step.h"

// Reply buffer of a handler; the link is offered REPLY_LIMIT bytes of it.
constexpr std::size_t kHandlerReplyBufSize = 544;

struct StepResult {
    bool ok = false;
    std::uint16_t failureCode = 0;
    StatusWord status = 0;
    std::uint16_t wCode = 0;
    std::uint32_t dwRxLen = 0;
};

StepResult RunStep(IDialogHost& host, std::uint16_t command, std::uint16_t subCode,
                   const std::uint8_t* data, std::uint32_t dataLength, std::uint8_t* replyBuf,
                   std::uint32_t firstByteTimeoutMs);

// The error text of a failed step: kTextErrorPrefix and the code as four
// hexadecimal digits ("错误:EF03").
std::string ErrorText(std::uint16_t code);

// Bytes of reply data actually in the buffer: the reply length, but never more
// than the link copied (REPLY_LIMIT).
std::uint32_t CopiedReplyBytes(std::uint32_t replyLength);
