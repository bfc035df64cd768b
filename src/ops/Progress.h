#pragma once
#include "ops/OperationView.h"

#include <cstdint>

namespace pw {

// The bar of a walk over `bytes` bytes in 8-byte blocks: the range stays below 255 steps.
struct ProgressPlan {
    std::uint32_t divisor = 1; // smallest d >= 1 with bytes / (8 d) < 255
    int high = 0;              // (bytes / 8) / divisor

    explicit ProgressPlan(std::uint64_t bytes);
    // Range 0..high, position 0.
    void apply(OperationView& view) const;
    // After block `block` (from 0) of the walk: the position, where it has moved.
    void afterBlock(OperationView& view, std::uint64_t block) const;
};

} // namespace pw
