// Program and Verify of a 64 KiB image against the paced simulator at each rate. The walk time
// is taken from the simulator's frame log (first set-address frame to the last reply), so the
// fixed pauses of opening and closing are not in it; the whole run is printed beside it.
//   bench_program_64k [--unpaced] [rate...]      (default: 9600 57600 115200)
// --unpaced answers at memory speed: what is left is the cost of the program and the pty.
#include "BenchLink.h"
#include "ops/LinkSteps.h"

#include <cstdlib>
#include <filesystem>

namespace {

using pw::bench::BenchLink;

struct Row {
    const char* what;
    pw::LinkUse use;
    pw::OperationResult (*worker)(pw::IspContext&, pw::OperationView&, const std::string&);
};

void measure(BenchLink& link, const Row& row, std::uint32_t rate)
{
    link.ctx.baudRate = rate;
    const auto began = std::chrono::steady_clock::now();
    const pw::OperationResult result = link.run(row.worker);
    const double whole = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    // Program and Verify switch only for 115200; at 57600 the whole run stays at the base rate.
    const std::uint32_t line = pw::needsRateSwitch(row.use, rate) ? rate : link.ctx.baseBaud;
    const double walk = link.walkSeconds(line);
    const double wire = pw::bench::wireSeconds(line);
    std::printf("%-8s %7u %7u %10.2f %10.2f %10.2f %8.3fx %s\n", row.what, rate, line, wire, walk, whole, walk / wire,
                result.outcome == pw::Outcome::Success ? "" : ("FAILED: " + result.message).c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::uint32_t> rates;
    bool paced = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--unpaced")
            paced = false;
        else
            rates.push_back(static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10)));
    }
    if (rates.empty())
        rates = {9600, 57600, 115200};

    const std::string folder = pw::bench::benchFolder();
    const Row rows[] = {{"Program", pw::LinkUse::Program, pw::ProgramThread},
                        {"Verify", pw::LinkUse::Verify, pw::VerifyThread}};
    std::printf("%-8s %7s %7s %10s %10s %10s %9s\n", "64 KiB", "rate", "line", "wire s", "walk s", "whole s", "walk/wire");
    for (std::uint32_t rate : rates) {
        BenchLink link(folder, 0, paced);
        link.writeImage(pw::bench::benchImage(0x10000));
        for (const Row& row : rows)
            measure(link, row, rate);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
