// pagewise-cli station at 115200 against paced simulated lines of boards, with 1, 4 and 8
// ports and a 16 KiB image, each line swapping a board in 300 ms and in 3 s. The figures are
// the steady state, from each port's first board to its last: boards per hour per port and in
// total, beside the ideal: one board's wire time and the pauses its run requires, and then the
// swap or the reopening at the end of the run, whichever is longer (the board is swapped while
// the port is reopened). Last, the station window's line beside the CLI's at four ports, in
// the same run: the window only shows what the same engine reports.
//   bench_station [boards per port]      (default 4)
#include "BenchLink.h"
#include "gui/station/StationWindow.h"
#include "support/ChildProcess.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"

#include <QApplication>

#include <csignal>
#include <filesystem>
#include <map>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kRate = 115200;
constexpr std::size_t kImageBytes = 16 * 1024;

// One board's cycle as the station can do it at best.
double idealSeconds(std::uint32_t swapMs)
{
    const double slow = 10.0 / 9600;
    const double link = (8 + 7 + 7 + 7 + 8 * 14 + 7) * slow; // connect, handshake, masks, rate
    const double pauses = 2 * 0.050 + 0.500;                 // the rate switch
    const double walk = pw::bench::wireSeconds(kRate, kImageBytes / 8, kImageBytes / 256);
    const double reopen = 0.050 + 2 * 0.500; // back to 9600 after the run
    return link + pauses + walk + std::max(swapMs / 1000.0, reopen);
}

struct StationRun {
    double perPortPerHour = 0; // the slowest port's
    double totalPerHour = 0;
    bool failed = false;
};

// Boards per hour per port from each port's board end times, the slowest port's.
double perPortPerHour(const std::map<std::string, std::vector<Clock::time_point>>& endedAt)
{
    double slowest = 0;
    for (const auto& [port, times] : endedAt)
        if (times.size() > 1)
            slowest = std::max(slowest, std::chrono::duration<double>(times.back() - times.front()).count() /
                                            static_cast<double>(times.size() - 1));
    return slowest > 0 ? 3600.0 / slowest : 0;
}

// One paced simulated line of `boards` per port.
bool startLines(std::vector<std::unique_ptr<pw::sim::Simulator>>& lines, int ports, int boards, std::uint32_t swapMs)
{
    for (int k = 0; k < ports; ++k) {
        pw::sim::SimOptions options;
        options.boards = static_cast<std::uint32_t>(boards);
        options.swapMinMs = options.swapMaxMs = swapMs;
        lines.push_back(std::make_unique<pw::sim::Simulator>(options));
        if (!lines.back()->start())
            return false;
    }
    return true;
}

StationRun runStations(const std::string& image, int ports, int boards, std::uint32_t swapMs)
{
    std::vector<std::unique_ptr<pw::sim::Simulator>> lines;
    if (!startLines(lines, ports, boards, swapMs))
        return {0, 0, true};
    std::vector<std::string> args = {"-q", "--baud", std::to_string(kRate)};
    for (const auto& line : lines)
        args.insert(args.end(), {"--port", line->slavePath()});
    args.insert(args.end(), {"station", "program", image});
    pw::test::ChildProcess station(pw::test::cliProgram(), args);
    std::map<std::string, std::vector<Clock::time_point>> endedAt;
    StationRun run;
    for (int seen = 0; seen < ports * boards; ++seen) {
        const std::string line = station.readLine(std::chrono::seconds(120));
        run.failed |= !line.starts_with("PASS ");
        if (line.empty())
            break;
        endedAt[line.substr(5, line.find(" board ") - 5)].push_back(Clock::now());
    }
    station.signal(SIGINT);
    station.wait();
    double total = 0;
    for (const auto& [port, times] : endedAt)
        total += 3600.0 * static_cast<double>(times.size() - 1) /
                 std::chrono::duration<double>(times.back() - times.front()).count();
    run.perPortPerHour = perPortPerHour(endedAt);
    run.totalPerHour = total;
    return run;
}

// The same line through pagewise-station's window, in this process.
StationRun runWindowStations(const std::string& image, int ports, int boards, std::uint32_t swapMs)
{
    pw::test::ensureGuiApplication();
    std::vector<std::unique_ptr<pw::sim::Simulator>> lines;
    if (!startLines(lines, ports, boards, swapMs))
        return {0, 0, true};
    pw::StationSetup setup;
    setup.image = image;
    setup.operation = pw::StationOperation::Program;
    setup.baud = kRate;
    for (const auto& line : lines)
        setup.ports.push_back(line->slavePath());
    pw::test::RecordingBoxes boxes;
    const pw::SettingsStore store;
    pw::StationWindow window(store, boxes);
    window.setSetup(setup);
    window.start();
    std::map<std::string, std::vector<Clock::time_point>> endedAt;
    StationRun run;
    const auto deadline = Clock::now() + std::chrono::seconds(120) * boards;
    for (int seen = 0; seen < ports * boards && Clock::now() < deadline;) {
        QApplication::processEvents(QEventLoop::AllEvents, 2);
        for (; seen < window.historyRows(); ++seen) {
            const int row = window.historyRows() - 1 - seen; // the newest row is the first
            run.failed |= window.historyCell(row, 3) != QStringLiteral("PASS");
            endedAt[window.historyCell(row, 1).toStdString()].push_back(Clock::now());
        }
    }
    window.stop();
    window.stop();
    while (window.running())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    run.perPortPerHour = perPortPerHour(endedAt);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const int boards = std::max(2, argc > 1 ? std::atoi(argv[1]) : 4);
    const std::string folder = pw::bench::benchFolder();
    const std::string image = folder + "/fw.bin";
    const std::vector<std::uint8_t> bytes = pw::bench::benchImage(kImageBytes);
    std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    std::printf("%-22s %8s %6s %14s %14s %14s %10s\n", "station Program 16 KiB", "swap ms", "ports", "boards/h/port",
                "boards/h total", "ideal/h/port", "of ideal");
    bool failed = false;
    for (const std::uint32_t swapMs : {300u, 3000u}) {
        const double ideal = 3600.0 / idealSeconds(swapMs);
        double single = 0;
        for (const int ports : {1, 4, 8}) {
            const StationRun run = runStations(image, ports, boards, swapMs);
            failed |= run.failed;
            single = ports == 1 ? run.totalPerHour : single;
            std::printf("%-22s %8u %6d %14.0f %14.0f %14.0f %9.3fx%s\n", "", swapMs, ports, run.perPortPerHour,
                        run.totalPerHour, ideal, run.perPortPerHour / ideal, run.failed ? "  FAILED" : "");
            if (ports == 8)
                std::printf("%-22s %8s %6s %13.3fx\n", "8 ports / (8 x 1 port)", "", "",
                            run.totalPerHour / (8 * single));
        }
    }
    std::printf("\n%-22s %8s %6s %14s %14s %10s\n", "window beside CLI", "swap ms", "ports", "CLI b/h/port",
                "window b/h/port", "window/CLI");
    for (const std::uint32_t swapMs : {300u, 3000u}) {
        const StationRun cli = runStations(image, 4, boards, swapMs);
        const StationRun window = runWindowStations(image, 4, boards, swapMs);
        failed |= cli.failed || window.failed;
        std::printf("%-22s %8u %6d %14.0f %14.0f %9.3fx%s\n", "", swapMs, 4, cli.perPortPerHour, window.perPortPerHour,
                    cli.perPortPerHour > 0 ? window.perPortPerHour / cli.perPortPerHour : 0,
                    cli.failed || window.failed ? "  FAILED" : "");
    }
    std::filesystem::remove_all(folder);
    return failed ? 1 : 0;
}
