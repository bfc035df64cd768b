#include "image/ReplaceFile.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace pw {

bool writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::string temporary = path + ".part";
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            out.close();
            written = !out.fail();
        }
    }
    std::error_code ec;
    if (written) {
        std::filesystem::rename(temporary, path, ec);
        if (!ec)
            return true;
    }
    std::filesystem::remove(temporary, ec);
    return false;
}

} // namespace pw
