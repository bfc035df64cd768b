// A long line played in one command: 4 ports, 100 boards each, swaps drawn from 200 to 3000 ms,
// one board in ten with a fault of its own, pagewise-cli station with --events and --record.
// Checks that every board that arrived has exactly one record, that the boards passed are the
// boards without a fault, and how long a station ever went without saying anything.
//   bench_station_soak [boards per port]      (default 100)
#include "BenchLink.h"
#include "support/ChildProcess.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPorts = 4;
constexpr std::size_t kImageBytes = 2048;

struct PortTally {
    int boards = 0, passed = 0, failed = 0;
    std::map<int, int> recordsOf; // board -> records with a result of its run
    Clock::time_point lastSaid = Clock::now();
    double longestSilence = 0;
};

} // namespace

int main(int argc, char** argv)
{
    const int boards = std::max(2, argc > 1 ? std::atoi(argv[1]) : 100);
    const std::string folder = pw::bench::benchFolder();
    const std::string image = folder + "/fw.bin";
    const std::vector<std::uint8_t> bytes = pw::bench::benchImage(kImageBytes);
    std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    std::vector<std::unique_ptr<pw::sim::Simulator>> lines;
    std::vector<std::string> args = {"--events", "--baud", "115200"};
    for (int k = 0; k < kPorts; ++k) {
        pw::sim::SimOptions options;
        options.boards = static_cast<std::uint32_t>(boards);
        options.swapMinMs = 200;
        options.swapMaxMs = 3000;
        options.faultRate = 0.1;
        options.seed = static_cast<std::uint32_t>(k + 1);
        lines.push_back(std::make_unique<pw::sim::Simulator>(options));
        if (!lines.back()->start())
            return 1;
        args.insert(args.end(), {"--port", lines.back()->slavePath()});
    }
    const std::string records = folder + "/boards.jsonl";
    args.insert(args.end(), {"station", "program", image, "--record", records});
    const Clock::time_point began = Clock::now();
    pw::test::ChildProcess station(pw::test::cliProgram(), args);
    std::map<std::string, PortTally> ports;
    int ended = 0;
    Clock::time_point lastBoard = Clock::now();
    while (ended < kPorts * boards) {
        const std::string line = station.readLine(std::chrono::seconds(60));
        if (line.empty() || Clock::now() - lastBoard > std::chrono::seconds(120)) {
            std::printf("no board ended for 2 minutes; the last line: %s\n", line.c_str());
            break;
        }
        if (line.find("\"waiting\"") != std::string::npos)
            std::fprintf(stderr, "%s\n", line.c_str());
        const QJsonObject event = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        PortTally& port = ports[event.value("port").toString().toStdString()];
        const Clock::time_point now = Clock::now();
        port.longestSilence = std::max(port.longestSilence, std::chrono::duration<double>(now - port.lastSaid).count());
        port.lastSaid = now;
        if (event.value("event").toString() == "board") {
            lastBoard = now;
            std::fprintf(stderr, "%s\n", line.c_str());
            ++ended;
            ++port.boards;
            (event.value("result").toString() == "success" ? port.passed : port.failed) += 1;
        }
    }
    const double hours = std::chrono::duration<double>(Clock::now() - began).count() / 3600;
    station.signal(SIGINT);
    const pw::test::ChildResult run = station.wait(std::chrono::hours(24)); // counted from its start

    std::ifstream in(records);
    int recordLines = 0;
    for (std::string line; std::getline(in, line); ++recordLines) {
        const QJsonObject record = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        ++ports[record.value("port").toString().toStdString()].recordsOf[record.value("board").toInt()];
    }
    bool sound = run.exitCode == 1 || run.exitCode == 0;
    std::printf("station soak: %d ports x %d boards, swaps 200-3000 ms, fault rate 0.1, %.1f min, exit %d\n", kPorts,
                boards, hours * 60, run.exitCode);
    std::printf("%-14s %8s %8s %8s %8s %10s %10s %14s\n", "port", "arrived", "faulty", "PASS", "FAIL", "records",
                "one each", "longest quiet");
    for (int k = 0; k < kPorts; ++k) {
        const pw::sim::SimCounters counters = lines[static_cast<std::size_t>(k)]->counters();
        PortTally& port = ports[lines[static_cast<std::size_t>(k)]->slavePath()];
        const bool oneEach = static_cast<int>(port.recordsOf.size()) == static_cast<int>(counters.boardsArrived) &&
                             std::ranges::all_of(port.recordsOf, [](const auto& entry) { return entry.second == 1; });
        const bool passesMatch = port.passed == static_cast<int>(counters.boardsArrived - counters.boardsWithFault);
        sound &= oneEach && passesMatch && port.longestSilence < 10;
        std::printf("%-14s %8u %8u %8d %8d %10zu %10s %12.1f s%s\n",
                    lines[static_cast<std::size_t>(k)]->slavePath().c_str(), counters.boardsArrived,
                    counters.boardsWithFault, port.passed, port.failed, port.recordsOf.size(), oneEach ? "yes" : "NO",
                    port.longestSilence, passesMatch ? "" : "  PASS != boards without a fault");
    }
    std::printf("records %d lines, %.0f boards per hour in all; %s\n", recordLines, ended / hours,
                sound ? "sound" : "NOT SOUND");
    std::filesystem::remove_all(folder);
    return sound ? 0 : 1;
}
