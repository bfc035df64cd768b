#pragma once
#include <cstdint>

namespace pw {

// The owner of an open serial port: it receives every byte, one call per byte, in order.
// The monitor thread calls `receiveByte` and does not read on until it returns. A sink that
// hands the byte to another thread (the GUI) must return early from a pending hand-over once
// `abandonDelivery` is called, so that closing the port never waits on a busy GUI thread.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void receiveByte(std::uint8_t byte, std::uint32_t portNumber) = 0;
    virtual void abandonDelivery() {}
};

} // namespace pw
