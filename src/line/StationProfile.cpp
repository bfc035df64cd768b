#include "line/StationProfile.h"

#include "image/ReplaceFile.h"
#include "line/StoreName.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pw {

namespace {

std::string trimmed(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

bool isPathKey(const std::string& key)
{
    return key == "image" || key == "record" || key == "serial-pool";
}

std::string fromFolder(const std::filesystem::path& folder, const std::string& value)
{
    if (value.empty() || std::filesystem::path(value).is_absolute() || databaseName(value))
        return value;
    return (folder / value).lexically_normal().string();
}

// One line of the file; empty when it is fine (or says nothing).
std::string readLine(const std::string& raw, bool& inStation, std::set<std::string>& seen, StationSetup& setup,
                     const std::set<std::string>& kept, const std::filesystem::path& folder)
{
    const std::string line = trimmed(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#')
        return {};
    if (line.front() == '[') {
        if (line.back() != ']')
            return "'" + line + "' is no group";
        inStation = line == "[station]";
        return inStation ? "" : line + " is no group of a station profile; its keys go in [station]";
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return "'" + line + "' is no key = value";
    const std::string key = trimmed(line.substr(0, equals));
    const std::string value = trimmed(line.substr(equals + 1));
    if (!inStation)
        return key + ": keys go in a [station] group";
    const auto& keys = stationKeys();
    if (std::find(keys.begin(), keys.end(), key) == keys.end())
        return key + " is no key of a station profile";
    if (!seen.insert(key).second)
        return key + " is given twice";
    if (kept.contains(key))
        return {};
    const std::string problem = setStationValue(setup, key, isPathKey(key) ? fromFolder(folder, value) : value);
    return problem.empty() ? "" : key + " " + problem;
}

} // namespace

std::string readStationProfile(const std::string& path, StationSetup& setup, const std::set<std::string>& kept)
{
    std::ifstream file(path);
    if (!file)
        return "cannot read the station profile " + path;
    const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
    StationSetup read = setup;
    if (!kept.contains("port"))
        read.ports.clear();
    bool inStation = false;
    std::set<std::string> seen;
    unsigned number = 0;
    for (std::string raw; std::getline(file, raw);) {
        ++number;
        if (std::string problem = readLine(raw, inStation, seen, read, kept, folder); !problem.empty())
            return path + ":" + std::to_string(number) + ": " + problem;
    }
    if (file.bad())
        return "cannot read the station profile " + path;
    setup = std::move(read);
    return {};
}

std::string writeStationProfile(const std::string& path, const StationSetup& setup)
{
    std::ostringstream text;
    text << "[station]\n";
    for (const std::string& key : stationKeys())
        text << key << " = " << stationValue(setup, key) << "\n";
    const std::string bytes = text.str();
    if (!writeFileReplacing(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end())))
        return "cannot write the station profile " + path + ": " + std::strerror(errno);
    return {};
}

} // namespace pw
