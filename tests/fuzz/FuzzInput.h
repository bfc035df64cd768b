#pragma once
// What the fuzz targets share: a folder of their own, the input as a file, and boxes that
// nobody reads.
#include "base/MessageBoxes.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace pw::fuzz {

class SilentBoxes : public MessageBoxes {
public:
    void show(const std::string&, const std::string&, BoxIcon) override {}
};

// Made once per process, under /tmp.
inline const std::string& scratchFolder()
{
    static const std::string folder = [] {
        std::string pattern = "/tmp/pw_fuzz_XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return folder;
}

// The input as the file `name` in the scratch folder; its path.
inline std::string inputAsFile(const std::string& name, const std::uint8_t* data, std::size_t size)
{
    const std::string path = scratchFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

} // namespace pw::fuzz
