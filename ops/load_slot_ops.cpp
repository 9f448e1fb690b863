#include "ops/load_slot_ops.h"

#include <limits>
#include <vector>

#include "layouts/file_image.h"
#include "layouts/transfer_packets.h"
#include "ops/op_step.h"

namespace {

bool IsSlot(int slot) {
    return slot >= 0 && slot < kLoadSlotCount;
}

OpResult RefusedInput() {
    OpResult result;
    result.failedStep = OpStep::Input;
    return result;
}

OpResult LoadFailed(ImageLoad load) {
    OpResult result;
    result.failedStep = OpStep::Load;
    result.load = load;
    return result;
}

// One download or jump request; true when the box took it.
bool SendTransfer(CBoxExchange& exchange, OpResult& result, OpStep step, std::uint16_t command,
                  std::span<const std::uint8_t> packet, TransferOptions options) {
    const LinkReply reply = exchange.Send(
        {.command = command, .data = packet, .firstByteTimeoutMs = TIMEOUT_TRANSFER_MS});
    if (reply.status == ST_OK)
        result.resultWords.push_back(reply.resultWord);
    const bool refused = options.requireSuccessWord && reply.resultWord != RESULT_OK;
    if (reply.status == ST_OK && !refused)
        return true;
    exchange.FailTransfer(step, reply);
    return false;
}

}  // namespace

OpResult DownloadFile(ITransactor& link, const std::string& path, int slot, const OpHooks& hooks,
                      TransferOptions options) {
    if (!IsSlot(slot))
        return RefusedInput();
    std::vector<std::uint8_t> image;
    if (const ImageLoad load = ReadFileImage(path, image); load != ImageLoad::Ok)
        return LoadFailed(load);
    return DownloadImage(link, image, slot, hooks, options);
}

OpResult DownloadImage(ITransactor& link, std::span<const std::uint8_t> file, int slot,
                       const OpHooks& hooks, TransferOptions options) {
    if (!IsSlot(slot))
        return RefusedInput();
    const std::uint32_t loadAddress = LoadAddressForIndex(slot);
    // A file reaching past the top of the box's address space would wrap its
    // target addresses onto the bottom of memory.
    if (file.size() > std::numeric_limits<std::uint32_t>::max() ||
        !DownloadFitsAddressSpace(loadAddress, static_cast<std::uint32_t>(file.size())))
        return LoadFailed(ImageLoad::TooLarge);
    const auto length = static_cast<std::uint32_t>(file.size());
    OpResult result;
    Sha1Digest digest{};
    if (!ComputeSha1(file.data(), file.size(), digest)) {
        // Without a digest the box would reject the file; nothing is sent.
        result.failedStep = OpStep::Digest;
        return result;
    }

    CBoxExchange exchange(link, hooks, result);
    result.bytesTotal = length;
    exchange.Emit({.kind = OpProgress::Kind::TransferStart});
    const auto info = BuildInfoBlock(loadAddress, length, digest);
    bool sent = SendTransfer(exchange, result, OpStep::InfoBlock, CMD_FILE_DATA, info, options);
    std::uint32_t offset = 0;
    while (sent) {
        const std::uint32_t n = NextChunkLength(offset, length);
        const std::vector<std::uint8_t> packet =
            BuildDownloadPacket(loadAddress + kFileDataOffset + offset, file.data() + offset, n);
        sent = SendTransfer(exchange, result, OpStep::FileData, CMD_FILE_DATA, packet, options);
        if (!sent)
            break;
        offset += n;
        result.bytesDone = offset;
        if (offset >= length)
            break;
        exchange.Emit({.kind = OpProgress::Kind::Sent, .done = offset, .total = length});
    }
    result.ok = sent;
    exchange.EmitTransferEnd(sent);
    return result;
}

OpResult JumpToSlot(ITransactor& link, int slot, const OpHooks& hooks, TransferOptions options) {
    if (!IsSlot(slot))
        return RefusedInput();
    OpResult result;
    CBoxExchange exchange(link, hooks, result);
    const auto request = BuildJumpRequest(LoadAddressForIndex(slot));
    result.ok = SendTransfer(exchange, result, OpStep::Jump, CMD_JUMP, request, options);
    return result;
}
