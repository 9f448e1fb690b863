#include "boxsim/box_state.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

#include "boxsim/package_header.h"
#include "link/command_codes.h"
#include "link/frame_codec.h"
#include "link/status_words.h"

namespace {

// A realistic box: version text and a 6-byte serial number.
constexpr char kDefaultVersion[] = "VBX-100 V2.3.1";
constexpr std::uint8_t kDefaultSerial[] = {0x12, 0x34, 0xAB, 0x00, 0x5E, 0x01};

// Factory settings: every flag off and every list at its first entry.
constexpr std::uint8_t kDefaultBlock1[16] = {0x00, 0x00, 0x00, 0x00, 0x0F, 0x1E, 0x1E, 0x05};
constexpr std::uint8_t kDefaultBlock2[20] = {0x07, 0x07, 0x07, 0x07, 0x0C, 0x0C,
                                             0x00, 0x01, 0x01, 0x01, 0x00, 0x0F};
constexpr std::uint8_t kDefaultBlock3[16] = {0x80, 0xF0, 0xF0, 0xF0, 0xF0};

constexpr std::uint16_t kConfigReadCommands[kConfigBlockCount] = {
    CMD_CONFIG_READ_1, CMD_CONFIG_READ_2, CMD_CONFIG_READ_3};
constexpr std::uint16_t kConfigWriteCommands[kConfigBlockCount] = {
    CMD_CONFIG_WRITE_1, CMD_CONFIG_WRITE_2, CMD_CONFIG_WRITE_3};

// Transfer packets: 4-byte offset or address, 2-byte length, then the bytes.
constexpr std::size_t kPacketHeaderSize = 6;
// Information block, offsets from the packet's start (its address field):
// file length at 6..9, SHA-1 at 10..29.
constexpr std::size_t kInfoLengthOffset = 6;
constexpr std::size_t kInfoSha1Offset = 10;
constexpr std::size_t kJumpDataSize = 10;
// What a box that restarts without a version in the header appends.
constexpr char kRestartVersionSuffix[] = "+1";

// Replies to requests whose data the tool does not look at still carry two
// bytes, so that a handler's "at least 2 data bytes" test passes.
std::vector<std::uint8_t> Plain(std::uint16_t resultWord) {
    return {static_cast<std::uint8_t>(resultWord >> 8), static_cast<std::uint8_t>(resultWord), 0,
            0};
}

std::vector<std::uint8_t> WithData(std::initializer_list<std::uint8_t> prefix,
                                   const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> p;
    p.reserve(2 + prefix.size() + data.size());
    p.push_back(static_cast<std::uint8_t>(RESULT_OK >> 8));
    p.push_back(static_cast<std::uint8_t>(RESULT_OK & 0xFF));
    p.insert(p.end(), prefix.begin(), prefix.end());
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

std::array<std::uint8_t, 20> Sha1(const std::vector<std::uint8_t>& data) {
    std::array<std::uint8_t, 20> digest{};
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha1(), nullptr);
    return digest;
}

// Sets sha1Matches once the slot holds as many bytes as announced; more bytes
// than announced never match.
void CheckSlotComplete(SimLoadSlot& slot) {
    if (slot.data.size() < slot.fileLength)
        return;
    slot.sha1Matches = slot.data.size() == slot.fileLength && Sha1(slot.data) == slot.announcedSha1;
}

int BlockIndex(const std::uint16_t (&commands)[kConfigBlockCount], std::uint16_t command) {
    for (int i = 0; i < kConfigBlockCount; ++i) {
        if (commands[i] == command)
            return i;
    }
    return -1;
}

std::uint16_t UpgradeBegin(BoxState& s, const std::vector<std::uint8_t>& d) {
    if (d.size() != kShortPackageHeader && d.size() != kLongPackageHeader) {
        return kSimResultBadLength;
    }
    s.upgradeHeader = d;
    s.headerReceived = true;
    s.upgradeData.clear();
    return RESULT_OK;
}

std::uint16_t UpgradeData(BoxState& s, const std::vector<std::uint8_t>& d) {
    if (!s.headerReceived)
        return kSimResultNoHeader;
    if (d.size() < kPacketHeaderSize)
        return kSimResultBadLength;
    const std::uint32_t offset = ReadBigEndian32(&d[0]);
    const std::size_t n = ReadBigEndian16(&d[4]);
    if (n != d.size() - kPacketHeaderSize)
        return kSimResultBadLength;
    if (offset != s.upgradeData.size())
        return kSimResultBadOffset;
    s.upgradeData.insert(s.upgradeData.end(), d.begin() + kPacketHeaderSize, d.end());
    return RESULT_OK;
}

std::uint16_t UpgradeCommit(BoxState& s, BoxAnswer& answer) {
    if (!s.headerReceived)
        return kSimResultNoHeader;
    ++s.commitCount;
    s.headerReceived = false;
    s.versionAfterRestart =
        PackageHeaderVersion(s.upgradeHeader).value_or(s.version + kRestartVersionSuffix);
    answer.restart = true;
    return RESULT_OK;
}

std::uint16_t FileData(BoxState& s, const std::vector<std::uint8_t>& d) {
    if (d.size() < kPacketHeaderSize)
        return kSimResultBadLength;
    const std::uint32_t address = ReadLittleEndian32(&d[0]);
    const std::size_t n = ReadBigEndian16(&d[4]);
    if (n != d.size() - kPacketHeaderSize)
        return kSimResultBadLength;

    const auto nextAddress = [](const SimLoadSlot& slot) {
        return slot.address + static_cast<std::uint32_t>(kSimInfoBlockSize + slot.data.size());
    };
    const auto append = [&](SimLoadSlot& slot) {
        slot.data.insert(slot.data.end(), d.begin() + kPacketHeaderSize, d.end());
        CheckSlotComplete(slot);
        return RESULT_OK;
    };
    // A slot still waiting for data takes its next packet first: a file longer
    // than its slot sends a packet to the next slot's load address, which must
    // not be taken for that slot's information block.
    for (SimLoadSlot& slot : s.slots) {
        if (slot.infoReceived && slot.data.size() < slot.fileLength &&
            address == nextAddress(slot)) {
            return append(slot);
        }
    }
    for (int i = 0; i < kSimSlotCount; ++i) {
        if (n == kSimInfoBlockSize && address == SlotLoadAddress(i)) {
            SimLoadSlot& slot = s.slots[i];
            slot = SimLoadSlot{};
            slot.infoReceived = true;
            slot.address = address;
            slot.fileLength = ReadLittleEndian32(&d[kInfoLengthOffset]);
            std::memcpy(slot.announcedSha1.data(), &d[kInfoSha1Offset], slot.announcedSha1.size());
            CheckSlotComplete(slot);
            return RESULT_OK;
        }
    }
    // Packets beyond the announced length (an empty file's single empty
    // packet, or a file longer than announced).
    for (SimLoadSlot& slot : s.slots) {
        if (slot.infoReceived && address == nextAddress(slot))
            return append(slot);
    }
    for (const SimLoadSlot& slot : s.slots) {
        if (slot.infoReceived && address > slot.address &&
            address < slot.address + kSimSlotStride) {
            return kSimResultBadOffset;
        }
    }
    return kSimResultBadAddress;
}

}  // namespace

BoxState::BoxState()
    : version(kDefaultVersion), serial(std::begin(kDefaultSerial), std::end(kDefaultSerial)) {
    factoryDefaults[0].assign(std::begin(kDefaultBlock1), std::end(kDefaultBlock1));
    factoryDefaults[1].assign(std::begin(kDefaultBlock2), std::end(kDefaultBlock2));
    factoryDefaults[2].assign(std::begin(kDefaultBlock3), std::end(kDefaultBlock3));
    blocks = factoryDefaults;
    for (int i = 0; i < kSimSlotCount; ++i)
        slots[i].address = SlotLoadAddress(i);
}

BoxAnswer AnswerRequest(BoxState& s, const SimRequest& r) {
    BoxAnswer answer;
    const std::vector<std::uint8_t>& d = r.data;

    if (const int i = BlockIndex(kConfigReadCommands, r.command); i >= 0) {
        answer.payload = WithData(
            {kReplyFillerHi, kReplyFillerLo, static_cast<std::uint8_t>(i + 1)}, s.blocks[i]);
        return answer;
    }
    if (const int i = BlockIndex(kConfigWriteCommands, r.command); i >= 0) {
        if (d.size() != kConfigBlockSizes[i]) {
            answer.payload = Plain(kSimResultBadLength);
        } else {
            s.blocks[i] = d;
            if (const auto& f = s.storeFault; f && f->block == i + 1 && f->byte < d.size())
                s.blocks[i][f->byte] ^= f->flipMask;
            answer.payload = Plain(RESULT_OK);
        }
        return answer;
    }

    std::uint16_t result = RESULT_OK;
    switch (r.command) {
        case CMD_GET_VERSION:
            answer.payload =
                WithData({kReplyFillerHi, kReplyFillerLo},
                         std::vector<std::uint8_t>(s.version.begin(), s.version.end()));
            return answer;
        case CMD_GET_SERIAL:
            answer.payload = WithData({kReplyFillerHi, kReplyFillerLo}, s.serial);
            return answer;
        case CMD_FACTORY_RESET:
            s.blocks = s.factoryDefaults;
            break;
        case CMD_PREPARE_A:
        case CMD_PREPARE_B:
        case CMD_UPGRADE_END:
            break;
        case CMD_UPGRADE_BEGIN:
            result = UpgradeBegin(s, d);
            break;
        case CMD_UPGRADE_DATA:
            result = UpgradeData(s, d);
            break;
        case CMD_UPGRADE_COMMIT:
            result = UpgradeCommit(s, answer);
            break;
        case CMD_FILE_DATA:
            result = FileData(s, d);
            break;
        case CMD_JUMP:
            if (d.size() != kJumpDataSize) {
                result = kSimResultBadLength;
            } else {
                s.lastJumpAddress = ReadLittleEndian32(d.data());
            }
            break;
        default:
            result = kSimResultUnknownCommand;
            break;
    }
    answer.payload = Plain(result);
    return answer;
}
