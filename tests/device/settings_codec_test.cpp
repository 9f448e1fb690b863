#include "layouts/settings_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "layouts/option_table.h"
#include "settings_vectors.h"

namespace {

Bytes Encode(int block, const DeviceSettings& s) {
    switch (block) {
        case 1: {
            auto b = EncodeConfigBlock1(s);
            return Bytes(b.begin(), b.end());
        }
        case 2: {
            auto b = EncodeConfigBlock2(s);
            return Bytes(b.begin(), b.end());
        }
        default: {
            auto b = EncodeConfigBlock3(s);
            return Bytes(b.begin(), b.end());
        }
    }
}

void Decode(int block, const std::uint8_t* reply, std::size_t size, DeviceSettings& s) {
    const auto length = static_cast<std::uint32_t>(size);
    switch (block) {
        case 1:
            DecodeConfigBlock1(reply, length, s);
            break;
        case 2:
            DecodeConfigBlock2(reply, length, s);
            break;
        default:
            DecodeConfigBlock3(reply, length, s);
            break;
    }
}

void Decode(int block, const Bytes& reply, DeviceSettings& s) {
    Decode(block, reply.data(), reply.size(), s);
}

// The value of one option as text, for readable failure messages.
std::string ValueOf(const OptionInfo& o, const DeviceSettings& s) {
    if (o.IsFlag())
        return s.*o.flag ? "on" : "off";
    const Selection& sel = s.*o.selection;
    return sel ? std::to_string(*sel) : "none";
}

struct VectorCase {
    const char* name;
    DeviceSettings settings;
    Bytes blocks[3];
};

TEST(SettingsCodec, KnownRecordsEncodeToKnownBlocksAndBack) {
    const VectorCase cases[] = {
        {"all off, first entries", AllOffFirstEntry(), {kOffBlock1, kOffBlock2, kOffBlock3}},
        {"all on, last entries", AllOnLastEntry(), {kOnBlock1, kOnBlock2, kOnBlock3}},
    };
    for (const VectorCase& c : cases) {
        DeviceSettings decoded;  // every flag off, every selection none
        for (int block = 1; block <= 3; ++block) {
            EXPECT_EQ(Encode(block, c.settings), c.blocks[block - 1])
                << c.name << ", block " << block;
            Decode(block, ReadReply(c.blocks[block - 1]), decoded);
        }
        EXPECT_EQ(decoded, c.settings) << c.name;
    }
}

TEST(SettingsCodec, FreshRecordHasNothingSet) {
    const DeviceSettings fresh;
    for (const OptionInfo& o : Options()) {
        EXPECT_EQ(ValueOf(o, fresh), o.IsFlag() ? "off" : "none") << o.field;
    }
}

// Fields by name, with entries from the middle of the lists, so that a code or
// a byte swapped in the table shows up under the field's own name.
TEST(SettingsCodec, DecodesMiddleEntriesIntoTheRightFields) {
    DeviceSettings s;
    // Block 1: byte 0 bit 6 only, byte 3 bit 6 (hazard mode), key sense 15, warm-up 7.
    Decode(1,
           ReadReply({0x40, 0x00, 0x00, 0x40, 0x0F, 0x1E, 0x1E, 0x0F, 0x07, 0, 0, 0, 0, 0, 0, 0}),
           s);
    EXPECT_TRUE(s.findCarSound);
    EXPECT_FALSE(s.findCarLight);
    EXPECT_FALSE(s.lockHornChirp);
    EXPECT_EQ(s.hazardSwitchMode, 1);
    EXPECT_FALSE(s.keyLeftInsideAlarm);
    EXPECT_FALSE(s.busIgnoreLockState);
    EXPECT_EQ(s.lockWireOutput, 0);
    EXPECT_EQ(s.keySenseWireMode, 2);
    EXPECT_EQ(s.remoteWarmUpTime, 2);

    Decode(2, ReadReply({0x09, 0x0C, 0x14, 0x50, 0x14, 0x20, 0x00, 0x03, 0x05, 0x0A,
                         0x02, 0x23, 0,    0,    0,    0,    0,    0,    0,    0}),
           s);
    EXPECT_EQ(s.crankTime, 2);         // 0.9 s
    EXPECT_EQ(s.remoteCrankTime1, 1);  // 1.2 s
    EXPECT_EQ(s.remoteCrankTime2, 3);  // 2.0 s
    EXPECT_EQ(s.remoteCrankTime3, 7);  // 8.0 s
    EXPECT_EQ(s.windowUpTime, 2);      // 10 s
    EXPECT_EQ(s.windowDownTime, 4);    // 16 s
    EXPECT_EQ(s.trunkOutputTime, 2);   // 0.3 s
    EXPECT_EQ(s.unlockOutputTime, 3);  // 0.5 s
    EXPECT_EQ(s.lockOutputTime, 4);    // 1 s
    EXPECT_EQ(s.doorHandleType, 2);
    EXPECT_EQ(s.hornOutputTime, 2);  // 0.035 s

    Decode(3, ReadReply({0x11, 0xF0, 0xF0, 0xF0, 0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), s);
    EXPECT_TRUE(s.remoteAntiTheftStop);
    EXPECT_TRUE(s.remoteBrakeOutputPositive);
    EXPECT_FALSE(s.unlockBeforeRemoteStart);
    EXPECT_FALSE(s.delayedWindowUpOnLock);
}

// Every value each option can hold is decoded from its own encoding and
// encoded back to the same block.
TEST(SettingsCodec, EveryListValueSurvivesDecodeAndEncode) {
    const DeviceSettings base = AllOffFirstEntry();
    for (const OptionInfo& o : Options()) {
        std::vector<DeviceSettings> values;
        if (o.IsFlag()) {
            for (bool on : {false, true}) {
                DeviceSettings s = base;
                s.*o.flag = on;
                values.push_back(s);
            }
        } else {
            for (std::size_t i = 0; i < o.entries.size(); ++i) {
                if (o.entries[i].code == kNoCode)
                    continue;  // written as 0, read back as nothing
                DeviceSettings s = base;
                s.*o.selection = static_cast<int>(i);
                values.push_back(s);
            }
        }
        for (const DeviceSettings& s : values) {
            const Bytes block = Encode(o.block, s);
            DeviceSettings decoded = AllOnLastEntry();  // differs from `s` in every field
            Decode(o.block, ReadReply(block), decoded);
            EXPECT_EQ(ValueOf(o, decoded), ValueOf(o, s)) << o.field;
            EXPECT_EQ(Encode(o.block, decoded), block) << o.field << " = " << ValueOf(o, s);
        }
    }
}

TEST(SettingsCodec, DecodingLeavesOtherBlocksAlone) {
    for (int block = 1; block <= 3; ++block) {
        DeviceSettings s = AllOnLastEntry();
        Decode(block, ReadReply(Bytes(ConfigBlockSize(block), 0x00)), s);
        for (const OptionInfo& o : Options()) {
            if (o.block == block)
                continue;
            EXPECT_EQ(ValueOf(o, s), ValueOf(o, AllOnLastEntry()))
                << o.field << " changed by block " << block;
        }
    }
}

TEST(SettingsCodec, KeySenseReservedEntryWritesZeroAndZeroIsNoEntry) {
    DeviceSettings s = AllOnLastEntry();
    s.keySenseWireMode = 5;  // "预留选项2" has no code
    EXPECT_EQ(Encode(1, s)[7], 0x00);

    for (int before : {0, 3, 5}) {
        DeviceSettings d;
        d.keySenseWireMode = before;
        Bytes block = kOnBlock1;
        block[7] = 0x00;
        Decode(1, ReadReply(block), d);
        EXPECT_EQ(d.keySenseWireMode, before);
    }
    // A byte that is no code at all is treated the same way.
    DeviceSettings d;
    d.keySenseWireMode = 1;
    Bytes block = kOnBlock1;
    block[7] = 0x07;
    Decode(1, ReadReply(block), d);
    EXPECT_EQ(d.keySenseWireMode, 1);
}

TEST(SettingsCodec, DoorHandleByteOutOfRangeLeavesNoEntry) {
    struct Case {
        std::uint8_t byte;
        Selection expected;
    };
    const Case cases[] = {{0x00, 0}, {0x04, 4}, {0x05, std::nullopt}, {0xFF, std::nullopt}};
    for (const Case& c : cases) {
        DeviceSettings s;
        s.doorHandleType = 1;
        Bytes block = kOffBlock2;
        block[10] = c.byte;
        Decode(2, ReadReply(block), s);
        EXPECT_EQ(s.doorHandleType, c.expected) << int(c.byte);
    }
}

// Positions without an option are never read, and are written as their fixed
// values whatever was read there.
TEST(SettingsCodec, IgnoredPositionsNeitherReadNorEchoed) {
    struct Ignored {
        int block;
        int byte;
        std::uint8_t mask;  // bits of the byte that carry no option
    };
    const Ignored ignored[] = {
        {1, 0, 0x02}, {1, 1, 0x80},  {1, 4, 0xFF}, {1, 5, 0xFF},  {1, 6, 0xFF},
        {1, 9, 0xFF}, {1, 15, 0xFF}, {2, 6, 0xFF}, {2, 12, 0xFF}, {2, 19, 0xFF},
        {3, 0, 0x80}, {3, 1, 0xFF},  {3, 4, 0xFF}, {3, 5, 0xFF},  {3, 15, 0xFF},
    };
    const Bytes* onBlocks[] = {&kOnBlock1, &kOnBlock2, &kOnBlock3};
    const Bytes* offBlocks[] = {&kOffBlock1, &kOffBlock2, &kOffBlock3};
    for (const Ignored& ig : ignored) {
        for (const Bytes* clean : {onBlocks[ig.block - 1], offBlocks[ig.block - 1]}) {
            for (std::uint8_t noise :
                 {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x5A}}) {
                Bytes dirty = *clean;
                dirty[ig.byte] =
                    static_cast<std::uint8_t>((dirty[ig.byte] & ~ig.mask) | (noise & ig.mask));
                DeviceSettings fromClean;
                DeviceSettings fromDirty;
                Decode(ig.block, ReadReply(*clean), fromClean);
                Decode(ig.block, ReadReply(dirty), fromDirty);
                EXPECT_EQ(fromDirty, fromClean) << "block " << ig.block << " byte " << ig.byte;
                EXPECT_EQ(Encode(ig.block, fromDirty), *clean)
                    << "block " << ig.block << " byte " << ig.byte;
            }
        }
    }
}

TEST(SettingsCodec, LeadingReplyBytesNeverMatter) {
    const Bytes leads[] = {{0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xFF}, {0x05, 0x0A, 0x80}};
    const Bytes* blocks[] = {&kOnBlock1, &kOnBlock2, &kOnBlock3};
    for (int block = 1; block <= 3; ++block) {
        DeviceSettings reference;
        Decode(block, ReadReply(*blocks[block - 1]), reference);
        for (const Bytes& lead : leads) {
            DeviceSettings s;
            Decode(block, ReadReply(*blocks[block - 1], lead), s);
            EXPECT_EQ(s, reference) << "block " << block << " lead " << int(lead[0]);
        }
    }
}

// A reply that ends early changes only the fields whose bytes arrived. The
// reply sits in a heap buffer of exactly its length, so that a read past its
// end is caught by AddressSanitizer.
TEST(SettingsCodec, ShortReplyDecodesOnlyWhatArrived) {
    const Bytes* onBlocks[] = {&kOnBlock1, &kOnBlock2, &kOnBlock3};
    for (int block = 1; block <= 3; ++block) {
        const Bytes full = ReadReply(*onBlocks[block - 1]);
        DeviceSettings complete = AllOffFirstEntry();
        Decode(block, full, complete);
        for (std::size_t length = 0; length <= full.size(); ++length) {
            auto reply = std::make_unique<std::uint8_t[]>(length);
            std::copy_n(full.begin(), length, reply.get());
            DeviceSettings s = AllOffFirstEntry();
            Decode(block, reply.get(), length, s);
            for (const OptionInfo& o : Options()) {
                if (o.block != block)
                    continue;
                const bool arrived = 3 + static_cast<std::size_t>(o.byte) < length;
                EXPECT_EQ(ValueOf(o, s), ValueOf(o, arrived ? complete : AllOffFirstEntry()))
                    << o.field << ", reply of " << length << " bytes";
            }
        }
    }
}

}  // namespace
