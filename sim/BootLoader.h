#pragma once
#include "sim/FlashMemory.h"

#include <cstdint>
#include <vector>

namespace pw::sim {

inline constexpr std::uint32_t kBaseRate = 9600;

// What the boot loader made of one complete frame.
struct FrameOutcome {
    enum class Command {
        Unknown,
        Connect,
        Handshake,
        SetAddrHigh,
        SetMask,
        SetMode,
        SetRate,
        LeaveIsp,
        Write8,
        Read8,
        EraseStart,
        EraseStatus,
    };
    Command command = Command::Unknown;
    std::vector<std::uint8_t> reply; // empty: no reply
    bool flashChanged = false;
};

// The boot loader's state machine on top of the flash; no I/O, no time.
class BootLoader {
public:
    enum class EraseMode : std::uint8_t { None = 0, Chip = 0x80, Page = 0x82 };

    explicit BootLoader(FlashMemory& flash) : flash_(flash) {}

    // followRateCommand false: the rate command is taken but the line stays as it was.
    FrameOutcome handle(const std::vector<std::uint8_t>& frame, bool followRateCommand);
    // The reset button: waiting for a connect at the base rate; flash is kept.
    void reset();
    static bool isConnect(const std::vector<std::uint8_t>& frame);

    bool connected() const { return connected_; }
    std::uint32_t lineRate() const { return lineRate_; }
    std::uint32_t keepMask() const { return keepMask_; }
    std::uint32_t eraseMask() const { return eraseMask_; }

private:
    FrameOutcome handleConnected(const std::vector<std::uint8_t>& frame, bool followRateCommand);
    FrameOutcome handleRegister(const std::vector<std::uint8_t>& frame, bool followRateCommand);
    FrameOutcome setMask(std::uint8_t reg, std::uint8_t value);
    FrameOutcome eraseStart();
    void clearSession();

    FlashMemory& flash_;
    bool connected_ = false;
    std::uint32_t lineRate_ = kBaseRate;
    std::uint8_t addressHigh_ = 0;
    std::uint32_t keepMask_ = 0;
    std::uint32_t eraseMask_ = 0;
    EraseMode mode_ = EraseMode::None;
};

} // namespace pw::sim
