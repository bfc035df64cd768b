#pragma once
#include "image/FirmwareImage.h"

#include <cstdint>
#include <vector>

namespace pw {

// The bytes [start, start + length) of an image, walked in 8-byte blocks.
struct BlockSpan {
    std::uint32_t start = 0;
    std::uint64_t length = 0;
    std::uint64_t fullBlocks() const { return length / 8; }
    std::uint32_t tailBytes() const { return static_cast<std::uint32_t>(length % 8); }
};

// What a flashing run walks: the image from its start and, for a patch past the image's last
// block, the patch's own blocks, without the blank blocks between. Only the last span may end
// in a part block. The patch's blocks are always sent, blank or not.
struct FlashLayout {
    std::vector<BlockSpan> spans;
    std::uint64_t pinnedFrom = 0; // [pinnedFrom, pinnedTo): the patch's blocks
    std::uint64_t pinnedTo = 0;

    std::uint64_t length() const;
    bool pinned(std::uint32_t address) const { return address >= pinnedFrom && address < pinnedTo; }
    // The part block at the end of the last span: its address and its bytes (0: none).
    std::uint32_t tailAddress() const;
    std::uint32_t tailBytes() const { return spans.back().tailBytes(); }
};
// `imageSize` is the file's length, before the patch grew the image.
FlashLayout flashLayout(std::uint64_t imageSize, std::uint32_t start, const ImagePatch& patch);

} // namespace pw
