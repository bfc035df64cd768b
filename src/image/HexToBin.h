#pragma once
#include "base/MessageBoxes.h"
#include "image/HexRecord.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace pw {

// Reads every record of a HEX text into a flat image that starts at address 0, gaps filled
// with 0xFF, later records overwriting earlier ones. False with the box text in `error` when
// the text is refused; `name` is the file name used in that text.
bool convertHexStream(std::istream& in, const std::string& name, HexConverterState& state,
                      std::vector<std::uint8_t>& image, std::string& error);

// Converts the HEX file into the binary file beside it. True when the binary file was
// written; false after an error already shown in a box, leaving any existing binary file as
// it was. Sets state.sourceSize on success; adds to state.hexDataSum.
bool ConvertHexToBin(const std::string& hexPath, const std::string& binPath, HexConverterState& state,
                     MessageBoxes& boxes);

} // namespace pw
