#pragma once
#include <QJsonObject>
#include <QJsonValue>

#include <string>

namespace pw {

// Every JSON line pagewise-cli writes (--json, --events, the station's records, ports, info)
// is built as a QJsonObject and written here, so escaping and number formats live in one place.

// One compact line without its newline; keys in alphabetical order.
std::string jsonLine(const QJsonObject& object);
// A string value from bytes: UTF-8 as it is; a byte that is not UTF-8 shows as U+FFFD.
QJsonValue jsonText(const std::string& bytes);
// A string value, or null when it is empty (a device field sysfs does not give).
QJsonValue jsonTextOrNull(const std::string& bytes);
// Seconds to the millisecond (0.686).
QJsonValue jsonSeconds(double seconds);
// Now, as JSON records give it: UTC, ISO 8601, milliseconds ("2026-12-07T23:40:01.250Z").
std::string utcTimeText();

} // namespace pw
