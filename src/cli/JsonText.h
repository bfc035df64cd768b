#pragma once
#include <string>

namespace pw::cli {

// A JSON string literal for text, quotes included.
std::string jsonString(const std::string& text);
// Now, as JSON records give it: UTC, ISO 8601, milliseconds ("2026-12-07T23:40:01.250Z").
std::string utcTimeText();

} // namespace pw::cli
