#pragma once
#include "context/IspContext.h"
#include "protocol/LinkControl.h"

#include <cstdint>
#include <optional>

namespace pw {

// The operations differ in when they switch the rate and how long the handshake may take.
enum class LinkUse { Program, Verify, Auto, Dump, Erase };

// Connect and handshake, then the rate switch where this use calls for it.
WaitResult openConnection(IspContext& ctx, LinkUse use);
bool needsRateSwitch(LinkUse use, std::uint32_t baudRate);

// Which reply the eight mask steps expect: all MaskAck (Auto), or AnyByte for lane 2 of the
// keep mask (Program and the erases), whose reply is not a full frame.
enum class MaskKinds { AllMaskAck, KeepLane2AnyByte };
WaitResult MaskSetup(IspContext& ctx, BlockMasks masks, MaskKinds kinds);

// Bits 8 to 15 of the address as the target last heard them. Starts at 0xFF for every run;
// Auto hands one walk from phase to phase.
class AddressWalk {
public:
    // Sends CmdSetAddrHigh when bits 8 to 15 of `address` differ from the last value sent.
    // `kind` empty keeps the expected reply of the step before.
    WaitResult select(IspContext& ctx, std::uint32_t address, std::optional<ResponseKind> kind);
    void noteSent(std::uint8_t high) { lastHigh_ = high; }

private:
    std::uint8_t lastHigh_ = 0xFF;
};

} // namespace pw
