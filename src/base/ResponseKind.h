#pragma once
#include <cstdint>

namespace pw {

// Which reply the response matcher collects next. The numbers are fixed: they are shared by
// the panel's and the dump dialog's matchers and written by every operation.
enum class ResponseKind : std::uint8_t {
    ReadData = 0,
    ConnectAck = 1,
    HandshakeAck = 2,
    AnyFrame = 3,
    WriteAck = 4,
    EraseStartAck = 5,
    ChipEraseModeAck = 6,
    PageEraseModeAck = 7,
    EraseDoneAck = 8,
    Unassigned = 9,
    AnyFrameNoClear = 10,
    Ignore = 11,
    MaskAck = 12,
    AnyByte = 13,
    Idle = 14,
};

} // namespace pw
