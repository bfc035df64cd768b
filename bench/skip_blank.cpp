// Program of a sparse image (20 KiB of code spread over a 64 KiB file, the rest 0xFF) against
// the paced simulator at 115200, with and without --skip-blank, and the time saved.
//   bench_skip_blank [rate]      (default: 115200)
#include "BenchLink.h"

#include <cstdlib>
#include <filesystem>

namespace {

// Five 4 KiB pieces of code, each followed by 8 KiB of nothing: 20 KiB of code in 64 KiB.
std::vector<std::uint8_t> sparseImage()
{
    std::vector<std::uint8_t> image(0x10000, 0xFF);
    const std::vector<std::uint8_t> code = pw::bench::benchImage(0x10000);
    for (std::size_t piece = 0; piece < 5; ++piece) {
        const auto from = static_cast<std::ptrdiff_t>(piece * 0x3000);
        std::copy_n(code.begin() + from, 0x1000, image.begin() + from);
    }
    return image;
}

double timedProgram(pw::bench::BenchLink& link, bool skipBlank)
{
    link.ctx.skipBlankBlocks = skipBlank;
    const auto began = std::chrono::steady_clock::now();
    const pw::OperationResult result = link.run(pw::bench::programImage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (result.outcome != pw::Outcome::Success)
        std::printf("FAILED: %s\n", result.message.c_str());
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    const std::uint32_t rate = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 115200;
    const std::string folder = pw::bench::benchFolder();
    pw::bench::BenchLink link(folder);
    link.ctx.baudRate = rate;
    link.writeImage(sparseImage());
    const double whole = timedProgram(link, false);
    const double walkAll = link.walkSeconds(rate);
    const double skipping = timedProgram(link, true);
    const double walkSkipping = link.walkSeconds(rate);
    std::printf("sparse 64 KiB (20 KiB of code) at %u: Program %.2f s (walk %.2f s), with --skip-blank %.2f s "
                "(walk %.2f s): %.0f %% of the walk saved\n",
                rate, whole, walkAll, skipping, walkSkipping, 100.0 * (1.0 - walkSkipping / walkAll));
    std::filesystem::remove_all(folder);
    return 0;
}
