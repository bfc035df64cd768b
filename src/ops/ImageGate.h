#pragma once
#include "image/FirmwareImage.h"
#include "ops/RunStatus.h"

#include <optional>
#include <string>

namespace pw {

// The image of a flashing run. The reader shows its own box when the file cannot be read;
// an image longer than the flash would wrap onto low addresses (only 16 address bits reach
// the target), so it is refused here with a box of its own. Both fail `status`.
std::optional<FirmwareImage> loadFlashImage(IspContext& ctx, const std::string& path, RunStatus& status);

} // namespace pw
