// libFuzzer target: any text as the user's settings file, over an empty machine-wide file. The
// loaded values must always be within their clamps, and a load never crashes.
#include "context/IspContext.h"
#include "settings/Settings.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A new name per input: QSettings keeps what it parsed of a file for a while, and a reused
    // name could hand back the previous input's values.
    static unsigned serial = 0;
    const std::string user = pw::fuzz::inputAsFile("Pagewise" + std::to_string(serial++) + ".conf", data, size);
    pw::fuzz::SilentBoxes boxes;
    pw::IspContext ctx(boxes);
    const pw::SettingsStore store(user, pw::fuzz::scratchFolder() + "/missing.conf");
    pw::loadSettings(ctx, store);

    const unsigned port = ctx.comPort;
    const std::uint32_t rate = ctx.baudRate;
    if (port < 1 || port > 24)
        std::abort();
    if (rate != 9600 && rate != 57600 && rate != 115200)
        std::abort();
    if (ctx.ispStartAddr > 0x10000)
        std::abort();
    for (const auto& [number, device] : ctx.portMap.entries()) {
        if (number < 1 || number > 24)
            std::abort();
    }
    unlink(user.c_str());
    return 0;
}
