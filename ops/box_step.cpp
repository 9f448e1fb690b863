#include "ops/box_step.h"

#include <utility>

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

LinkReply CBoxExchange::Send(const LinkRequest& request) {
    if (m_result.aborted || (m_hooks.abort && m_hooks.abort())) {
        m_result.aborted = true;
        LinkReply held;
        held.status = ST_SEND_FAILED;
        return held;
    }
    LinkReply reply = m_link.Transact(request);
    if (reply.status == ST_OK) {
        m_result.resultWord = reply.resultWord;
        m_result.replyLength = reply.length;
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

void CBoxExchange::Emit(const OpEvent& event) const {
    if (m_hooks.progress)
        m_hooks.progress(event);
}

void CBoxExchange::EmitTransferEnd(bool ok) const {
    OpEvent end{.kind = OpEvent::Kind::TransferEnd, .ok = ok};
    if (!ok) {
        end.status = m_result.status;
        end.resultWord = m_result.resultWord;
        end.replyLength = m_result.replyLength;
    }
    Emit(end);
}
