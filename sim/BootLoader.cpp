#include "sim/BootLoader.h"

#include <span>

namespace pw::sim {

namespace {

using Bytes = std::vector<std::uint8_t>;
using Command = FrameOutcome::Command;

const Bytes kConnect = {0x0F, 'H', 'Z', '4', '1', 'C', '1', 0xFF};
const Bytes kHandshake = {0x0F, 0x02, 0x20, 0x02, 0x02, 0x02, 0xFF};
const Bytes kEraseStart = {0x0F, 0x0A, 0x00, 0x00, 0x00, 0x00, 0xFF};
const Bytes kEraseStatus = {0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF};
const Bytes kLeave = {0x0F, 0x0E, 0x01, 0x01, 0x01, 0xFF};

Bytes ack(std::uint8_t code, std::uint8_t b2 = 0, std::uint8_t b3 = 0, std::uint8_t b4 = 0, std::uint8_t b5 = 0)
{
    return {0x0F, code, b2, b3, b4, b5, 0xFF};
}

FrameOutcome outcome(Command command, Bytes reply = {})
{
    return FrameOutcome{command, std::move(reply), false};
}

} // namespace

void BootLoader::clearSession()
{
    addressHigh_ = 0;
    keepMask_ = 0;
    eraseMask_ = 0;
    mode_ = EraseMode::None;
}

void BootLoader::reset()
{
    clearSession();
    connected_ = false;
    lineRate_ = kBaseRate;
}

bool BootLoader::isConnect(const std::vector<std::uint8_t>& frame)
{
    return frame == kConnect;
}

FrameOutcome BootLoader::handle(const std::vector<std::uint8_t>& frame, bool followRateCommand)
{
    if (frame == kConnect) {
        clearSession();
        connected_ = true;
        return outcome(Command::Connect, ack(0x80));
    }
    if (!connected_)
        return {};
    return handleConnected(frame, followRateCommand);
}

FrameOutcome BootLoader::handleConnected(const std::vector<std::uint8_t>& frame, bool followRateCommand)
{
    if (frame == kHandshake)
        return outcome(Command::Handshake, ack(0x82, 0x20, 0xFF, 0xFF, 0xFF));
    if (frame == kLeave) {
        reset();
        return outcome(Command::LeaveIsp);
    }
    if (frame == kEraseStart)
        return eraseStart();
    if (frame == kEraseStatus)
        return outcome(Command::EraseStatus, ack(0x80));
    if (frame.size() == 7 && frame[1] == 0x0E)
        return handleRegister(frame, followRateCommand);
    if (frame.size() == 7 && frame[1] == 0x0D && frame[3] == 0 && frame[4] == 0 && frame[5] == 0) {
        Bytes reply = {0x0F, 0x8D, frame[2]};
        const std::size_t address = (std::size_t{addressHigh_} << 8) | frame[2];
        for (std::size_t i = 0; i < 8; ++i)
            reply.push_back(flash_.bytes()[(address + i) % kFlashSize]);
        reply.push_back(0xFF);
        return outcome(Command::Read8, std::move(reply));
    }
    if (frame.size() == 12 && frame[1] == 0x09) {
        const std::uint16_t address = static_cast<std::uint16_t>((addressHigh_ << 8) | frame[2]);
        flash_.program(address, std::span<const std::uint8_t, 8>(frame.data() + 3, 8));
        FrameOutcome result = outcome(Command::Write8, ack(0x89));
        result.flashChanged = true;
        return result;
    }
    return {};
}

FrameOutcome BootLoader::handleRegister(const std::vector<std::uint8_t>& frame, bool followRateCommand)
{
    const std::uint8_t reg = frame[2];
    const std::uint8_t value = frame[3];
    if (frame[4] != value || frame[5] != value)
        return {};
    if (reg == 0x00) {
        addressHigh_ = value;
        return outcome(Command::SetAddrHigh, ack(0x8E, 0x00, value, value, value));
    }
    if (reg == 0x01 && (value == 0x80 || value == 0x82)) {
        mode_ = static_cast<EraseMode>(value);
        return outcome(Command::SetMode, ack(0x8E, 0x01, value, value, value));
    }
    if (reg == 0x02 && (value == 0x8C || value == 0xCC)) {
        if (followRateCommand)
            lineRate_ = value == 0x8C ? 57600 : 115200;
        return outcome(Command::SetRate);
    }
    if (reg >= 0x03 && reg <= 0x0A)
        return setMask(reg, value);
    return {};
}

FrameOutcome BootLoader::setMask(std::uint8_t reg, std::uint8_t value)
{
    // Keep lanes are the odd registers 03..09, erase lanes the even ones 04..0A.
    const int lane = (reg - 0x03) / 2;
    std::uint32_t& mask = (reg % 2 == 1) ? keepMask_ : eraseMask_;
    const std::uint32_t laneBits = 0xFFu << (8 * lane);
    mask = (mask & ~laneBits) | (std::uint32_t{value} << (8 * lane));
    return outcome(Command::SetMask, ack(0x8E, reg, value, value, value));
}

FrameOutcome BootLoader::eraseStart()
{
    FrameOutcome result = outcome(Command::EraseStart, ack(0x8A));
    if (mode_ == EraseMode::Chip)
        result.flashChanged = flash_.eraseChip(keepMask_, eraseMask_) > 0;
    else if (mode_ == EraseMode::Page)
        result.flashChanged = flash_.erasePage(addressHigh_ / 2u, keepMask_, eraseMask_);
    return result;
}

} // namespace pw::sim
