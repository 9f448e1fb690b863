#pragma once
// File download into one of the box's load slots, and the jump that starts
// what a slot holds.
//
// The download has the file whole in memory (read from a path, or bytes the
// caller pinned), hashes it with SHA-1, sends the information block (load
// address, length, digest) to the slot's load address and then the file in
// packets of up to 256 bytes right behind it. By default only the link's
// status word is judged: boxes answer these requests with result words of
// their own. With `requireSuccessWord` any result word but success fails the
// request's step. Every result word the box gave is kept in the result.
//
// Events, in order: TransferStart, Sent after every packet but the last,
// TransferEnd.

#include <cstdint>
#include <span>
#include <string>

#include "ops/transactor.h"
#include "ops/op_result.h"

struct TransferOptions {
    bool requireSuccessWord = false;
};

// `slot` is the load slot's index (0..kLoadSlotCount-1); any other fails with
// OpStep::Input before the file is read.
OpResult DownloadFile(ITransactor& link, const std::string& path, int slot,
                      const OpHooks& hooks = {}, TransferOptions options = {});
OpResult DownloadImage(ITransactor& link, std::span<const std::uint8_t> file, int slot,
                       const OpHooks& hooks = {}, TransferOptions options = {});
OpResult JumpToSlot(ITransactor& link, int slot, const OpHooks& hooks = {},
                    TransferOptions options = {});
