#pragma once
#include "support/Files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace pw::test {

using Bytes = std::vector<std::uint8_t>;

// One well-formed record line: count, address, type, data and the two's complement checksum.
inline std::string hexRecord(unsigned type, unsigned address, const Bytes& data)
{
    Bytes fields = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                    static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(type)};
    fields.insert(fields.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string line = ":";
    char pair[3];
    for (std::uint8_t b : fields) {
        sum += b;
        std::snprintf(pair, sizeof pair, "%02X", b);
        line += pair;
    }
    std::snprintf(pair, sizeof pair, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + pair + "\n";
}

inline std::string dataRecord(unsigned address, const Bytes& data)
{
    return hexRecord(0, address, data);
}
inline std::string bankRecord(unsigned bank)
{
    return hexRecord(4, 0, {Bytes::value_type(bank >> 8), Bytes::value_type(bank)});
}
inline const std::string kEndRecord = ":00000001FF\n";

} // namespace pw::test
