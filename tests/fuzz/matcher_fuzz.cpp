// libFuzzer target: any byte stream, under any expected reply kind, for either matcher. The
// collected count must stay inside the reply buffer, and read data may only land in the
// attached buffer, only while a read reply is expected.
#include "context/IspContext.h"
#include "protocol/ResponseMatcher.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

namespace {

constexpr std::size_t kGuard = 32;
constexpr std::uint8_t kGuardByte = 0xA5;
constexpr int kKinds = static_cast<int>(pw::ResponseKind::Idle) + 1;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

// Input: [kind, variant, port, stream...]. A 0xFE byte in the stream followed by one more byte
// switches the expected kind mid-stream, as the workers do between exchanges.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    pw::fuzz::SilentBoxes boxes;
    pw::IspContext ctx(boxes);
    const auto variant = (data[1] & 1) ? pw::MatcherVariant::Dump : pw::MatcherVariant::Panel;
    const std::uint32_t port = data[2] % 26; // 0 and 25 are out of range
    pw::ResponseMatcher matcher(ctx, variant);

    std::array<std::uint8_t, kGuard + 16 + kGuard> area{};
    area.fill(kGuardByte);
    const std::span<std::uint8_t, 16> dest(area.data() + kGuard, 16);
    ctx.readDest.attach(dest);

    auto kind = static_cast<pw::ResponseKind>(data[0] % kKinds);
    ctx.expectedReply = kind;
    for (std::size_t i = 3; i < size; ++i) {
        if (data[i] == 0xFE && i + 1 < size) {
            kind = static_cast<pw::ResponseKind>(data[++i] % kKinds);
            ctx.expectedReply = kind;
            continue;
        }
        const std::array<std::uint8_t, 16> before = [&] {
            std::array<std::uint8_t, 16> copy{};
            std::copy(dest.begin(), dest.end(), copy.begin());
            return copy;
        }();
        const int taken = matcher.handleByte(data[i], port);
        check(taken == 0 || taken == -1);
        check((port >= 1 && port <= 24) || taken == -1);
        check(matcher.count() >= 0 && matcher.count() <= static_cast<int>(pw::ResponseMatcher::kBufferSize));
        if (kind != pw::ResponseKind::ReadData)
            check(std::equal(before.begin(), before.end(), dest.begin()));
        check(std::all_of(area.begin(), area.begin() + kGuard, [](std::uint8_t b) { return b == kGuardByte; }));
        check(std::all_of(area.end() - kGuard, area.end(), [](std::uint8_t b) { return b == kGuardByte; }));
        // Only the first 8 bytes of the attached buffer are ever written.
        check(std::all_of(dest.begin() + 8, dest.end(), [](std::uint8_t b) { return b == kGuardByte; }));
    }
    ctx.readDest.detach();
    return 0;
}
