#pragma once
#include <cstdint>
#include <string>

namespace pw {

// Log lines and box texts of the flash operations, byte for byte as the user sees them.
inline constexpr const char* kBeginProgramming = "Begin programming.............";
inline constexpr const char* kBeginVerifying = "Begin verifying........";
inline constexpr const char* kBeginChipErase = "Begin erase chip all data.............";
inline constexpr const char* kBeginPageErase = "Begin erase page data.............";
inline constexpr const char* kBeginAutoPageErase = "Begin erase chip page data.............";
inline constexpr const char* kTimeoutText = "Wait COM port timeout, pls check MCU and COM port status!";
inline constexpr const char* kDumpFileFailedText = "File can not open!";
inline constexpr const char* kPageCountZeroText = "Page count must be more than 0 !";
inline constexpr const char* kCancelledText = "Operation cancelled";

// Elapsed-time formats; the trailing line feed belongs to the logged line.
inline constexpr const char* kEraseElapsedFormat = "erase chip elapsed time : %2.1f seconds\n";
inline constexpr const char* kProgramElapsedFormat = "program elapsed time : %2.1f seconds\n";
inline constexpr const char* kVerifyElapsedFormat = "Verify elapsed time : %2.1f seconds\n";

std::string verifyFailureText(std::uint32_t blockAddress);
std::string imageTooLongText(const std::string& path, std::uint64_t length, std::uint32_t flashSize);
std::string pagesPastEndText(std::uint64_t fromPage, std::uint64_t pageCount, std::uint32_t pageBound);
std::string imageBelowStartText(std::uint64_t length, std::uint32_t startAddress);
std::string startPastFlashText(std::uint32_t startAddress, std::uint32_t flashSize);
std::string fieldOutsideFlashText(std::uint64_t address, std::uint64_t end, std::uint32_t flashSize);
std::string fieldBelowStartText(std::uint32_t address, std::uint32_t startAddress);
std::string dumpRangeText(std::uint64_t fromPage, std::uint64_t pageCount);

} // namespace pw
