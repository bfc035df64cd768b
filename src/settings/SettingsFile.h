#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace pw::settings_file {

// One INI file through QSettings. A file that is missing, unreadable or not well-formed
// yields nothing; such a file is also never rewritten, so hand-made lines are not lost.
// Empty when the file is missing or can be used; else why it is not read (and never rewritten).
std::string unusableReason(const std::string& file);
std::optional<std::uint32_t> readNumber(const std::string& file, const std::string& name);
bool writeNumber(const std::string& file, const std::string& name, std::uint32_t value);
std::map<std::uint32_t, std::string> readPorts(const std::string& file);
bool writePorts(const std::string& file, const std::map<std::uint32_t, std::string>& entries);

} // namespace pw::settings_file
