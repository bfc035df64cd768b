#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pw::sim {

enum class FrameDirection {
    In,       // a complete frame from the program
    Out,      // a reply, as it went on the wire (after faults and line noise)
    Rejected, // bytes from the program that began a frame but did not make one
};

struct FrameLogEntry {
    FrameDirection direction;
    std::int64_t us; // microseconds since the simulator started
    std::vector<std::uint8_t> bytes;
};

// "0F 80 00 00 00 00 FF": upper-case hex, one space between bytes.
std::string hexBytes(std::span<const std::uint8_t> bytes);
// One log file line: "<us> <d> <hex>" with d '<' in, '>' out, '?' rejected.
std::string logLine(const FrameLogEntry& entry);

} // namespace pw::sim
