#include "app/cli/CliOptions.h"

#include <cerrno>
#include <cstdlib>
#include <map>

namespace pw::cli {

namespace {

const std::map<std::string, Command> kCommands{
    {"program", Command::Program}, {"verify", Command::Verify}, {"auto", Command::Auto},
    {"erase", Command::Erase},     {"dump", Command::Dump},     {"info", Command::Info},
    {"help", Command::Help},
};

ParseResult fail(std::string message)
{
    return {std::nullopt, std::move(message)};
}

bool isRate(std::uint32_t rate)
{
    return rate == 9600 || rate == 57600 || rate == 115200;
}

// Reads "FROM:COUNT" for erase --pages.
bool parsePageRange(const std::string& text, CliOptions& options)
{
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    options.fromPage = parseNumber(text.substr(0, colon));
    options.pageCount = parseNumber(text.substr(colon + 1));
    return options.fromPage && options.pageCount;
}

} // namespace

std::optional<std::uint32_t> parseNumber(const std::string& text)
{
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

ParseResult parseArguments(const std::vector<std::string>& args)
{
    CliOptions options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (arg == "-h" || arg == "--help") {
            options.command = Command::Help;
            return {options, {}};
        }
        if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--txt") {
            options.dumpAsText = true;
        } else if (arg == "--bin") {
            options.dumpAsText = false;
        } else if (arg == "--port" || arg == "--baud" || arg == "--start-addr" || arg == "--pages" || arg == "-o") {
            const std::string* v = value();
            if (!v || v->empty())
                return fail(arg + " needs a value");
            if (arg == "--port") {
                options.ports.push_back(*v);
            } else if (arg == "--baud") {
                options.baud = parseNumber(*v);
                if (!options.baud || !isRate(*options.baud))
                    return fail("--baud must be 9600, 57600 or 115200, not '" + *v + "'");
            } else if (arg == "--start-addr") {
                options.startAddr = parseNumber(*v);
                if (!options.startAddr || *options.startAddr > 0x10000 || *options.startAddr % 0x800 != 0)
                    return fail("--start-addr must be a multiple of 0x800 from 0 to 0x10000, not '" + *v + "'");
            } else if (arg == "--pages") {
                if (!parsePageRange(*v, options))
                    return fail("--pages takes FROM:COUNT, not '" + *v + "'");
            } else {
                options.output = *v;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option '" + arg + "'");
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.empty())
        return fail("no command given");
    const auto found = kCommands.find(positional[0]);
    if (found == kCommands.end())
        return fail("unknown command '" + positional[0] + "'");
    options.command = found->second;
    const std::size_t operands = positional.size() - 1;

    switch (options.command) {
    case Command::Program:
    case Command::Verify:
    case Command::Auto:
    case Command::Info:
        if (operands != 1)
            return fail(positional[0] + " takes one FILE");
        options.file = positional[1];
        break;
    case Command::Erase:
        if (operands != 0)
            return fail("erase takes no operands (use --pages FROM:COUNT)");
        break;
    case Command::Dump:
        if (operands != 2)
            return fail("dump takes FROM and COUNT (pages)");
        options.fromPage = parseNumber(positional[1]);
        options.pageCount = parseNumber(positional[2]);
        if (!options.fromPage || !options.pageCount)
            return fail("dump FROM and COUNT must be numbers");
        break;
    case Command::Help:
        break;
    }
    if (options.command == Command::Dump && options.ports.size() > 1 && !options.output.empty())
        return fail("-o cannot name one file for several ports");
    return {options, {}};
}

const char* usageText()
{
    return R"(Usage: pagewise-cli [options] <command> [args]

Commands:
  program FILE              write FILE (.hex or .bin) into flash from address 0
  verify FILE               read flash back and compare it with FILE
  auto FILE                 erase from the start address, program and verify in one pass
  erase [--pages FROM:COUNT] erase the whole chip (start address 0) or a page range
  dump FROM COUNT [--txt|--bin] [-o FILE]
                            read COUNT 512-byte pages from page FROM into Dump.txt or Dump.bin
  info FILE                 convert a HEX file and print its size and checksum

Options:
  --port COMn|DEVICE        port to use; repeat it to program several targets at once
  --baud 9600|57600|115200  operating rate (connections always start at 9600)
  --start-addr ADDR         ISP start address, a multiple of 0x800 (decimal or 0x...)
  --quiet, -q               no log lines and no progress
  --json                    print one JSON object per port at the end
  -h, --help                this text

Defaults come from the same settings file as the GUI; pagewise-cli never writes it.

Exit codes: 0 success, 1 verify mismatch, 2 no reply or time-out,
3 bad image file or arguments, 4 port cannot be opened, 130 interrupted.
)";
}

} // namespace pw::cli
