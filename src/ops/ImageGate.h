#pragma once
#include "image/FirmwareImage.h"
#include "ops/FlashLayout.h"
#include "ops/RunStatus.h"

#include <optional>
#include <string>

namespace pw {

struct ImageRefusal {
    Outcome outcome;
    std::string text;
};

// Why a run must not begin on an image of `length` bytes that it walks from `start` (0 for
// Program and Verify, the start address for Auto), or nothing: an image longer than the flash
// would wrap onto low addresses (only 16 address bits reach the target), a start past the flash
// gives no pages, and an image ending below the start leaves nothing to program. Front ends
// ask this before they open a port; the workers ask it again before their first frame.
std::optional<ImageRefusal> imageRefusal(const std::string& path, std::uint64_t length, std::uint32_t start,
                                         std::uint32_t flashSize);

// Why a patch must not be placed, or nothing: it must lie inside the flash and, where the run
// erases from `start` (Auto), at or above it.
std::optional<ImageRefusal> patchRefusal(const ImagePatch& patch, std::uint32_t start, std::uint32_t flashSize);

// A flashing run's image, patched, and the blocks it walks.
struct FlashImage {
    FirmwareImage image;
    FlashLayout layout;
};

// The image of a flashing run, read, checked and patched before anything is sent. The reader
// shows its own box when the file cannot be read; a refusal above gets a box of its own. Both
// fail `status`.
std::optional<FlashImage> loadFlashImage(IspContext& ctx, const std::string& path, std::uint32_t start,
                                         const ImagePatch& patch, RunStatus& status);

} // namespace pw
