#include "protocol/ResponseMatcher.h"

#include "protocol/ReplyPatterns.h"
#include "base/NumberText.h"

#include <algorithm>

namespace pw {

namespace {

constexpr std::uint8_t kFrameStart = 0x0F;
constexpr int kFrameLength = 7;
constexpr int kReadReplyLength = 12;
constexpr std::size_t kClearedHead = 16;

bool knownTo(MatcherVariant variant, ResponseKind kind)
{
    const auto value = static_cast<int>(kind);
    if (value <= static_cast<int>(ResponseKind::EraseDoneAck) || kind == ResponseKind::AnyFrameNoClear)
        return true;
    return variant == MatcherVariant::Panel && (kind == ResponseKind::MaskAck || kind == ResponseKind::AnyByte);
}

} // namespace

ResponseMatcher::ResponseMatcher(IspContext& ctx, MatcherVariant variant) : ctx_(ctx), variant_(variant) {}

void ResponseMatcher::receiveByte(std::uint8_t byte, std::uint32_t portNumber)
{
    handleByte(byte, portNumber);
}

int ResponseMatcher::handleByte(std::uint8_t byte, std::uint32_t portNumber)
{
    if (portNumber < 1 || portNumber > kLastComPort)
        return -1;
    bool wrongConnectReply = false;
    {
        std::lock_guard lock(mutex_);
        if (!collect(byte))
            return -1;
        ResponseKind kind = ctx_.expectedReply.load();
        wrongConnectReply = matchCollected(knownTo(variant_, kind) ? kind : ResponseKind::Ignore);
    }
    // Shown without the lock: the box waits for the user while a starter may clear the buffer.
    if (wrongConnectReply) {
        ctx_.wrongReply = true;
        if (wrongConnectBox_)
            showErrorBox(ctx_.boxes, "Please reset MCU and try again!");
    }
    return 0;
}

bool ResponseMatcher::collect(std::uint8_t byte)
{
    // A full buffer means nothing matched for a long time: start over at the next frame.
    if (count_ >= static_cast<int>(kBufferSize))
        count_ = 0;
    if (count_ == 0 && byte != kFrameStart)
        return false;
    buffer_[static_cast<std::size_t>(count_++)] = byte;
    return true;
}

void ResponseMatcher::complete(bool clear)
{
    count_ = 0;
    if (clear)
        std::fill_n(buffer_.begin(), kClearedHead, std::uint8_t{0});
    ctx_.replyEvent.set();
}

bool ResponseMatcher::matchCollected(ResponseKind kind)
{
    switch (kind) {
    case ResponseKind::ReadData:
        if (count_ == kReadReplyLength) {
            ctx_.readDest.deliver(std::span<const std::uint8_t, 8>(buffer_.data() + 3, 8));
            complete(false);
        }
        return false;
    case ResponseKind::ConnectAck:
        if (count_ != kFrameLength)
            return false;
        if (std::equal(buffer_.begin(), buffer_.begin() + kFrameLength, replyPattern(kind)->begin())) {
            complete(true);
            return false;
        }
        // The operation runs into its time-out; the next frame is collected from its start, so
        // that a board asked again is heard again.
        count_ = 0;
        return true;
    case ResponseKind::AnyFrame:
    case ResponseKind::MaskAck:
    case ResponseKind::AnyFrameNoClear:
        if (count_ == kFrameLength)
            complete(kind != ResponseKind::AnyFrameNoClear);
        return false;
    case ResponseKind::AnyByte: complete(true); return false;
    case ResponseKind::Ignore:
    case ResponseKind::Idle:
    case ResponseKind::Unassigned: count_ = 0; return false;
    default: {
        // Exact replies: the first 7 bytes are compared after every byte, leftovers of an
        // uncleared earlier frame included.
        const ReplyPattern pattern = *replyPattern(kind);
        if (std::equal(pattern.begin(), pattern.end(), buffer_.begin()))
            complete(true);
        return false;
    }
    }
}

void ResponseMatcher::resetCount()
{
    std::lock_guard lock(mutex_);
    count_ = 0;
}

void ResponseMatcher::clearHead()
{
    std::lock_guard lock(mutex_);
    std::fill_n(buffer_.begin(), kClearedHead, std::uint8_t{0});
}

int ResponseMatcher::count() const
{
    std::lock_guard lock(mutex_);
    return count_;
}

} // namespace pw
