#include "ops/op_step.h"

bool StepSucceeded(const LinkReply& reply) {
    return reply.status == ST_OK && reply.resultWord == RESULT_OK &&
           reply.length >= kMinStepReplyLength;
}

std::uint16_t StepFailureCode(const LinkReply& reply) {
    return reply.status != ST_OK ? reply.status : reply.resultWord;
}

LinkReply SendStep(ITransactor& transactor, const OpHooks& hooks, const LinkRequest& request,
                   bool& aborted) {
    aborted = hooks.abort && hooks.abort();
    if (aborted) {
        LinkReply refused;
        refused.status = ST_SEND_FAILED;
        return refused;
    }
    return transactor.Transact(request);
}

void FailAt(OpResult& result, OpStep step, const LinkReply& reply, bool aborted) {
    result.ok = false;
    result.failedStep = step;
    result.status = reply.status;
    result.resultWord = reply.status == ST_OK ? reply.resultWord : 0;
    result.aborted = aborted;
}
