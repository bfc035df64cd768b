#include "sim/FrameDecoder.h"

namespace pw::sim {

namespace {
constexpr std::uint8_t kStart = 0x0F;
constexpr std::uint8_t kEnd = 0xFF;

bool isLeaveSoFar(const std::vector<std::uint8_t>& head)
{
    return head.size() == 6 && head[2] == 0x01 && head[3] == 0x01 && head[4] == 0x01 && head[5] == kEnd;
}
} // namespace

std::size_t expectedFrameLength(const std::vector<std::uint8_t>& head)
{
    switch (head[1]) {
    case 'H': return 8;
    case 0x09: return 12;
    case 0x0E: return isLeaveSoFar(head) ? 6 : 7;
    case 0x00:
    case 0x02:
    case 0x0A:
    case 0x0D: return 7;
    default: return 0;
    }
}

bool FrameDecoder::feed(std::uint8_t byte, const Sink& sink)
{
    if (buffer_.empty() && byte != kStart)
        return false;
    buffer_.push_back(byte);
    if (buffer_.size() < 2)
        return true;
    const std::size_t length = expectedFrameLength(buffer_);
    if (length == 0) {
        abandon(sink);
    } else if (buffer_.size() == length) {
        if (buffer_.back() != kEnd) {
            abandon(sink);
        } else {
            const std::vector<std::uint8_t> frame = std::move(buffer_);
            buffer_.clear();
            sink(frame, true);
        }
    }
    return true;
}

void FrameDecoder::abandon(const Sink& sink)
{
    const std::vector<std::uint8_t> dropped = std::move(buffer_);
    buffer_.clear();
    sink(dropped, false);
    // A start byte may hide inside the abandoned bytes.
    for (std::size_t i = 1; i < dropped.size(); ++i)
        feed(dropped[i], sink);
}

} // namespace pw::sim
