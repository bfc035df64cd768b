#include "OpKinds.h"

#include "ops/DumpFiles.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace pw::test {

namespace {

constexpr std::uint8_t kFlashSeed = 3;
constexpr std::uint8_t kImageSeed = 9;

bool allErased(sim::FlashBytes::const_iterator from, sim::FlashBytes::const_iterator to)
{
    return std::all_of(from, to, [](std::uint8_t b) { return b == 0xFF; });
}

// The image written from address 0 as far as it got, erased flash behind it.
bool imagePrefixThenErased(const std::vector<std::uint8_t>& image, const sim::FlashBytes& after)
{
    const auto written = std::mismatch(image.begin(), image.end(), after.begin()).second;
    return allErased(written, after.end());
}

bool pageIs(const sim::FlashBytes& flash, std::uint32_t page, const sim::FlashBytes& reference)
{
    const auto from = static_cast<std::ptrdiff_t>(page * sim::kPageSize);
    return std::equal(flash.begin() + from, flash.begin() + from + sim::kPageSize, reference.begin() + from);
}

bool pageErased(const sim::FlashBytes& flash, std::uint32_t page)
{
    const auto from = flash.begin() + static_cast<std::ptrdiff_t>(page * sim::kPageSize);
    return allErased(from, from + sim::kPageSize);
}

bool inErasedRange(std::uint32_t page)
{
    return page >= kErasedFirstPage && page < kErasedFirstPage + kErasedPageCount;
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

OperationResult start(OpsBench& bench, OpKind op, const std::string& path)
{
    IspContext& ctx = bench.ctx;
    switch (op) {
    case OpKind::Program: return ProgramThread(ctx, bench.view, path);
    case OpKind::Verify: return VerifyThread(ctx, bench.view, path);
    case OpKind::EraseAll: return EraseAllThread(ctx, bench.view);
    case OpKind::PageErase: return PageEraseThread(ctx, bench.view, kErasedFirstPage, kErasedPageCount);
    case OpKind::Auto: return AutoThread(ctx, bench.view, path);
    case OpKind::Dump: return DumpWorker(ctx, bench.view, {0, 1, false, bench.folder()});
    }
    return {};
}

} // namespace

const char* opName(OpKind op)
{
    switch (op) {
    case OpKind::Program: return "Program";
    case OpKind::Verify: return "Verify";
    case OpKind::EraseAll: return "EraseAll";
    case OpKind::PageErase: return "PageErase";
    case OpKind::Auto: return "Auto";
    case OpKind::Dump: return "Dump";
    }
    return "?";
}

std::uint32_t framesBeforeMasks(OpKind op, std::uint32_t rate)
{
    const bool switches = op == OpKind::Auto ? rate != 9600
                                             : (op == OpKind::Program || op == OpKind::Verify || op == OpKind::Dump) &&
                                                   rate == 115200;
    return 2 + (switches ? 1 : 0);
}

std::uint32_t maskFrameCount(OpKind op)
{
    return op == OpKind::Verify || op == OpKind::Dump ? 0 : 8;
}

sim::FlashBytes startingFlash(OpKind op)
{
    sim::FlashBytes flash{};
    flash.fill(0xFF);
    if (op != OpKind::Program) {
        const std::vector<std::uint8_t> pattern = patternImage(flash.size(), kFlashSeed);
        std::copy(pattern.begin(), pattern.end(), flash.begin());
    }
    return flash;
}

OpRun runOp(OpsBench& bench, OpKind op, std::uint32_t rate, std::size_t imageLength)
{
    OpRun run;
    run.flashBefore = startingFlash(op);
    bench.sim.sim().setFlash(run.flashBefore);
    if (op == OpKind::Verify)
        run.image.assign(run.flashBefore.begin(), run.flashBefore.begin() + static_cast<std::ptrdiff_t>(imageLength));
    else if (op == OpKind::Program || op == OpKind::Auto)
        run.image = patternImage(imageLength, kImageSeed);
    const std::string path = bench.imageFile(run.image);
    bench.ctx.baudRate = rate;

    const auto began = std::chrono::steady_clock::now();
    run.result = bench.run([&] { return start(bench, op, path); });
    run.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
    if (op == OpKind::Dump)
        run.dumped = readFile(bench.folder() + "/" + kDumpBinaryName);
    return run;
}

std::string flashDamage(OpKind op, const OpRun& run, const sim::FlashBytes& after)
{
    const sim::FlashBytes& before = run.flashBefore;
    switch (op) {
    case OpKind::Program:
        return imagePrefixThenErased(run.image, after) ? "" : "flash is not a written prefix of the image";
    case OpKind::Verify:
    case OpKind::Dump: return after == before ? "" : "a reading run changed the flash";
    case OpKind::EraseAll:
        return after == before || allErased(after.begin(), after.end()) ? "" : "chip erase left part of the chip";
    case OpKind::PageErase:
        for (std::uint32_t page = 0; page < sim::kFlashSize / sim::kPageSize; ++page) {
            const bool sound = pageIs(after, page, before) || (inErasedRange(page) && pageErased(after, page));
            if (!sound)
                return "page " + std::to_string(page) + " changed outside the erased range";
        }
        return "";
    case OpKind::Auto:
        return after == before || imagePrefixThenErased(run.image, after) ? "" : "flash neither untouched nor erased and written";
    }
    return "unknown operation";
}

bool flashAsAfterSuccess(OpKind op, const OpRun& run, const sim::FlashBytes& after)
{
    switch (op) {
    case OpKind::Program:
    case OpKind::Auto:
        return std::equal(run.image.begin(), run.image.end(), after.begin()) &&
               allErased(after.begin() + static_cast<std::ptrdiff_t>(run.image.size()), after.end());
    case OpKind::Verify:
    case OpKind::Dump: return after == run.flashBefore;
    case OpKind::EraseAll: return allErased(after.begin(), after.end());
    case OpKind::PageErase:
        for (std::uint32_t page = 0; page < sim::kFlashSize / sim::kPageSize; ++page) {
            if (!(inErasedRange(page) ? pageErased(after, page) : pageIs(after, page, run.flashBefore)))
                return false;
        }
        return true;
    }
    return false;
}

} // namespace pw::test
