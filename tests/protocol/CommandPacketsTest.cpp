#include "protocol/CommandPackets.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::string hex(const pw::CommandPacket& packet)
{
    std::string text;
    for (std::size_t i = 0; i < packet.length; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", packet.bytes[i]);
        text += byte;
    }
    return text;
}

constexpr std::uint8_t kZeros[8] = {};
constexpr std::uint8_t kData[8] = {0x02, 0x10, 0x00, 0x75, 0x81, 0x2F, 0x12, 0x00};

TEST(CommandPackets, EveryFrameHasItsExactBytes)
{
    const std::vector<std::pair<pw::CommandPacket, std::string>> frames = {
        {pw::CmdConnect(), "0F 48 5A 34 31 43 31 FF"},
        {pw::CmdHandshake(), "0F 02 20 02 02 02 FF"},
        {pw::CmdSetAddrHigh(0x12), "0F 0E 00 12 12 12 FF"},
        {pw::CmdSetAddrHigh(0xFF), "0F 0E 00 FF FF FF FF"},
        {pw::CmdWrite8(0x38, kData), "0F 09 38 02 10 00 75 81 2F 12 00 FF"},
        {pw::CmdWrite8(0x00, kZeros), "0F 09 00 00 00 00 00 00 00 00 00 FF"},
        {pw::CmdRead8(0x38), "0F 0D 38 00 00 00 FF"},
        {pw::CmdEraseStart(), "0F 0A 00 00 00 00 FF"},
        {pw::CmdChipEraseMode(), "0F 0E 01 80 80 80 FF"},
        {pw::CmdPageEraseMode(), "0F 0E 01 82 82 82 FF"},
        {pw::CmdEraseStatus(), "0F 00 00 00 00 00 FF"},
        {pw::CmdLeaveIsp(), "0F 0E 01 01 01 FF"},
        {pw::CmdSetKeepMask(0, 0xFF), "0F 0E 03 FF FF FF FF"},
        {pw::CmdSetKeepMask(1, 0x01), "0F 0E 05 01 01 01 FF"},
        {pw::CmdSetKeepMask(2, 0x00), "0F 0E 07 00 00 00 FF"},
        {pw::CmdSetKeepMask(3, 0x80), "0F 0E 09 80 80 80 FF"},
        {pw::CmdSetEraseMask(0, 0x00), "0F 0E 04 00 00 00 FF"},
        {pw::CmdSetEraseMask(1, 0xFE), "0F 0E 06 FE FE FE FF"},
        {pw::CmdSetEraseMask(2, 0xFF), "0F 0E 08 FF FF FF FF"},
        {pw::CmdSetEraseMask(3, 0xFF), "0F 0E 0A FF FF FF FF"},
        {pw::CmdSetBaud(57600), "0F 0E 02 8C 8C 8C FF"},
        {pw::CmdSetBaud(115200), "0F 0E 02 CC CC CC FF"},
        {pw::CmdSetBaud(9600), ""},
    };
    for (const auto& [packet, expected] : frames)
        EXPECT_EQ(hex(packet), expected);
}

TEST(CommandPackets, MasksFollowTheStartAddressByTwoKilobyteBlocks)
{
    struct Case {
        std::uint32_t start, keep, erase;
    };
    const Case cases[] = {
        {0x0000, 0x00000000, 0xFFFFFFFF}, {0x0800, 0x00000001, 0xFFFFFFFE}, {0x1800, 0x00000007, 0xFFFFFFF8},
        {0x8000, 0x0000FFFF, 0xFFFF0000}, {0xF800, 0x7FFFFFFF, 0x80000000},
        // 0x10000 is 32 blocks: only the low 5 bits of the count are a shift, so it acts like 0.
        {0x10000, 0x00000000, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        const pw::BlockMasks masks = pw::masksForStartAddress(c.start);
        EXPECT_EQ(masks.keepMask, c.keep) << std::hex << c.start;
        EXPECT_EQ(masks.eraseMask, c.erase) << std::hex << c.start;
    }
    const pw::BlockMasks half = pw::masksForStartAddress(0x8000);
    EXPECT_EQ((std::vector<int>{pw::maskLane(half.keepMask, 0), pw::maskLane(half.keepMask, 1),
                                pw::maskLane(half.keepMask, 2), pw::maskLane(half.keepMask, 3)}),
              (std::vector<int>{0xFF, 0xFF, 0x00, 0x00}));
}

} // namespace
