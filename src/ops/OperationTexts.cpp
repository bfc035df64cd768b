#include "ops/OperationTexts.h"

#include <cinttypes>
#include <cstdio>

namespace pw {

std::string verifyFailureText(std::uint32_t blockAddress)
{
    char text[48];
    std::snprintf(text, sizeof text, "Verified Failure at 0x%x!!!", blockAddress);
    return text;
}

std::string imageTooLongText(const std::string& path, std::uint64_t length, std::uint32_t flashSize)
{
    char text[96];
    std::snprintf(text, sizeof text, " is %" PRIu64 " bytes long, more than the %" PRIu32 " bytes of flash!!!", length,
                  flashSize);
    return "File : " + path + text;
}

std::string pagesPastEndText(std::uint64_t fromPage, std::uint64_t pageCount, std::uint32_t pageBound)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "Pages 0x%" PRIX64 " to 0x%" PRIX64 " run past the last flash page 0x%" PRIX32
                  "!!! Nothing was erased.",
                  fromPage, fromPage + pageCount - 1, pageBound - 1);
    return text;
}

std::string imageBelowStartText(std::uint64_t length, std::uint32_t startAddress)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "The image holds 0x%" PRIX64 " bytes and none at or above the start address 0x%" PRIX32
                  ": nothing to program!!!",
                  length, startAddress);
    return text;
}

std::string startPastFlashText(std::uint32_t startAddress, std::uint32_t flashSize)
{
    char text[120];
    std::snprintf(text, sizeof text, "The start address 0x%" PRIX32 " lies beyond the 0x%" PRIX32 " bytes of flash!!!",
                  startAddress, flashSize);
    return text;
}

std::string fieldOutsideFlashText(std::uint64_t address, std::uint64_t end, std::uint32_t flashSize)
{
    char text[120];
    std::snprintf(text, sizeof text,
                  "The field at 0x%" PRIX64 " to 0x%" PRIX64 " lies outside the 0x%" PRIX32 " bytes of flash!!!",
                  address, end - 1, flashSize);
    return text;
}

std::string fieldBelowStartText(std::uint32_t address, std::uint32_t startAddress)
{
    char text[140];
    std::snprintf(text, sizeof text,
                  "The field at 0x%" PRIX32 " lies below the start address 0x%" PRIX32 ", which Auto does not erase!!!",
                  address, startAddress);
    return text;
}

std::string dumpRangeText(std::uint64_t fromPage, std::uint64_t pageCount)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "Pages 0x%" PRIX64 " to 0x%" PRIX64
                  " cannot be dumped: at most 0x80 pages, ending at or below address 0x10000!!!",
                  fromPage, fromPage + pageCount - 1);
    return text;
}

} // namespace pw
