#pragma once
// The boot loader's frames written out by hand, independent of the program's builders, and
// the exact stream an operation must put on the wire.
#include "sim/FrameLog.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace pw::test {

inline const std::string kConnectFrame = "0F 48 5A 34 31 43 31 FF";
inline const std::string kConnectReply = "0F 80 00 00 00 00 FF";
inline const std::string kHandshakeFrame = "0F 02 20 02 02 02 FF";
inline const std::string kLeaveFrame = "0F 0E 01 01 01 FF";
inline const std::vector<std::string> kChipEraseFrames = {"0F 0E 01 80 80 80 FF", "0F 0A 00 00 00 00 FF",
                                                          "0F 00 00 00 00 00 FF"};
inline const std::vector<std::string> kPageEraseFrames = {"0F 0E 01 82 82 82 FF", "0F 0A 00 00 00 00 FF",
                                                          "0F 00 00 00 00 00 FF"};

// A register frame: 0F 0E, the register, its value three times, FF.
inline std::string registerFrame(unsigned reg, unsigned value)
{
    char text[32];
    std::snprintf(text, sizeof text, "0F 0E %02X %02X %02X %02X FF", reg, value & 0xFF, value & 0xFF, value & 0xFF);
    return text;
}
inline std::string setAddrFrame(std::uint8_t high)
{
    return registerFrame(0x00, high);
}
// The rate command, or nothing for 9600.
inline std::optional<std::string> rateFrame(std::uint32_t rate)
{
    if (rate == 9600)
        return std::nullopt;
    return registerFrame(0x02, rate == 115200 ? 0xCC : 0x8C);
}
inline std::string writeFrame(std::uint8_t low, const std::vector<std::uint8_t>& data)
{
    char head[16];
    std::snprintf(head, sizeof head, "0F 09 %02X ", low);
    return head + sim::hexBytes(data) + " FF";
}
inline std::string readFrame(std::uint8_t low)
{
    return sim::hexBytes(std::vector<std::uint8_t>{0x0F, 0x0D, low, 0x00, 0x00, 0x00, 0xFF});
}
// Keep lanes 0..3 (registers 03 05 07 09), then erase lanes 0..3 (04 06 08 0A).
inline std::vector<std::string> maskFrames(std::uint32_t keepMask, std::uint32_t eraseMask)
{
    std::vector<std::string> frames;
    for (const auto& [mask, firstRegister] : {std::pair{keepMask, 3u}, std::pair{eraseMask, 4u}})
        for (unsigned lane = 0; lane < 4; ++lane)
            frames.push_back(registerFrame(firstRegister + 2 * lane, mask >> (8 * lane)));
    return frames;
}
// The masks for a start address: 2 KiB blocks below it kept, the rest erasable.
inline std::vector<std::string> startMaskFrames(std::uint32_t startAddress)
{
    const std::uint32_t keptBlocks = startAddress / 0x800;
    const std::uint32_t erase = keptBlocks >= 32 ? 0 : 0xFFFFFFFFu << keptBlocks;
    return maskFrames(~erase, erase);
}

// Builds the frames of one run in order. The set-address frame goes out only when the high
// byte changes, across phases, as one walk.
class ExpectedStream {
public:
    ExpectedStream& open(std::uint32_t rateSwitchTo = 9600)
    {
        add({kConnectFrame, kHandshakeFrame});
        if (const std::optional<std::string> rate = rateFrame(rateSwitchTo))
            add({*rate});
        return *this;
    }
    ExpectedStream& masks(const std::vector<std::string>& frames) { return add(frames); }
    ExpectedStream& chipErase() { return add(kChipEraseFrames); }
    ExpectedStream& pageErases(std::uint32_t firstPage, std::uint32_t count)
    {
        for (std::uint32_t page = firstPage; page < firstPage + count; ++page)
            moveTo(std::size_t{page} * 0x200).add(kPageEraseFrames);
        return *this;
    }
    // Blocks of 8 from `from` to the end of `image`, the last padded with 0xFF; with
    // `skipBlank`, blocks of 0xFF only are left out.
    ExpectedStream& writes(const std::vector<std::uint8_t>& image, std::size_t from, bool skipBlank = false)
    {
        for (std::size_t a = from; a < image.size(); a += 8) {
            std::vector<std::uint8_t> block(8, 0xFF);
            std::copy(image.begin() + static_cast<std::ptrdiff_t>(a),
                      image.begin() + static_cast<std::ptrdiff_t>(std::min(a + 8, image.size())), block.begin());
            if (!skipBlank || std::ranges::any_of(block, [](std::uint8_t b) { return b != 0xFF; }))
                moveTo(a).add({writeFrame(static_cast<std::uint8_t>(a), block)});
        }
        return *this;
    }
    ExpectedStream& reads(std::size_t from, std::size_t to)
    {
        for (std::size_t a = from; a < to; a += 8)
            moveTo(a).add({readFrame(static_cast<std::uint8_t>(a))});
        return *this;
    }
    ExpectedStream& leave() { return add({kLeaveFrame}); }
    const std::vector<std::string>& frames() const { return frames_; }

private:
    ExpectedStream& add(const std::vector<std::string>& frames)
    {
        frames_.insert(frames_.end(), frames.begin(), frames.end());
        return *this;
    }
    ExpectedStream& moveTo(std::size_t address)
    {
        const int high = static_cast<int>((address >> 8) & 0xFF);
        if (high != high_)
            add({setAddrFrame(static_cast<std::uint8_t>(high))});
        high_ = high;
        return *this;
    }

    std::vector<std::string> frames_;
    int high_ = -1;
};

// "0F 80 00" as bytes.
inline std::vector<std::uint8_t> bytesOf(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    std::istringstream in(hex);
    for (std::string token; in >> token;)
        bytes.push_back(static_cast<std::uint8_t>(std::strtoul(token.c_str(), nullptr, 16)));
    return bytes;
}

inline std::vector<std::uint8_t> patternImage(std::size_t length, std::uint8_t seed = 0)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t k = 0; k < length; ++k)
        bytes[k] = static_cast<std::uint8_t>((k * 7 + (k >> 8) + seed) ^ 0x5A);
    return bytes;
}

} // namespace pw::test
