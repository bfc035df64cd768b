#pragma once
#include <cstdint>
#include <mutex>
#include <span>

namespace pw {

// Where the matcher puts the 8 data bytes of a read reply. A reading operation attaches its
// own 16-byte buffer for the run and detaches it before freeing it; the lock makes a late reply
// that races with the detach harmless instead of a write into freed memory.
class ReadDest {
public:
    void attach(std::span<std::uint8_t, 16> buffer);
    void detach();
    // Matcher side: copies 8 bytes in; false when no buffer is attached.
    bool deliver(std::span<const std::uint8_t, 8> data);
    // Worker side: copies the first 8 bytes out; false when no buffer is attached.
    bool copyTo(std::span<std::uint8_t, 8> out) const;

private:
    mutable std::mutex mutex_;
    std::uint8_t* buffer_ = nullptr;
};

} // namespace pw
