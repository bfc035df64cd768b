#include "protocol/CommandPackets.h"

#include "base/ChipTable.h"

#include <initializer_list>

namespace pw {

namespace {

constexpr std::uint8_t kStart = 0x0F;
constexpr std::uint8_t kEnd = 0xFF;

// Lays out 0x0F, the given bytes and 0xFF, counting as it goes: zero bytes never shorten it.
CommandPacket frame(std::initializer_list<std::uint8_t> body)
{
    CommandPacket packet;
    packet.bytes[packet.length++] = kStart;
    for (const std::uint8_t byte : body)
        packet.bytes[packet.length++] = byte;
    packet.bytes[packet.length++] = kEnd;
    return packet;
}

// Register write: code 0x0E, register, the value three times.
CommandPacket registerWrite(std::uint8_t reg, std::uint8_t value)
{
    return frame({0x0E, reg, value, value, value});
}

// Lane i of the keep mask is register 3 + 2i, of the erase mask 4 + 2i.
std::uint8_t maskRegister(bool keep, int lane)
{
    return static_cast<std::uint8_t>((keep ? 0x03 : 0x04) + 2 * (lane & 3));
}

} // namespace

BlockMasks masksForStartAddress(std::uint32_t ispStartAddr)
{
    // Only the low 5 bits of the block count are a valid shift: 0x10000 acts like 0.
    const std::uint32_t blocks = (ispStartAddr >> kBlockShift) & 31;
    const std::uint32_t eraseMask = (0xFFFFFFFFu >> blocks) << blocks;
    return {~eraseMask, eraseMask};
}

CommandPacket CmdConnect()
{
    return frame({'H', 'Z', '4', '1', 'C', '1'});
}

CommandPacket CmdHandshake()
{
    return frame({0x02, 0x20, 0x02, 0x02, 0x02});
}

CommandPacket CmdSetAddrHigh(std::uint8_t high)
{
    return registerWrite(0x00, high);
}

CommandPacket CmdWrite8(std::uint8_t low, std::span<const std::uint8_t, 8> data)
{
    return frame({0x09, low, data[0], data[1], data[2], data[3], data[4], data[5], data[6], data[7]});
}

CommandPacket CmdRead8(std::uint8_t low)
{
    return frame({0x0D, low, 0x00, 0x00, 0x00});
}

CommandPacket CmdEraseStart()
{
    return frame({0x0A, 0x00, 0x00, 0x00, 0x00});
}

CommandPacket CmdChipEraseMode()
{
    return registerWrite(0x01, 0x80);
}

CommandPacket CmdPageEraseMode()
{
    return registerWrite(0x01, 0x82);
}

CommandPacket CmdEraseStatus()
{
    return frame({0x00, 0x00, 0x00, 0x00, 0x00});
}

CommandPacket CmdLeaveIsp()
{
    // The mode value goes out only twice: this frame is 6 bytes.
    return frame({0x0E, 0x01, 0x01, 0x01});
}

CommandPacket CmdSetKeepMask(int lane, std::uint8_t value)
{
    return registerWrite(maskRegister(true, lane), value);
}

CommandPacket CmdSetEraseMask(int lane, std::uint8_t value)
{
    return registerWrite(maskRegister(false, lane), value);
}

CommandPacket CmdSetBaud(std::uint32_t rate)
{
    if (rate == 57600)
        return registerWrite(0x02, 0x8C);
    if (rate == 115200)
        return registerWrite(0x02, 0xCC);
    return {};
}

} // namespace pw
