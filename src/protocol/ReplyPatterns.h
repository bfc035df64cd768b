#pragma once
#include "base/ResponseKind.h"

#include <array>
#include <cstdint>
#include <optional>

namespace pw {

using ReplyPattern = std::array<std::uint8_t, 7>;

// The exact 7-byte reply a kind waits for, or nothing for the kinds that take any frame.
std::optional<ReplyPattern> replyPattern(ResponseKind kind);

} // namespace pw
