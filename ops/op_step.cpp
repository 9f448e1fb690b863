#include "ops/op_step.h"

#include <algorithm>
#include <utility>

#include "layouts/settings_codec.h"

BoxStep JudgeStep(LinkReply reply) {
    BoxStep s;
    if (reply.status != ST_OK) {
        s.failureCode = reply.status;
    } else if (reply.resultWord != RESULT_OK || reply.length < kMinStepReplyLength) {
        s.failureCode = reply.resultWord;
    } else {
        s.ok = true;
    }
    s.reply = std::move(reply);
    return s;
}

ReplyLengths ExpectedReplyLengths(std::uint16_t command) {
    // The bytes after the result word of a reply that carries nothing else.
    constexpr std::uint32_t kResultOnlyLength = 2;
    // The two bytes ahead of the identity data.
    constexpr std::uint32_t kIdentityLead = 2;
    switch (command) {
        case CMD_CONFIG_READ_1:
            return ReplyLengths::Exactly(kConfigReplyLeadBytes + kConfigBlock1Size);
        case CMD_CONFIG_READ_2:
            return ReplyLengths::Exactly(kConfigReplyLeadBytes + kConfigBlock2Size);
        case CMD_CONFIG_READ_3:
            return ReplyLengths::Exactly(kConfigReplyLeadBytes + kConfigBlock3Size);
        case CMD_GET_SERIAL:
            return ReplyLengths::AtLeast(kIdentityLead + 1);
        case CMD_GET_VERSION:
            return {};
        default:
            return ReplyLengths::Exactly(kResultOnlyLength);
    }
}

bool IsReadOnlyRequest(std::uint16_t command) {
    switch (command) {
        case CMD_GET_VERSION:
        case CMD_GET_SERIAL:
        case CMD_CONFIG_READ_1:
        case CMD_CONFIG_READ_2:
        case CMD_CONFIG_READ_3:
            return true;
        default:
            return false;
    }
}

LinkReply CBoxExchange::Send(const LinkRequest& request) {
    LinkRequest sent = request;
    if (m_hooks.replyLengths != ReplyLengthRule::Any) {
        sent.accepted = ExpectedReplyLengths(request.command);
        sent.keepUnfitting = m_hooks.replyLengths == ReplyLengthRule::KeepAside;
        sent.readOnPastStrays = m_hooks.replyLengths == ReplyLengthRule::Strict;
        // The window and the CLI too: it changes no reading, only drains a
        // frame the box sends right behind its last reply.
        sent.quietLineFirst = true;
    }
    const bool mayRepeat =
        IsReadOnlyRequest(request.command) && request.firstByteTimeoutMs <= TIMEOUT_DEFAULT_MS;
    int repeatsLeft = mayRepeat ? std::max(m_hooks.readRetries, 0) : 0;
    LinkReply reply;
    for (;;) {
        if (m_result.aborted || (m_hooks.abort && m_hooks.abort())) {
            m_result.aborted = true;
            LinkReply held;
            held.status = ST_SEND_FAILED;
            return held;
        }
        reply = m_link.Transact(sent);
        // Only a lost reply is asked for again: a refusal is the box's answer.
        if (reply.status != ST_NO_REPLY || repeatsLeft-- == 0)
            break;
    }
    if (reply.status == ST_OK) {
        m_result.resultWord = reply.resultWord;
        m_result.replyLength = reply.length;
        m_result.answered = true;
    }
    return reply;
}

BoxStep CBoxExchange::Step(OpStep step, const LinkRequest& request) {
    BoxStep s = JudgeStep(Send(request));
    if (!s.ok)
        Fail(step, s);
    return s;
}

void CBoxExchange::Fail(OpStep step, const BoxStep& failed) {
    m_result.ok = false;
    m_result.failedStep = step;
    m_result.status = failed.reply.status;
    m_result.failureCode = failed.failureCode;
}

void CBoxExchange::FailTransfer(OpStep step, const LinkReply& reply) {
    BoxStep failed;
    failed.reply.status = reply.status;
    failed.failureCode = reply.status != ST_OK ? reply.status : reply.resultWord;
    Fail(step, failed);
}

void CBoxExchange::Emit(const OpProgress& event) const {
    if (m_hooks.progress)
        m_hooks.progress(event);
}

void CBoxExchange::EmitTransferEnd(bool ok) const {
    OpProgress end{.kind = OpProgress::Kind::TransferEnd, .ok = ok};
    if (!ok) {
        end.status = m_result.status;
        end.resultWord = m_result.resultWord;
        end.replyLength = m_result.replyLength;
    }
    Emit(end);
}
