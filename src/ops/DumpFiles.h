#pragma once
#include "base/ManualResetEvent.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pw {

inline constexpr const char* kDumpTextName = "Dump.txt";
inline constexpr const char* kDumpBinaryName = "Dump.bin";

// The listing of `bytes` read from flash address `start`: rows of 16 bytes as
// "%08xh : " then "%02X" separated by one blank, each row ended by CR LF. Cancel is looked at
// before each row; nullopt when it was signalled.
std::optional<std::string> dumpListing(std::span<const std::uint8_t> bytes, std::uint32_t start,
                                       const ManualResetEvent& cancel);

// `directory`/`name`, written completely or not at all. False when it could not be written.
bool writeDumpFile(const std::string& directory, const char* name, std::span<const std::uint8_t> content,
                   std::string& path);

} // namespace pw
