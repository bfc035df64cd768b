#include "support/WireFrames.h"

#include "sim/FrameLog.h"

#include <algorithm>
#include <cstdio>

namespace pw::test {

namespace {

std::string register4(unsigned reg, unsigned value)
{
    char text[32];
    std::snprintf(text, sizeof text, "0F 0E %02X %02X %02X %02X FF", reg, value, value, value);
    return text;
}

} // namespace

std::optional<std::string> rateFrame(std::uint32_t rate)
{
    if (rate == 57600)
        return "0F 0E 02 8C 8C 8C FF";
    if (rate == 115200)
        return "0F 0E 02 CC CC CC FF";
    return std::nullopt;
}

std::string setAddrFrame(std::uint8_t high)
{
    return register4(0x00, high);
}

std::string writeFrame(std::uint8_t low, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> frame{0x0F, 0x09, low};
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(0xFF);
    return sim::hexBytes(frame);
}

std::string readFrame(std::uint8_t low)
{
    return sim::hexBytes(std::vector<std::uint8_t>{0x0F, 0x0D, low, 0x00, 0x00, 0x00, 0xFF});
}

std::vector<std::string> maskFrames(std::uint32_t keepMask, std::uint32_t eraseMask)
{
    std::vector<std::string> frames;
    for (const auto& [mask, firstRegister] : {std::pair{keepMask, 3u}, std::pair{eraseMask, 4u}})
        for (unsigned lane = 0; lane < 4; ++lane)
            frames.push_back(register4(firstRegister + 2 * lane, (mask >> (8 * lane)) & 0xFF));
    return frames;
}

std::vector<std::string> startMaskFrames(std::uint32_t startAddress)
{
    const std::uint32_t keptBlocks = startAddress / 0x800;
    const std::uint32_t erase = keptBlocks >= 32 ? 0 : 0xFFFFFFFFu << keptBlocks;
    return maskFrames(~erase, erase);
}

ExpectedStream& ExpectedStream::open(std::uint32_t rateSwitchTo)
{
    frames_.push_back(kConnectFrame);
    frames_.push_back(kHandshakeFrame);
    if (const std::optional<std::string> rate = rateFrame(rateSwitchTo))
        frames_.push_back(*rate);
    return *this;
}

ExpectedStream& ExpectedStream::masks(std::vector<std::string> frames)
{
    frames_.insert(frames_.end(), frames.begin(), frames.end());
    return *this;
}

ExpectedStream& ExpectedStream::chipErase()
{
    frames_.insert(frames_.end(), kChipEraseFrames.begin(), kChipEraseFrames.end());
    return *this;
}

ExpectedStream& ExpectedStream::pageErases(std::uint32_t firstPage, std::uint32_t count)
{
    for (std::uint32_t page = firstPage; page < firstPage + count; ++page) {
        moveTo(std::size_t{page} * 0x200);
        frames_.insert(frames_.end(), {"0F 0E 01 82 82 82 FF", "0F 0A 00 00 00 00 FF", "0F 00 00 00 00 00 FF"});
    }
    return *this;
}

ExpectedStream& ExpectedStream::writes(const std::vector<std::uint8_t>& image, std::size_t from, bool skipBlank)
{
    for (std::size_t a = from; a < image.size(); a += 8) {
        std::vector<std::uint8_t> block(8, 0xFF);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(a), std::min<std::size_t>(8, image.size() - a),
                    block.begin());
        if (skipBlank && std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; }))
            continue;
        moveTo(a);
        frames_.push_back(writeFrame(static_cast<std::uint8_t>(a), block));
    }
    return *this;
}

ExpectedStream& ExpectedStream::reads(std::size_t from, std::size_t to)
{
    for (std::size_t a = from; a < to; a += 8) {
        moveTo(a);
        frames_.push_back(readFrame(static_cast<std::uint8_t>(a)));
    }
    return *this;
}

ExpectedStream& ExpectedStream::leave()
{
    frames_.push_back(kLeaveFrame);
    return *this;
}

void ExpectedStream::moveTo(std::size_t address)
{
    const int high = static_cast<int>((address >> 8) & 0xFF);
    if (high != high_)
        frames_.push_back(setAddrFrame(static_cast<std::uint8_t>(high)));
    high_ = high;
}

std::vector<std::uint8_t> patternImage(std::size_t length, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t k = 0; k < length; ++k)
        bytes[k] = static_cast<std::uint8_t>((k * 7 + (k >> 8) + seed) ^ 0x5A);
    return bytes;
}


} // namespace pw::test
