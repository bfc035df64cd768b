#include "line/BoardSerials.h"

#include "line/JsonWriter.h"
#include "base/ChipTable.h"
#include "ops/ImageGate.h"

#include <cinttypes>
#include <cstdio>

namespace pw {

std::optional<std::string> serialFieldRefusal(const SerialField& field, const std::vector<std::uint8_t>& image,
                                              std::uint32_t start, bool overwrite)
{
    const ImagePatch span{field.address, std::vector<std::uint8_t>(field.format.bytes, 0xFF)};
    if (const auto refusal = patchRefusal(span, start, kChipFlashSizes[0]))
        return refusal->text;
    for (std::uint64_t address = field.address; !overwrite && address < span.end() && address < image.size();
         ++address) {
        if (image[address] == 0xFF)
            continue;
        char text[160];
        std::snprintf(text, sizeof text,
                      "the image holds 0x%02X at 0x%04" PRIX64
                      ", where the serial number goes; --serial-overwrite writes over it",
                      image[address], address);
        return std::string(text);
    }
    return std::nullopt;
}

PoolProblem BoardSerials::open(const std::string& pool, const std::string& database)
{
    PoolProblem problem;
    pool_ = openNumberStore(pool, database, problem);
    if (problem)
        return problem;
    return pool_->checkNext(largestSerial(field_.format));
}

PoolProblem BoardSerials::reserve(const std::string& port, PlacedSerial& placed)
{
    std::uint64_t number = 0;
    if (PoolProblem problem = pool_->reserve(port, largestSerial(field_.format), number))
        return problem;
    placed = *placeSerial(field_, number); // the pool gave no number past the format's largest
    return {};
}

PoolProblem BoardSerials::settle(const PlacedSerial& placed, const std::string& result, const std::string& record)
{
    const bool used = result == "success";
    return pool_->settle(placed.number, used, used ? "" : result, record);
}

void insertSerialFields(QJsonObject& object, const PlacedSerial& placed)
{
    QString bytes;
    for (const std::uint8_t byte : placed.patch.bytes)
        bytes += QString::asprintf("%02x", byte);
    object.insert("serial", static_cast<qint64>(placed.number));
    object.insert("serial_text", jsonTextOrNull(placed.text));
    object.insert("serial_address", static_cast<qint64>(placed.patch.address));
    object.insert("serial_bytes", bytes);
}

} // namespace pw
