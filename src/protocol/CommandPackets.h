#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pw {

class SerialPort;

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

// Builders: the frame only.
CommandPacket buildConnect();
CommandPacket buildHandshake();
CommandPacket buildSetAddrHigh(std::uint8_t high);
CommandPacket buildWrite8(std::uint8_t low, std::span<const std::uint8_t, 8> data);
CommandPacket buildRead8(std::uint8_t low);
CommandPacket buildEraseStart();
CommandPacket buildChipEraseMode();
CommandPacket buildPageEraseMode();
CommandPacket buildEraseStatus();
CommandPacket buildLeaveIsp();
CommandPacket buildSetKeepMask(int lane, std::uint8_t value);
CommandPacket buildSetEraseMask(int lane, std::uint8_t value);
// 57600 or 115200; no frame exists for 9600 (length 0).
CommandPacket buildSetBaud(std::uint32_t rate);

// Senders: build the frame and hand it to the port's write path. True when queued.
bool CmdConnect(SerialPort& port);
bool CmdHandshake(SerialPort& port);
bool CmdSetAddrHigh(SerialPort& port, std::uint8_t high);
bool CmdWrite8(SerialPort& port, std::uint8_t low, std::span<const std::uint8_t, 8> data);
bool CmdRead8(SerialPort& port, std::uint8_t low);
bool CmdEraseStart(SerialPort& port);
bool CmdChipEraseMode(SerialPort& port);
bool CmdPageEraseMode(SerialPort& port);
bool CmdEraseStatus(SerialPort& port);
bool CmdLeaveIsp(SerialPort& port);
bool CmdSetKeepMask(SerialPort& port, int lane, std::uint8_t value);
bool CmdSetEraseMask(SerialPort& port, int lane, std::uint8_t value);
bool CmdSetBaud(SerialPort& port, std::uint32_t rate);

} // namespace pw
