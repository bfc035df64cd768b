#include "base/ReadDest.h"

#include <algorithm>

namespace pw {

void ReadDest::attach(std::span<std::uint8_t, 16> buffer)
{
    std::lock_guard lock(mutex_);
    buffer_ = buffer.data();
}

void ReadDest::detach()
{
    std::lock_guard lock(mutex_);
    buffer_ = nullptr;
}

bool ReadDest::deliver(std::span<const std::uint8_t, 8> data)
{
    std::lock_guard lock(mutex_);
    if (!buffer_)
        return false;
    std::copy(data.begin(), data.end(), buffer_);
    return true;
}

bool ReadDest::copyTo(std::span<std::uint8_t, 8> out) const
{
    std::lock_guard lock(mutex_);
    if (!buffer_)
        return false;
    std::copy(buffer_, buffer_ + 8, out.begin());
    return true;
}

} // namespace pw
