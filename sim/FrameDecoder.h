#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace pw::sim {

// Cuts the received byte stream into frames: 0x0F, a command code that fixes the length,
// parameters, 0xFF. Bytes outside a frame are skipped. A frame with an unknown code, or one
// that does not end in 0xFF at its length, is abandoned and the search for a start byte
// resumes just after its first byte.
class FrameDecoder {
public:
    // complete: a well-formed frame; false: the bytes of an abandoned one.
    using Sink = std::function<void(const std::vector<std::uint8_t>& bytes, bool complete)>;

    // Returns false when the byte was skipped outside any frame.
    bool feed(std::uint8_t byte, const Sink& sink);
    void clear() { buffer_.clear(); }

private:
    void abandon(const Sink& sink);

    std::vector<std::uint8_t> buffer_;
};

// Length of the frame that begins with these bytes (at least two), 0 for an unknown code.
// The leave command is the one 6-byte register write: 0F 0E 01 01 01 FF.
std::size_t expectedFrameLength(const std::vector<std::uint8_t>& head);

} // namespace pw::sim
