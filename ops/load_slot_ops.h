#pragma once
// The load slots' operations: download a file into a slot, and jump to one.
//
// The download reads the file whole, hashes it with SHA-1, sends the
// information block (load address, length, digest) to the slot's load address
// and then the file in packets of up to 256 bytes right behind it. Only the
// link's status word decides; the box's result word is recorded, not judged.
// Progress: BytesSent with done 0 before the information block, then after
// every data packet.

#include <string>

#include "ops/op_result.h"
#include "ops/transactor.h"

OpResult DownloadOp(ITransactor& transactor, const std::string& path, int slot,
                    const OpHooks& hooks = {});
// Ok when the link says ST_OK, whatever the box's result word.
OpResult JumpOp(ITransactor& transactor, int slot, const OpHooks& hooks = {});
