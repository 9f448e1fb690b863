#include "dialog/step.h"

#include <algorithm>
#include <cstdio>

#include "link/command_codes.h"
#include "res/status_texts.h"

StepResult RunStep(IDialogHost& host, std::uint16_t command, std::uint16_t subCode,
                   const std::uint8_t* data, std::uint32_t dataLength, std::uint8_t* replyBuf,
                   std::uint32_t firstByteTimeoutMs) {
    StepResult r;
    r.status = host.Transact(command, subCode, data, dataLength, &r.wCode, replyBuf, REPLY_LIMIT,
                             &r.dwRxLen, firstByteTimeoutMs);
    LinkReply reply;
    reply.status = r.status;
    reply.resultWord = r.wCode;
    reply.length = r.dwRxLen;
    r.ok = StepSucceeded(reply);
    if (!r.ok)
        r.failureCode = StepFailureCode(reply);
    return r;
}

std::string ErrorText(std::uint16_t code) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(code));
    return kTextErrorPrefix + std::string(digits);
}

std::uint32_t CopiedReplyBytes(std::uint32_t replyLength) {
    return std::min(replyLength, REPLY_LIMIT);
}
