// libFuzzer target: any byte string fed to the HEX reader and the converter must end in a
// result, never in a crash, an overrun or an image larger than the flash address space.
#include "image/HexRecord.h"
#include "image/HexToBin.h"
#include "image/ImageMessages.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

void readAllRecords(const std::string& text)
{
    std::istringstream in(text);
    pw::HexConverterState state;
    pw::HexRecord record;
    for (;;) {
        if (pw::ReadHexRecord(in, state, record) != pw::HexRecordResult::Record)
            return;
    }
}

void convert(const std::string& text)
{
    std::istringstream in(text);
    pw::HexConverterState state;
    std::vector<std::uint8_t> image;
    std::string error;
    const bool ok = pw::convertHexStream(in, "fuzz.hex", state, image, error);
    if (image.size() > pw::kImageCapacity || (ok && !error.empty()) || (!ok && error.empty()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    readAllRecords(text);
    convert(text);
    return 0;
}
