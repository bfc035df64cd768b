#include "ops/LogExport.h"

#include "image/ReplaceFile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace pw {

namespace {

std::vector<std::uint8_t> logContent(const std::vector<std::string>& lines)
{
    std::vector<std::uint8_t> bytes;
    for (const std::string& line : lines) {
        bytes.insert(bytes.end(), line.begin(), line.end());
        bytes.push_back('\r');
        bytes.push_back('\n');
    }
    return bytes;
}

bool writeInto(const std::string& folder, const std::vector<std::uint8_t>& content, std::string& path)
{
    path = folder + kLogFileName;
    return writeFileReplacing(path, content);
}

} // namespace

std::string userDataFolder()
{
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".local" / "share";
    else
        return {};
    return (base / "Corvane" / "Pagewise").string() + "/";
}

LogExportResult exportLog(const std::vector<std::string>& lines, const std::string& exeDir)
{
    const std::vector<std::uint8_t> content = logContent(lines);
    LogExportResult result;
    if (writeInto(exeDir, content, result.path)) {
        result.written = true;
        return result;
    }
    const std::string firstPath = result.path;
    const std::string fallback = userDataFolder();
    if (!fallback.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(fallback, ec);
        if (!ec && writeInto(fallback, content, result.path)) {
            result.written = true;
            return result;
        }
    }
    result.path = firstPath;
    return result;
}

} // namespace pw
