#pragma once
// One request of an operation: asks the abort check first, then sends, and
// judges the reply by the step rule: a step succeeds when the link says ST_OK,
// the box's result word is RESULT_OK and the reply carries at least
// kMinStepReplyLength data bytes; its failure code is the link's status when
// that was not ST_OK, else the result word.

#include <cstdint>

#include "link/link_request.h"
#include "ops/op_result.h"
#include "ops/transactor.h"

constexpr std::uint32_t kMinStepReplyLength = 2;

bool StepSucceeded(const LinkReply& reply);
std::uint16_t StepFailureCode(const LinkReply& reply);

// Sends `request` unless `hooks.abort` asks to stop; then `aborted` is set and
// the reply says ST_SEND_FAILED.
LinkReply SendStep(ITransactor& transactor, const OpHooks& hooks, const LinkRequest& request,
                   bool& aborted);

// The failure of `step` from `reply` into `result`.
void FailAt(OpResult& result, OpStep step, const LinkReply& reply, bool aborted);
