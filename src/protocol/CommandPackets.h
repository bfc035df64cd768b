#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pw {

// One frame to the boot loader: 0x0F, a command code, parameters, 0xFF. No length field, no
// checksum; each command has its own fixed length (6 to 12 bytes).
struct CommandPacket {
    std::array<std::uint8_t, 12> bytes{};
    std::size_t length = 0;
    std::span<const std::uint8_t> view() const { return {bytes.data(), length}; }
};

// Keep and erase masks: one bit per 2 KiB block, bit 0 for the block at address 0.
struct BlockMasks {
    std::uint32_t keepMask;
    std::uint32_t eraseMask;
};
BlockMasks masksForStartAddress(std::uint32_t ispStartAddr);
inline std::uint8_t maskLane(std::uint32_t mask, int lane)
{
    return static_cast<std::uint8_t>(mask >> (8 * lane));
}

// The frames, one builder per command; the workers send what these return.
CommandPacket CmdConnect();
CommandPacket CmdHandshake();
CommandPacket CmdSetAddrHigh(std::uint8_t high);
CommandPacket CmdWrite8(std::uint8_t low, std::span<const std::uint8_t, 8> data);
CommandPacket CmdRead8(std::uint8_t low);
CommandPacket CmdEraseStart();
CommandPacket CmdChipEraseMode();
CommandPacket CmdPageEraseMode();
CommandPacket CmdEraseStatus();
CommandPacket CmdLeaveIsp();
CommandPacket CmdSetKeepMask(int lane, std::uint8_t value);
CommandPacket CmdSetEraseMask(int lane, std::uint8_t value);
// 57600 or 115200; no frame exists for 9600 (length 0).
CommandPacket CmdSetBaud(std::uint32_t rate);

} // namespace pw
