#include "FarEnd.h"

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace pw::test {

using namespace std::chrono_literals;

FarEnd::FarEnd()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return;
    slave_ = ::ptsname(master_);
    keeper_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

FarEnd::~FarEnd()
{
    hangUp();
}

bool FarEnd::send(const std::vector<std::uint8_t>& bytes) const
{
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::vector<std::uint8_t> FarEnd::receive(std::size_t count, std::chrono::milliseconds wait) const
{
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (auto now = std::chrono::steady_clock::now(); got.size() < count && now < deadline;
         now = std::chrono::steady_clock::now()) {
        pollfd fd{master_, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (::poll(&fd, 1, static_cast<int>(left.count()) + 1) <= 0)
            continue;
        std::uint8_t buffer[64];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

speed_t FarEnd::lineSpeed() const
{
    termios tio{};
    ::tcgetattr(master_, &tio);
    return cfgetospeed(&tio);
}

void FarEnd::dropMasterOnly()
{
    ::close(master_);
    master_ = -1;
}

void FarEnd::hangUp()
{
    for (int* fd : {&keeper_, &master_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

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
