#include "sim/SimCommandLine.h"

#include <QCommandLineParser>
#include <QStringList>

#include <charconv>
#include <string>
#include <tuple>

namespace pw::sim {

namespace {

const char* const kDescription =
    "Plays the HZ41C120 boot loader on a pseudo-terminal. The first line of output is the\n"
    "terminal's path; open it as the serial port. Runs until SIGINT or SIGTERM (exit 0);\n"
    "SIGUSR1 presses the reset button (back to 9600, waiting for a connect).";

const char* const kFaults = "Misbehave; repeatable:\n"
                            "silent-after=N: answer nothing after the first N frames\n"
                            "wrong-connect: answer the connect with 0F 81 00 00 00 00 FF\n"
                            "corrupt=N: flip bit 0 of byte 3 of reply N (counted from 1)\n"
                            "slow=MS: delay every reply by MS milliseconds\n"
                            "hangup-after=N: close the terminal once frame N is answered\n"
                            "no-baud-switch: ignore the rate command and stay at the old rate\n"
                            "erase-busy=MS: answer the erase status only MS ms after the erase start";

// The one option table: the parser and --help both come from it.
void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("flash"),
         QStringLiteral("64 KiB flash image, loaded at start (missing: erased flash) and saved after every "
                        "erase and write, through a temporary file."),
         QStringLiteral("FILE")},
        {QStringLiteral("link"), QStringLiteral("Make PATH a symbolic link to the terminal; removed on exit."),
         QStringLiteral("PATH")},
        {QStringLiteral("log"),
         QStringLiteral("One line per frame: microseconds since start, a direction and the bytes in hex. '<' "
                        "from the program, '>' reply to it, '?' bytes that began a frame but did not make one."),
         QStringLiteral("FILE")},
        {QStringLiteral("no-pacing"), QStringLiteral("Replies go at once instead of at the time the line rate needs.")},
        {QStringLiteral("stats"),
         QStringLiteral("On exit, print to stderr the host turnaround (last reply byte written to the next frame's "
                        "first byte read) and the simulator's own pacing error, as p50/p99/max in microseconds.")},
        {QStringLiteral("fault"), QString::fromLatin1(kFaults), QStringLiteral("FAULT")},
        {QStringLiteral("adapter-latency"),
         QStringLiteral("Hold each reply until the next tick of a USB serial adapter's latency timer of MS "
                        "milliseconds (16 is the common default, 1 in low-latency mode); 0: none."),
         QStringLiteral("MS")},
        {QStringLiteral("event-char"),
         QStringLiteral("With --adapter-latency: the adapter has 0xFF as its event character, so a reply that ends "
                        "with it is handed over when its last byte arrives instead of at the timer's tick.")},
        {QStringLiteral("boards"),
         QStringLiteral("Play a production line of N boards: a board is taken away after it is told to leave ISP, "
                        "or --stay-ms after the program looks for a board again without that (a board that "
                        "failed); --swap-ms later a fresh board with erased flash answers. After the last board "
                        "nothing answers."),
         QStringLiteral("N")},
        {QStringLiteral("swap-ms"),
         QStringLiteral("With --boards: how long a board swap takes (default 3000), or MIN-MAX for a time drawn "
                        "anew for each board."),
         QStringLiteral("MS")},
        {QStringLiteral("stay-ms"),
         QStringLiteral("With --boards: how long a board that failed stays, still answering, before it is taken "
                        "(default 0)."),
         QStringLiteral("MS")},
        {QStringLiteral("fault-board"),
         QStringLiteral("With --boards: the faults are for board K only (counted from 1), counted from its arrival."),
         QStringLiteral("K")},
        {QStringLiteral("fault-rate"),
         QStringLiteral("With --boards: each board, with probability P (0 to 1), stops answering part-way (at a "
                        "frame drawn for it) or garbles its reply to the handshake."),
         QStringLiteral("P")},
        {QStringLiteral("seed"),
         QStringLiteral("With --boards: the seed of the swap times and faults drawn (default 1): the same seed "
                        "plays the same line."),
         QStringLiteral("N")},
    });
}

// "3000" or "200-3000"; empty: the default of 3 s.
bool readSwap(const std::string& text, SimOptions& options)
{
    if (text.empty()) {
        options.swapMinMs = options.swapMaxMs = 3000;
        return true;
    }
    const std::size_t dash = text.find('-');
    const auto low = parseCount(std::string_view(text).substr(0, dash));
    const auto high = dash == std::string::npos ? low : parseCount(std::string_view(text).substr(dash + 1));
    if (!low || !high || *high < *low)
        return false;
    options.swapMinMs = *low;
    options.swapMaxMs = *high;
    return true;
}

bool readRate(const std::string& text, SimOptions& options)
{
    if (text.empty())
        return true;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, options.faultRate);
    return error == std::errc() && stop == end && options.faultRate >= 0 && options.faultRate <= 1;
}

} // namespace

std::string simUsage()
{
    QCommandLineParser parser;
    describe(parser);
    // Without an application object Qt cannot know the program's name.
    return parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("pagewise-sim")).toStdString();
}

bool parseSimCommandLine(const std::vector<std::string>& args, SimCommandLine& result, std::string& error)
{
    QCommandLineParser parser;
    describe(parser);
    QStringList list{QStringLiteral("pagewise-sim")};
    for (const std::string& arg : args)
        list << QString::fromStdString(arg);
    if (!parser.parse(list)) {
        error = parser.errorText().toStdString();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = "unknown argument: " + parser.positionalArguments().front().toStdString();
        return false;
    }
    result.help = parser.isSet(QStringLiteral("help"));
    result.version = parser.isSet(QStringLiteral("version"));
    result.options.pacing = !parser.isSet(QStringLiteral("no-pacing"));
    result.options.eventChar = parser.isSet(QStringLiteral("event-char"));
    result.stats = parser.isSet(QStringLiteral("stats"));
    result.options.flashFile = parser.value(QStringLiteral("flash")).toStdString();
    result.options.logFile = parser.value(QStringLiteral("log")).toStdString();
    result.linkPath = parser.value(QStringLiteral("link")).toStdString();
    if (!readSwap(parser.value(QStringLiteral("swap-ms")).toStdString(), result.options)) {
        error = "--swap-ms takes MS or MIN-MAX, not '" + parser.value(QStringLiteral("swap-ms")).toStdString() + "'";
        return false;
    }
    if (!readRate(parser.value(QStringLiteral("fault-rate")).toStdString(), result.options)) {
        error = "--fault-rate takes a probability from 0 to 1, not '" +
                parser.value(QStringLiteral("fault-rate")).toStdString() + "'";
        return false;
    }
    for (const auto& [name, into, fallback] :
         {std::tuple{"boards", &result.options.boards, 0u}, std::tuple{"stay-ms", &result.options.stayMs, 0u},
          std::tuple{"fault-board", &result.options.faultyBoard, 0u}, std::tuple{"seed", &result.options.seed, 1u},
          std::tuple{"adapter-latency", &result.options.adapterLatencyMs, 0u}}) {
        const QString text = parser.value(QString::fromLatin1(name));
        const auto value = text.isEmpty() ? std::optional(fallback) : parseCount(text.toStdString());
        if (!value) {
            error = std::string("--") + name + " takes a whole number, not '" + text.toStdString() + "'";
            return false;
        }
        *into = *value;
    }
    for (const QString& value : parser.values(QStringLiteral("fault"))) {
        const auto fault = parseFault(value.toStdString());
        if (!fault) {
            error = "unknown fault: " + value.toStdString() + " (see --help)";
            return false;
        }
        result.options.faults.push_back(*fault);
    }
    return true;
}

} // namespace pw::sim
