#pragma once
// The boot loader's frames written out by hand, independent of the program's builders, and
// the exact stream an operation must put on the wire.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pw::test {

inline const std::string kConnectFrame = "0F 48 5A 34 31 43 31 FF";
inline const std::string kConnectReply = "0F 80 00 00 00 00 FF";
inline const std::string kHandshakeFrame = "0F 02 20 02 02 02 FF";
inline const std::string kLeaveFrame = "0F 0E 01 01 01 FF";
inline const std::vector<std::string> kChipEraseFrames = {"0F 0E 01 80 80 80 FF", "0F 0A 00 00 00 00 FF",
                                                          "0F 00 00 00 00 00 FF"};
// The rate command, or nothing for 9600.
std::optional<std::string> rateFrame(std::uint32_t rate);
std::string setAddrFrame(std::uint8_t high);
std::string writeFrame(std::uint8_t low, const std::vector<std::uint8_t>& data);
std::string readFrame(std::uint8_t low);
// Keep lanes 0..3 (registers 03 05 07 09), then erase lanes 0..3 (04 06 08 0A).
std::vector<std::string> maskFrames(std::uint32_t keepMask, std::uint32_t eraseMask);
// The masks for a start address: 2 KiB blocks below it kept, the rest erasable.
std::vector<std::string> startMaskFrames(std::uint32_t startAddress);

// Builds the frames of one run in order. The set-address frame goes out only when the high
// byte changes, across phases, as one walk.
class ExpectedStream {
public:
    ExpectedStream& open(std::uint32_t rateSwitchTo = 9600);
    ExpectedStream& masks(std::vector<std::string> frames);
    ExpectedStream& chipErase();
    ExpectedStream& pageErases(std::uint32_t firstPage, std::uint32_t count);
    // Blocks of 8 from `from` to the end of `image`, the last padded with 0xFF; with
    // `skipBlank`, blocks of 0xFF only are left out.
    ExpectedStream& writes(const std::vector<std::uint8_t>& image, std::size_t from, bool skipBlank = false);
    ExpectedStream& reads(std::size_t from, std::size_t to);
    ExpectedStream& leave();
    const std::vector<std::string>& frames() const { return frames_; }

private:
    void moveTo(std::size_t address);

    std::vector<std::string> frames_;
    int high_ = -1;
};

std::vector<std::uint8_t> patternImage(std::size_t length, std::uint8_t seed = 0);

} // namespace pw::test
