#pragma once
#include "context/IspContext.h"
#include "base/ResponseKind.h"
#include "serial/ByteSink.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace pw {

// Which reply kinds a matcher knows; the others are treated like Ignore.
enum class MatcherVariant {
    Panel, // 0-8, 10, 12, 13
    Dump,  // 0-8, 10
};

// Recognises the reply the worker announced in ctx.expectedReply, one byte per call, and
// signals ctx.replyEvent when it is complete. The panel and the Dump dialog own one each.
class ResponseMatcher : public ByteSink {
public:
    static constexpr std::size_t kBufferSize = 1000;

    ResponseMatcher(IspContext& ctx, MatcherVariant variant);

    void receiveByte(std::uint8_t byte, std::uint32_t portNumber) override;
    // 0 when the byte was taken, -1 when dropped (out-of-range port, no start byte).
    int handleByte(std::uint8_t byte, std::uint32_t portNumber);

    // A station fails a board that answers its connect wrongly, with its own reason, instead
    // of showing the box at every look for a board.
    void setWrongConnectBox(bool shown) { wrongConnectBox_ = shown; }

    void resetCount(); // the window opened the port for itself
    void clearHead();  // clear the first 16 bytes before an operation starts
    int count() const;

private:
    // Under mutex_: the byte joins the reply being collected; false when it starts none.
    bool collect(std::uint8_t byte);
    // Under mutex_: signals replyEvent when the collected bytes complete a reply of `kind`;
    // true for a full connect reply that is not the expected one.
    bool matchCollected(ResponseKind kind);
    void complete(bool clear);

    IspContext& ctx_;
    MatcherVariant variant_;
    mutable std::mutex mutex_; // the delivering thread and a starter may differ (headless)
    std::array<std::uint8_t, kBufferSize> buffer_{};
    int count_ = 0;
    std::atomic<bool> wrongConnectBox_{true};
};

} // namespace pw
