#pragma once
#include "line/StationSetup.h"

#include <set>
#include <string>

namespace pw {

// A station profile: one INI file that describes a line, its keys those of StationSetup in a
// [station] group. Relative paths (image, record, serial-pool) are taken from the profile's
// folder, so a profile can travel with its image.

// Reads `path` into `setup`, leaving the keys in `kept` as they are (the command line's).
// Empty when it is read; else what is wrong, naming the file, the line and the key
// ("line.ini:4: baud must be 9600, 57600 or 115200, not '1200'"). Nothing of a profile that is
// refused is taken.
std::string readStationProfile(const std::string& path, StationSetup& setup, const std::set<std::string>& kept = {});
// Writes `setup` as a profile, every key in order; empty when it is on disk, else why not.
std::string writeStationProfile(const std::string& path, const StationSetup& setup);

} // namespace pw
