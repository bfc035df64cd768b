#include "cli/CliOptions.h"

#include "cli/OptionTable.h"
#include "base/NumberText.h"
#include "line/StationProfile.h"
#include "line/StoreName.h"

#include "base/ChipTable.h"
#include "base/OperatingRates.h"

#include <QCommandLineParser>
#include <QStringList>

#include <map>

namespace pw::cli {

namespace {

const std::map<std::string, Command> kCommands{
    {"program", Command::Program}, {"verify", Command::Verify},   {"auto", Command::Auto},
    {"erase", Command::Erase},     {"dump", Command::Dump},       {"info", Command::Info},
    {"ports", Command::Ports},     {"station", Command::Station}, {"serials", Command::Serials},
    {"db", Command::Db},           {"help", Command::Help},
};

const char* const kDescription = R"(Flash programmer for the HZ41C120 boot loader.

Commands:
  program FILE              write FILE (.hex or .bin) into flash from address 0
  verify FILE               read flash back and compare it with FILE
  auto FILE                 erase from the start address, program and verify in one pass
  erase [--pages FROM:COUNT] erase the whole chip (start address 0) or a page range
  dump FROM COUNT [--txt|--bin] [-o FILE]
                            read COUNT 512-byte pages from page FROM into Dump.txt or Dump.bin
  info FILE                 convert a HEX file and print its size and checksum
  ports                     list the serial devices present and the ports of the settings
  station auto|program FILE [--record FILE] [--retries N] [--before-board CMD]
          [--after-board CMD] [--reset-pulse dtr|rts[:MS]]
                            program board after board on each port until Ctrl-C: wait for a
                            board, run, print PASS or FAIL and record it, let it go
  serials init POOL --start N [--step K] [--end M]
                            create a serial pool (never over one that exists)
  serials show POOL [--json] the next number, the numbers used and void, and the gaps
  db setup [--database CONN] create the line's tables in its PostgreSQL database, or bring
                            them up to this version (nothing else changes)

program, auto and station write a serial number into each board with --serial ADDR:FORMAT
and --serial-pool POOL: a number from the pool, never issued twice, patched into the image in
memory. FORMAT is u8, u16le, u16be, u32le, u32be, u64le, u64be, bcdN (N bytes of packed BCD)
or decN (N ASCII digits).

A pool or a record line named db:NAME is kept in the line's PostgreSQL database, shared by
every station PC: --database CONN gives libpq's connection string or URI; without it libpq's
own defaults apply (PGHOST, PGDATABASE, PGUSER, ~/.pgpass), so no password need be typed.
NAME is 1 to 63 printable ASCII characters without spaces; ./db:x names a file.

Numbers are decimal, or hexadecimal after 0x: page 0x7F is the last page (the Dump dialog
shows page numbers in hexadecimal without the 0x).

Defaults come from the same settings file as the GUI; pagewise-cli never writes it.

Exit codes: 0 success, 1 verify mismatch, 2 no reply, time-out or hang-up,
3 bad image file or arguments (nothing was sent), 4 port cannot be opened or none
configured, 5 what the run was to keep (a record, a serial pool, the dump's -o FILE)
could not be written, or the serial pool is used up, 130 interrupted.
A station exits with 0 when every board passed, 1 when one failed.)";

// The one option table: the parser and --help both come from it.
void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands above."),
                                 QStringLiteral("<command> [args]"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(optionTable());
}

ParseResult fail(std::string message)
{
    return {std::nullopt, std::move(message)};
}

// Reads "FROM:COUNT" for erase --pages.
bool parsePageRange(const std::string& text, CliOptions& options)
{
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    options.fromPage = parseNumber(std::string_view(text).substr(0, colon));
    options.pageCount = parseNumber(std::string_view(text).substr(colon + 1));
    return options.fromPage && options.pageCount;
}

// Arguments are bytes (a file name need not be UTF-8): they reach the parser as Latin-1, which
// maps every byte to one character and back, and leave it as the same bytes.
QString fromBytes(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text)
{
    return text.toLatin1().toStdString();
}

std::optional<std::string> value(const QCommandLineParser& parser, const char* name)
{
    const QString option = QString::fromLatin1(name);
    if (!parser.isSet(option))
        return std::nullopt;
    return toBytes(parser.value(option));
}

// The options that set a key of the station's setup (every run takes what it needs of them);
// empty when they are all fine. The command's operands and each --port come on their own.
std::string readSetupValues(const QCommandLineParser& parser, CliOptions& options)
{
    for (const QString& port : parser.values(QStringLiteral("port"))) {
        if (port.isEmpty())
            return "--port needs a value";
        options.setup.ports.push_back(toBytes(port));
        options.given.insert("port");
    }
    for (const std::string& key : stationKeys()) {
        const QString name = QString::fromStdString(key);
        if (key == "image" || key == "operation" || key == "port" || !parser.isSet(name))
            continue;
        const std::string text = isFlagKey(key) ? "true" : toBytes(parser.value(name));
        if (std::string problem = setStationValue(options.setup, key, text); !problem.empty())
            return "--" + key + " " + problem;
        options.given.insert(key);
    }
    return {};
}

// The numbers of serials init; empty when they are all fine.
std::string readPoolValues(const QCommandLineParser& parser, CliOptions& options)
{
    const std::pair<const char*, std::uint64_t*> numbers[] = {{"start", &options.poolRange.start},
                                                              {"step", &options.poolRange.step}};
    for (const auto& [name, target] : numbers)
        if (const auto text = value(parser, name)) {
            const auto number = parseWideNumber(*text);
            if (!number)
                return std::string("--") + name + " takes a number, not '" + *text + "'";
            *target = *number;
        }
    if (const auto text = value(parser, "end")) {
        options.poolRange.end = parseWideNumber(*text);
        if (!options.poolRange.end)
            return "--end takes a number, not '" + *text + "'";
    }
    return {};
}

// The options with values, checked; empty when they are all fine.
std::string readValues(const QCommandLineParser& parser, CliOptions& options)
{
    if (std::string problem = readSetupValues(parser, options); !problem.empty())
        return problem;
    if (const auto pages = value(parser, "pages"); pages && !parsePageRange(*pages, options))
        return "--pages takes FROM:COUNT, not '" + *pages + "'";
    options.output = value(parser, "o").value_or("");
    options.profile = value(parser, "profile").value_or("");
    options.dumpAsText = !parser.isSet(QStringLiteral("bin"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.json = parser.isSet(QStringLiteral("json"));
    options.events = parser.isSet(QStringLiteral("events"));
    return readPoolValues(parser, options);
}

// The command and its operands.
std::string readCommand(const QStringList& positional, CliOptions& options)
{
    if (positional.isEmpty())
        return "no command given";
    const std::string name = toBytes(positional.front());
    const auto found = kCommands.find(name);
    if (found == kCommands.end())
        return "unknown command '" + name + "'";
    options.command = found->second;
    const auto operands = positional.size() - 1;
    switch (options.command) {
    case Command::Program:
    case Command::Verify:
    case Command::Auto:
    case Command::Info:
        if (operands != 1)
            return name + " takes one FILE";
        options.setup.image = toBytes(positional[1]);
        break;
    case Command::Erase:
        if (operands != 0)
            return "erase takes no operands (use --pages FROM:COUNT)";
        break;
    case Command::Ports:
        if (operands != 0)
            return "ports takes no operands";
        break;
    case Command::Station: {
        if (operands == 0 && !options.profile.empty())
            break; // the profile says what and which image
        const std::string what = operands == 2 ? toBytes(positional[1]) : "";
        if (what != "auto" && what != "program")
            return "station takes auto or program, and FILE (or --profile FILE)";
        setStationValue(options.setup, "operation", what);
        options.setup.image = toBytes(positional[2]);
        options.given.insert({"operation", "image"});
        break;
    }
    case Command::Serials: {
        const std::string what = operands == 2 ? toBytes(positional[1]) : "";
        if (what != "init" && what != "show")
            return "serials takes init or show, and POOL";
        options.serialsAction = what == "init" ? SerialsAction::Init : SerialsAction::Show;
        return setStationValue(options.setup, "serial-pool", toBytes(positional[2])).empty()
                   ? std::string()
                   : "POOL " + storeNameProblem(toBytes(positional[2]));
    }
    case Command::Db:
        if (operands != 1 || positional[1] != QStringLiteral("setup"))
            return "db takes setup";
        break;
    case Command::Dump:
        if (operands != 2)
            return "dump takes FROM and COUNT (pages)";
        options.fromPage = parseNumber(toBytes(positional[1]));
        options.pageCount = parseNumber(toBytes(positional[2]));
        if (!options.fromPage || !options.pageCount)
            return "dump FROM and COUNT must be numbers (decimal, or hexadecimal after 0x)";
        break;
    case Command::Help:
    case Command::Version: break;
    }
    return {};
}

// Options that belong to other commands, and the serial options that go together.
std::string checkCommandOptions(const QCommandLineParser& parser, const CliOptions& options)
{
    const auto isSet = [&](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    for (const char* name : {"record", "retries", "before-board", "after-board", "reset-pulse", "profile"})
        if (options.command != Command::Station && isSet(name))
            return std::string("--") + name + " is for station";
    const bool init = options.command == Command::Serials && options.serialsAction == SerialsAction::Init;
    for (const char* name : {"start", "step", "end"})
        if (!init && isSet(name))
            return std::string("--") + name + " is for serials init";
    if (init && !isSet("start"))
        return "serials init needs --start N";
    const bool flashes =
        options.command == Command::Program || options.command == Command::Auto || options.command == Command::Station;
    for (const char* name : {"serial", "serial-pool", "serial-overwrite"})
        if (!flashes && isSet(name))
            return std::string("--") + name + " is for program, auto and station";
    if (!flashes && options.command != Command::Serials && options.command != Command::Db && isSet("database"))
        return "--database is for program, auto, station, serials and db";
    return flashes ? stationSetupProblem(options.setup) : std::string();
}

} // namespace

ParseResult parseArguments(const std::vector<std::string>& args)
{
    QCommandLineParser parser;
    describe(parser);
    QStringList list{QStringLiteral("pagewise-cli")};
    for (const std::string& arg : args)
        list << fromBytes(arg);
    if (!parser.parse(list))
        return fail(toBytes(parser.errorText()));
    CliOptions options;
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        options.command = parser.isSet(QStringLiteral("help")) ? Command::Help : Command::Version;
        return {options, {}};
    }
    if (std::string problem = readValues(parser, options); !problem.empty())
        return fail(std::move(problem));
    if (std::string problem = readCommand(parser.positionalArguments(), options); !problem.empty())
        return fail(std::move(problem));
    if (options.command == Command::Dump && options.setup.ports.size() > 1 && !options.output.empty())
        return fail("-o cannot name one file for several ports");
    if (!options.profile.empty() && options.command == Command::Station)
        if (std::string problem = readStationProfile(options.profile, options.setup, options.given); !problem.empty())
            return fail(std::move(problem));
    if (std::string problem = checkCommandOptions(parser, options); !problem.empty())
        return fail(std::move(problem));
    if (options.command == Command::Station && options.setup.image.empty())
        return fail("station takes auto or program, and FILE (or --profile FILE with an image)");
    return {options, {}};
}

std::string usageText()
{
    QCommandLineParser parser;
    describe(parser);
    // Without an application object Qt cannot know the program's name.
    return parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("pagewise-cli")).toStdString();
}

} // namespace pw::cli
