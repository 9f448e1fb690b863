#include "ops/load_slot_ops.h"

#include <vector>

#include "firmware/file_image.h"
#include "firmware/load_slots.h"
#include "firmware/transfer_packets.h"
#include "ops/op_step.h"

namespace {

bool ValidSlot(int slot) {
    return slot >= 0 && slot < kLoadSlotCount;
}

OpResult Failed(OpStep step) {
    OpResult r;
    r.failedStep = step;
    return r;
}

// One download request; done when the link says ST_OK.
bool SendPacket(ITransactor& transactor, const OpHooks& hooks, std::vector<std::uint8_t> packet,
                OpStep step, OpResult& result) {
    bool aborted = false;
    const LinkReply reply = SendStep(
        transactor, hooks,
        LinkRequest{CMD_FILE_DATA, SUB_DEFAULT, std::move(packet), TIMEOUT_TRANSFER_MS}, aborted);
    if (reply.status != ST_OK) {
        FailAt(result, step, reply, aborted);
        return false;
    }
    result.resultWord = reply.resultWord;
    return true;
}

void Report(const OpHooks& hooks, std::uint32_t done, std::uint32_t total) {
    if (!hooks.progress)
        return;
    OpProgress p;
    p.kind = OpProgress::Kind::BytesSent;
    p.done = done;
    p.total = total;
    hooks.progress(p);
}

}  // namespace

OpResult DownloadOp(ITransactor& transactor, const std::string& path, int slot,
                    const OpHooks& hooks) {
    if (!ValidSlot(slot))
        return Failed(OpStep::LoadSlot);
    if (hooks.progress)
        hooks.progress(OpProgress{});
    std::vector<std::uint8_t> image;
    switch (ReadFileImage(path, image)) {
        case ImageLoad::Ok:
            break;
        case ImageLoad::OpenFailed:
            return Failed(OpStep::FileOpen);
        case ImageLoad::NoMemory:
            return Failed(OpStep::FileMemory);
        case ImageLoad::ShortRead:
        case ImageLoad::TooLarge:
            return Failed(OpStep::FileRead);
    }
    const auto length = static_cast<std::uint32_t>(image.size());
    const std::uint32_t loadAddress = LoadAddressForIndex(slot);
    // A file reaching past the top of the box's address space would wrap its
    // target addresses onto the bottom of memory.
    if (!DownloadFitsAddressSpace(loadAddress, length))
        return Failed(OpStep::AddressRange);
    Sha1Digest digest{};
    // Without a digest the box would reject the file; nothing is sent.
    if (!ComputeSha1(image.data(), image.size(), digest))
        return Failed(OpStep::Digest);

    OpResult result;
    Report(hooks, 0, length);
    const auto info = BuildInfoBlock(loadAddress, length, digest);
    if (!SendPacket(transactor, hooks, {info.begin(), info.end()}, OpStep::InfoPacket, result))
        return result;
    std::uint32_t offset = 0;
    for (;;) {
        const std::uint32_t n = NextChunkLength(offset, length);
        if (!SendPacket(transactor, hooks,
                        BuildDownloadPacket(loadAddress + kFileDataOffset + offset,
                                            image.data() + offset, n),
                        OpStep::DataPacket, result))
            return result;
        offset += n;
        result.bytesDone = offset;
        Report(hooks, offset, length);
        if (offset >= length) {
            result.ok = true;
            return result;
        }
    }
}

OpResult JumpOp(ITransactor& transactor, int slot, const OpHooks& hooks) {
    if (!ValidSlot(slot))
        return Failed(OpStep::LoadSlot);
    OpResult result;
    const auto request = BuildJumpRequest(LoadAddressForIndex(slot));
    bool aborted = false;
    const LinkReply reply = SendStep(
        transactor, hooks,
        LinkRequest{CMD_JUMP, SUB_DEFAULT, {request.begin(), request.end()}, TIMEOUT_TRANSFER_MS},
        aborted);
    if (reply.status != ST_OK) {
        FailAt(result, OpStep::Jump, reply, aborted);
        return result;
    }
    result.ok = true;
    result.resultWord = reply.resultWord;
    return result;
}
