#pragma once
#include "line/SerialField.h"
#include "line/NumberStore.h"

#include <QJsonObject>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// Why the serial field cannot go into this image, or nothing: it must lie inside the flash
// (for Auto at or above `start`), and over bytes the image leaves 0xFF unless `overwrite`.
std::optional<std::string> serialFieldRefusal(const SerialField& field, const std::vector<std::uint8_t>& image,
                                              std::uint32_t start, bool overwrite);

// The serial numbers of one run: a number from the pool for each board, laid out as the field
// says, and its outcome written back.
class BoardSerials {
public:
    explicit BoardSerials(const SerialField& field) : field_(field) {}

    // Opens the pool (a file, or db:NAME in `database`); a problem too when it has no number
    // left for the field.
    PoolProblem open(const std::string& pool, const std::string& database);
    // Reserves the next number for a board on `port`: on disk before the board is written.
    PoolProblem reserve(const std::string& port, PlacedSerial& placed);
    // "success" makes the number used, any other result void (never issued again either way).
    PoolProblem settle(const PlacedSerial& placed, const std::string& result, const std::string& record);

private:
    SerialField field_;
    std::unique_ptr<NumberStore> pool_;
};

// serial, serial_text (null for a binary integer), serial_address, serial_bytes (hex).
void insertSerialFields(QJsonObject& object, const PlacedSerial& placed);

} // namespace pw
