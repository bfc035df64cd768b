#include "PortDoubles.h"

#include <algorithm>

namespace pw::test {

using namespace std::chrono_literals;

void CollectingSink::receiveByte(std::uint8_t byte, std::uint32_t portNumber)
{
    std::lock_guard lock(mutex_);
    bytes_.push_back(byte);
    port_ = portNumber;
    threads_.push_back(std::this_thread::get_id());
    arrived_.notify_all();
}

bool CollectingSink::waitFor(std::size_t count)
{
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, 5s, [&] { return bytes_.size() >= count; });
}

std::vector<std::uint8_t> CollectingSink::bytes()
{
    std::lock_guard lock(mutex_);
    return bytes_;
}

std::uint32_t CollectingSink::port()
{
    std::lock_guard lock(mutex_);
    return port_;
}

bool CollectingSink::onOneThreadOtherThan(std::thread::id other)
{
    std::lock_guard lock(mutex_);
    if (threads_.empty() || threads_.front() == other)
        return false;
    return std::all_of(threads_.begin(), threads_.end(), [&](std::thread::id id) { return id == threads_.front(); });
}

void WaitingBoxes::show(const std::string& caption, const std::string& text, BoxIcon icon)
{
    RecordingBoxes::show(caption, text, icon);
    std::lock_guard lock(mutex_);
    ++count_;
    shown_.notify_all();
}

bool WaitingBoxes::waitForCount(std::size_t count, std::chrono::milliseconds wait)
{
    std::unique_lock lock(mutex_);
    return shown_.wait_for(lock, wait, [&] { return count_ >= count; });
}

} // namespace pw::test
