#pragma once
// One request judged the way every operation judges a plain request: it
// succeeds when the link returns ST_OK, the box's result word is 0xEE00 and the
// reply carries at least 2 data bytes; otherwise its failure code is the link's
// status when that was not ST_OK, else the result word.
//
// CBoxExchange is what the operations send through: it asks the caller's abort
// check before each request (a repeated read included), applies the hooks'
// reply-length rule and read retries, and keeps in an OpResult the result word and
// length of the last reply that arrived and the failure of a step.

#include <cstdint>

#include "ops/op_result.h"
#include "ops/transactor.h"

// Fewest reply data bytes a successful step carries.
constexpr std::uint32_t kMinStepReplyLength = 2;

struct BoxStep {
    bool ok = false;
    std::uint16_t failureCode = 0;
    LinkReply reply;
};

// The step rule applied to a reply.
BoxStep JudgeStep(LinkReply reply);

// The reply data lengths the box's answer to `command` can have: a
// configuration read's lead bytes and block, a serial's two lead bytes and at
// least one byte of it, the result word's two companion bytes of every reply
// that carries nothing else; any length for the version text.
ReplyLengths ExpectedReplyLengths(std::uint16_t command);

// A request that changes nothing in the box (the identity and configuration
// reads): the one kind that may be sent again when its reply was lost.
bool IsReadOnlyRequest(std::uint16_t command);

class CBoxExchange {
public:
    CBoxExchange(ITransactor& link, const OpHooks& hooks, OpResult& result)
        : m_link(link), m_hooks(hooks), m_result(result) {}

    // One request, judged by the step rule; a failure is recorded as `step`'s
    // in the result. A request the abort check holds back fails with
    // ST_SEND_FAILED and marks the result aborted.
    BoxStep Step(OpStep step, const LinkRequest& request);
    // One request whose reply is taken as it comes (the caller judges it); a
    // read-only one that got no reply is sent again as the hooks allow.
    LinkReply Send(const LinkRequest& request);
    // Records a failed step in the result.
    void Fail(OpStep step, const BoxStep& failed);
    // Records a transfer request the box did not take: its failure code is
    // the link's word, else the box's result word.
    void FailTransfer(OpStep step, const LinkReply& reply);
    bool Aborted() const { return m_result.aborted; }
    void Emit(const OpProgress& event) const;
    // Tells the end of a transfer: `ok`, or the failure the result holds.
    void EmitTransferEnd(bool ok) const;

private:
    ITransactor& m_link;
    const OpHooks& m_hooks;
    OpResult& m_result;
};
