#include "sim/SimCommandLine.h"

#include <string_view>

namespace pw::sim {

const char* simUsage()
{
    return "Usage: pagewise-sim [--flash FILE] [--link PATH] [--log FILE] [--no-pacing] [--fault FAULT]...\n"
           "Plays the HZ41C120 boot loader on a pseudo-terminal. The first line of output is the\n"
           "terminal's path; open it as the serial port. Runs until SIGINT or SIGTERM (exit 0);\n"
           "SIGUSR1 presses the reset button (back to 9600, waiting for a connect).\n"
           "\n"
           "  --flash FILE   64 KiB flash image, loaded at start (missing: erased flash) and\n"
           "                 saved after every erase and write, through a temporary file.\n"
           "  --link PATH    make PATH a symbolic link to the terminal; removed on exit.\n"
           "  --log FILE     one line per frame: milliseconds since start, a direction and\n"
           "                 the bytes in hex. '<' from the program, '>' reply to it,\n"
           "                 '?' bytes that began a frame but did not make one.\n"
           "  --no-pacing    bytes go at once instead of at the time the line rate needs.\n"
           "  --fault FAULT  misbehave; repeatable:\n"
           "      silent-after=N    answer nothing after the first N frames\n"
           "      wrong-connect     answer the connect with 0F 81 00 00 00 00 FF\n"
           "      corrupt=N         flip bit 0 of byte 3 of reply N (counted from 1)\n"
           "      slow=MS           delay every reply by MS milliseconds\n"
           "      hangup-after=N    close the terminal once frame N is answered\n"
           "      no-baud-switch    ignore the rate command and stay at the old rate\n"
           "      erase-busy=MS     answer the erase status only MS ms after the erase start\n"
           "  --help         this text.\n";
}

bool parseSimCommandLine(int argc, const char* const* argv, SimCommandLine& result, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            result.help = true;
            continue;
        }
        if (arg == "--no-pacing") {
            result.options.pacing = false;
            continue;
        }
        const bool takesValue = arg == "--flash" || arg == "--link" || arg == "--log" || arg == "--fault";
        if (!takesValue) {
            error = "unknown argument: " + std::string(arg);
            return false;
        }
        if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
            error = std::string(arg) + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--flash") {
            result.options.flashFile = value;
        } else if (arg == "--link") {
            result.linkPath = value;
        } else if (arg == "--log") {
            result.options.logFile = value;
        } else if (const auto fault = parseFault(value)) {
            result.options.faults.push_back(*fault);
        } else {
            error = "unknown fault: " + value + " (see --help)";
            return false;
        }
    }
    return true;
}

} // namespace pw::sim
