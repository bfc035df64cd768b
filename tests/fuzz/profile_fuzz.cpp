// libFuzzer target: any bytes as a station profile, as a person may write it. Reading never
// crashes; a profile that reads well is written back and reads back to the same setup.
#include "line/StationProfile.h"
#include "line/StationSetup.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = pw::fuzz::inputAsFile("line.ini", data, size);
    pw::StationSetup read;
    if (pw::readStationProfile(path, read).empty()) {
        const std::string again = pw::fuzz::scratchFolder() + "/again.ini";
        if (!pw::writeStationProfile(again, read).empty())
            std::abort();
        pw::StationSetup reread;
        if (!pw::readStationProfile(again, reread).empty())
            std::abort(); // what was written is no profile
        for (const std::string& key : pw::stationKeys())
            if (pw::stationValue(read, key) != pw::stationValue(reread, key))
                std::abort(); // a key lost or changed on the way
        unlink(again.c_str());
    }
    unlink(path.c_str());
    return 0;
}
