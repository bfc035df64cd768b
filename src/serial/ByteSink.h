#pragma once
#include <cstddef>
#include <cstdint>

namespace pw {

// The owner of an open serial port: it receives every byte, in order. The monitor thread calls
// `receiveBytes` with what one read brought and does not read on until it returns; a sink that
// works byte by byte (the reply matcher) only implements `receiveByte`. A sink that hands the bytes to another thread (the GUI) must return early
// from a pending hand-over once `abandonDelivery` is called, so that closing the port never
// waits on a busy GUI thread.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void receiveByte(std::uint8_t byte, std::uint32_t portNumber) = 0;
    // A sink on another thread takes the whole read in one hand-over: one wake-up per reply
    // instead of one per byte.
    virtual void receiveBytes(const std::uint8_t* bytes, std::size_t count, std::uint32_t portNumber)
    {
        for (std::size_t i = 0; i < count; ++i)
            receiveByte(bytes[i], portNumber);
    }
    virtual void abandonDelivery() {}
};

} // namespace pw
