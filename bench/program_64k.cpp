// Program and Verify of a 64 KiB image against the paced simulator at each rate, through the
// headless engine and through the panel's GUI-thread byte hand-over. The walk time is taken from
// the simulator's frame log (first set-address frame to the last reply), so the fixed pauses of
// opening and closing are not in it. Beside it: the host turnaround the simulator measured (last
// reply byte written to the next frame's first byte read), the program's own share of it (the
// turnaround less a bare pseudo-terminal round trip measured in the same run: one byte each way
// between two processes, what the machine takes whatever the program does), and the
// simulator's pacing error.
//   bench_program_64k [--unpaced] [--adapter-latency=MS] [rate...]   (default: 9600 57600 115200)
// --unpaced answers at memory speed: what is left is the cost of the program and the pty.
// --adapter-latency=MS holds each reply as a USB serial adapter's latency timer would.
// Without it the run ends with Program at 115200 through the USB adapter model: a latency timer
// of 1 ms and of 16 ms, each without and with 0xFF as the adapter's event character.
#include "BenchLink.h"
#include "gui/dialogs/QueuedView.h"
#include "gui/support/GuiThreadSink.h"
#include "ops/LinkSteps.h"

#include "sim/Pty.h"

#include <QCoreApplication>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using pw::bench::BenchLink;

struct Row {
    const char* what;
    pw::LinkUse use;
    pw::OperationResult (*worker)(pw::IspContext&, pw::OperationView&, const std::string&);
};

// The run on the headless engine, or with the worker on a thread of its own while this thread
// serves the GUI-thread hand-over and the window's view (every progress step and log line an
// event on this thread, as in the window).
pw::OperationResult runOn(BenchLink& link, const Row& row, bool guiPath)
{
    if (!guiPath)
        return link.run(row.worker);
    QObject window;
    int position = 0;
    pw::QueuedView::Handlers handlers;
    handlers.appendLogLine = [](const std::string&) {};
    handlers.setProgressRange = [](int, int) {};
    handlers.setProgressPosition = [&position](int at) { position = at; };
    handlers.setCancelEnabled = [](bool) {};
    handlers.setProgressVisible = [](bool) {};
    handlers.openTextViewer = [](const std::string&) {};
    pw::QueuedView view(&window, handlers);
    pw::OperationResult result;
    std::thread worker([&] {
        result = link.run(row.worker, view);
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    worker.join();
    return result;
}

// One byte each way through a pseudo-terminal between two processes, each waiting in poll as
// the program and the simulator do; the median in microseconds.
std::int64_t bareRoundTripUs()
{
    pw::sim::Pty pty;
    std::string error;
    if (!pty.open(error))
        return 0;
    const int slave = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    pw::sim::makeRawLine(slave, 115200);
    const pid_t echo = ::fork();
    if (echo == 0) {
        for (char byte = 0; byte != 'q';) {
            pollfd ready{pty.master(), POLLIN, 0};
            if (::poll(&ready, 1, 5000) <= 0 || ::read(pty.master(), &byte, 1) != 1 ||
                ::write(pty.master(), &byte, 1) != 1)
                break;
        }
        ::_exit(0);
    }
    std::vector<std::int64_t> samples;
    for (int k = 0; k < 3000; ++k) {
        char byte = 'x';
        const auto sent = std::chrono::steady_clock::now();
        pollfd ready{slave, POLLIN, 0};
        if (::write(slave, &byte, 1) != 1 || ::poll(&ready, 1, 1000) <= 0 || ::read(slave, &byte, 1) != 1)
            break;
        samples.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - sent).count());
    }
    const char quit = 'q';
    [[maybe_unused]] const ssize_t told = ::write(slave, &quit, 1);
    ::waitpid(echo, nullptr, 0);
    ::close(slave);
    return pw::sim::percentiles(samples).p50;
}

std::int64_t bareUs = 0;

void measure(BenchLink& link, const Row& row, std::uint32_t rate, bool guiPath)
{
    link.ctx.baudRate = rate;
    const pw::OperationResult result = runOn(link, row, guiPath);
    // Program and Verify switch only for 115200; at 57600 the whole run stays at the base rate.
    const std::uint32_t line = pw::needsRateSwitch(row.use, rate) ? rate : link.ctx.baseBaud;
    const double walk = link.walkSeconds(line);
    const double wire = pw::bench::wireSeconds(line);
    const pw::sim::SimStats stats = link.sim().stats();
    std::printf("%-8s %-6s %7u %7u %8.2f %8.2f %8.3fx %6lld %6lld %6lld %7lld %6lld %6lld %7lld %s\n", row.what,
                guiPath ? "GUI" : "engine", rate, line, wire, walk, walk / wire,
                static_cast<long long>(stats.turnaround.p50), static_cast<long long>(stats.turnaround.p50 - bareUs),
                static_cast<long long>(stats.turnaround.p99), static_cast<long long>(stats.turnaround.max),
                static_cast<long long>(stats.pacingError.p50), static_cast<long long>(stats.pacingError.p99),
                static_cast<long long>(stats.pacingError.max),
                result.outcome == pw::Outcome::Success ? "" : ("FAILED: " + result.message).c_str());
    std::fflush(stdout);
}

// Program 64 KiB at 115200 through the adapter model, headless.
void measureAdapters(const std::string& folder, bool paced)
{
    std::printf("\nUSB adapter model, Program 64 KiB at 115200 (wire %.2f s)\n", pw::bench::wireSeconds(115200));
    std::printf("%-14s %-16s %8s %9s\n", "latency timer", "event character", "walk s", "walk/wire");
    const Row program{"Program", pw::LinkUse::Program, pw::bench::programImage};
    for (const std::uint32_t latencyMs : {1u, 16u}) {
        for (const bool eventChar : {false, true}) {
            BenchLink link(folder, 0, paced, latencyMs, eventChar);
            link.writeImage(pw::bench::benchImage(0x10000));
            link.ctx.baudRate = 115200;
            const pw::OperationResult result = link.run(program.worker);
            const double walk = link.walkSeconds(115200);
            std::printf("%11u ms %-16s %8.2f %8.3fx %s\n", latencyMs, eventChar ? "0xFF" : "none", walk,
                        walk / pw::bench::wireSeconds(115200),
                        result.outcome == pw::Outcome::Success ? "" : ("FAILED: " + result.message).c_str());
            std::fflush(stdout);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the GUI thread of the hand-over rows
    std::vector<std::uint32_t> rates;
    bool paced = true;
    std::uint32_t adapterLatencyMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--unpaced")
            paced = false;
        else if (arg.starts_with("--adapter-latency="))
            adapterLatencyMs = static_cast<std::uint32_t>(std::strtoul(arg.c_str() + 18, nullptr, 10));
        else
            rates.push_back(static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10)));
    }
    if (rates.empty())
        rates = {9600, 57600, 115200};

    const std::string folder = pw::bench::benchFolder();
    const Row rows[] = {{"Program", pw::LinkUse::Program, pw::bench::programImage},
                        {"Verify", pw::LinkUse::Verify, pw::VerifyThread}};
    bareUs = bareRoundTripUs();
    std::printf("bare pseudo-terminal round trip (one byte each way between two processes): p50 %lld us%s\n",
                static_cast<long long>(bareUs),
                adapterLatencyMs ? (", adapter latency timer " + std::to_string(adapterLatencyMs) + " ms").c_str()
                                 : "");
    std::printf("%-8s %-6s %7s %7s %8s %8s %9s %6s %6s %6s %7s %6s %6s %7s\n", "64 KiB", "path", "rate", "line",
                "wire s", "walk s", "walk/wire", "ta p50", "own", "ta p99", "ta max", "pe p50", "pe p99", "pe max");
    for (std::uint32_t rate : rates) {
        BenchLink link(folder, 0, paced, adapterLatencyMs);
        link.writeImage(pw::bench::benchImage(0x10000));
        for (const Row& row : rows)
            measure(link, row, rate, false);
        pw::GuiThreadSink handOver(link.matcher);
        link.reopenFor(handOver);
        for (const Row& row : rows)
            measure(link, row, rate, true);
        link.reopenFor(link.matcher);
    }
    if (adapterLatencyMs == 0)
        measureAdapters(folder, paced);
    std::filesystem::remove_all(folder);
    return 0;
}
