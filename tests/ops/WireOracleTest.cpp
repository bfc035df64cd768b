// Every operation at every rate against the simulator: the exact frames it sent, the flash it
// left, the file it wrote and the lines it logged.
#include "support/EngineBench.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

namespace pw::test {
namespace {

using Range = std::pair<int, int>;

struct OracleRow {
    const char* name;
    OpKind op;
    std::uint32_t rate = 9600;
    std::uint32_t start = 0;     // the start address of the settings
    std::size_t imageLength = 0; // Program, Verify, Auto
    std::uint32_t fromPage = 0;  // PageErase, Dump
    std::uint32_t pageCount = 0;
    bool asText = false;    // Dump
    bool sparse = false;    // Program with --skip-blank on an image with long runs of 0xFF
    Range progress{-1, -1}; // the first progress range, where a row pins it
};
using pw::test::PrintTo;

constexpr std::uint8_t kBelowStart = 0x11; // flash below the start address before a run
constexpr std::uint8_t kFlashFill = 0x00;  // elsewhere: only an erase makes it writable

std::vector<std::uint8_t> imageFor(const OracleRow& row)
{
    std::vector<std::uint8_t> image = patternImage(row.imageLength, 1);
    if (row.sparse)
        for (std::size_t k = 0; k < image.size(); ++k)
            if ((k % 0x200) >= 16 && k + 4 < image.size())
                image[k] = 0xFF; // code at the start of each page and in the last 4 bytes
    return image;
}

sim::FlashBytes flashBefore(const OracleRow& row, const std::vector<std::uint8_t>& image)
{
    sim::FlashBytes flash;
    for (std::size_t k = 0; k < flash.size(); ++k)
        flash[k] = k < row.start ? kBelowStart : kFlashFill;
    if (row.op == OpKind::Program || row.op == OpKind::Verify)
        flash.fill(0xFF);
    if (row.op == OpKind::Verify) // the tail block is compared with 0xFF behind the image
        std::copy(image.begin(), image.end(), flash.begin());
    if (row.op == OpKind::Dump)
        for (std::size_t k = 0; k < flash.size(); ++k)
            flash[k] = static_cast<std::uint8_t>(k * 13 + 5);
    return flash;
}

std::vector<std::string> expectedFrames(const OracleRow& row, const std::vector<std::uint8_t>& image)
{
    const std::uint32_t topOnly = row.rate == 115200 ? row.rate : 9600;
    const std::size_t end = (image.size() + 7) / 8 * 8;
    const std::uint32_t startPage = row.start / 0x200;
    ExpectedStream s;
    switch (row.op) {
    case OpKind::Program: s.open(topOnly).masks(startMaskFrames(row.start)).writes(image, 0, row.sparse); break;
    case OpKind::Verify: s.open(topOnly).reads(0, end); break;
    case OpKind::EraseAll: s.open().masks(maskFrames(0, 0xFFFFFFFF)).chipErase(); break;
    case OpKind::PageErase: s.open().masks(startMaskFrames(row.start)).pageErases(row.fromPage, row.pageCount); break;
    case OpKind::Auto:
        s.open(row.rate).masks(startMaskFrames(row.start));
        if (row.start == 0)
            s.chipErase();
        else
            s.pageErases(startPage, 128 - startPage);
        s.writes(image, row.start).reads(row.start, end);
        break;
    case OpKind::Dump: s.open(topOnly).reads(row.fromPage * 0x200, (row.fromPage + row.pageCount) * 0x200); break;
    }
    return s.leave().frames();
}

// A dump listing written out independently: "%08xh : " and 16 bytes per row, CR LF.
std::string listing(const sim::FlashBytes& flash, std::size_t from, std::size_t to)
{
    std::string text;
    for (std::size_t row = from; row < to; row += 16) {
        char cell[24];
        std::snprintf(cell, sizeof cell, "%08zxh :", row);
        text += cell;
        for (std::size_t k = row; k < row + 16; ++k) {
            std::snprintf(cell, sizeof cell, " %02X", flash[k]);
            text += cell;
        }
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> expectedLinePrefixes(const OracleRow& row)
{
    switch (row.op) {
    case OpKind::Program: return {"Begin programming.............", "program elapsed time : "};
    case OpKind::Verify: return {"Begin verifying........", "Verify elapsed time : "};
    case OpKind::EraseAll: return {"Begin erase chip all data.............", "erase chip elapsed time : "};
    case OpKind::PageErase: return {"Begin erase page data.............", "erase chip elapsed time : "};
    case OpKind::Auto:
        return {row.start == 0 ? "Begin erase chip all data............." : "Begin erase chip page data.............",
                "erase chip elapsed time : ",
                "Begin programming.............",
                "program elapsed time : ",
                "Begin verifying........",
                "Verify elapsed time : "};
    case OpKind::Dump: return {};
    }
    return {};
}

class WireOracle : public ::testing::TestWithParam<OracleRow> {};

TEST_P(WireOracle, ExactFramesFlashFileAndLog)
{
    const OracleRow& row = GetParam();
    EngineBench bench;
    bench.ctx.baudRate = row.rate;
    bench.ctx.ispStartAddr = row.start;
    bench.ctx.skipBlankBlocks = row.sparse;
    const std::vector<std::uint8_t> image = imageFor(row);
    const sim::FlashBytes before = flashBefore(row, image);
    bench.sim.sim().setFlash(before);

    const OperationResult result = bench.run(row.op, {image, row.fromPage, row.pageCount, row.asText});

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    EXPECT_TRUE(bench.boxes.texts().empty()) << bench.boxes.texts().front();
    const std::vector<std::string> expected = expectedFrames(row, image);
    ASSERT_TRUE(bench.sim.waitForProgramFrames(expected.size()));
    EXPECT_EQ(bench.sim.programFrames(), expected);
    const sim::FlashBytes after = bench.sim.sim().flash();
    EXPECT_TRUE(after == flashAfterSuccess(row.op, {image, row.fromPage, row.pageCount}, row.start, before))
        << "the flash is not what the run must leave";
    EXPECT_EQ(bench.ctx.port.baud(), 9600u) << "the port was not reopened at the base rate";
    EXPECT_EQ(bench.ctx.busy, 0);

    const std::vector<std::string> lines = bench.view.lines();
    const std::vector<std::string> prefixes = expectedLinePrefixes(row);
    ASSERT_EQ(lines.size(), prefixes.size()) << ::testing::PrintToString(lines);
    for (std::size_t k = 0; k < lines.size(); ++k)
        EXPECT_EQ(lines[k].rfind(prefixes[k], 0), 0u) << lines[k];
    if (row.progress.first >= 0) {
        EXPECT_EQ(bench.view.ranges().front(), row.progress);
    }

    if (row.op != OpKind::Dump)
        return;
    const std::size_t from = row.fromPage * 0x200, to = (row.fromPage + row.pageCount) * 0x200;
    const std::string path = bench.folder() + (row.asText ? "/Dump.txt" : "/Dump.bin");
    EXPECT_EQ(fileText(path), row.asText ? listing(after, from, to) : std::string(&after[from], &after[0] + to));
    EXPECT_EQ(bench.view.viewed(), row.asText ? std::vector<std::string>{path} : std::vector<std::string>{});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bench.folder()), {}), 2) << "a part file stayed";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Runs, WireOracle, ::testing::Values(
    OracleRow{.name = "program_empty", .op = OpKind::Program, .progress = {0, 0}},
    OracleRow{.name = "program_one_short_block", .op = OpKind::Program, .imageLength = 5, .progress = {0, 0}},
    OracleRow{.name = "program_two_pages_9600", .op = OpKind::Program, .imageLength = 0x108, .progress = {0, 33}},
    OracleRow{.name = "program_254_steps", .op = OpKind::Program, .rate = 57600, .imageLength = 2039,
        .progress = {0, 254}},
    OracleRow{.name = "program_halved_steps", .op = OpKind::Program, .imageLength = 2040, .progress = {0, 127}},
    OracleRow{.name = "program_whole_flash_115200", .op = OpKind::Program, .rate = 115200, .imageLength = 0x10000,
        .progress = {0, 248}},
    OracleRow{.name = "program_keeps_blocks_below_start", .op = OpKind::Program, .start = 0x1800, .imageLength = 0x40},
    OracleRow{.name = "program_skip_blank", .op = OpKind::Program, .imageLength = 0x4FD, .sparse = true},
    OracleRow{.name = "verify_9600", .op = OpKind::Verify, .imageLength = 0x208},
    OracleRow{.name = "verify_tail_115200", .op = OpKind::Verify, .rate = 115200, .imageLength = 0x10D},
    OracleRow{.name = "verify_empty_57600", .op = OpKind::Verify, .rate = 57600},
    OracleRow{.name = "erase_all_ignores_start_and_rate", .op = OpKind::EraseAll, .rate = 115200, .start = 0x8000},
    OracleRow{.name = "page_erase_upper_half", .op = OpKind::PageErase, .start = 0x8000, .fromPage = 64,
        .pageCount = 64, .progress = {0, 64}},
    OracleRow{.name = "page_erase_kept_blocks_stay", .op = OpKind::PageErase, .rate = 115200, .start = 0x8000,
        .fromPage = 60, .pageCount = 8},
    OracleRow{.name = "page_erase_last_page", .op = OpKind::PageErase, .start = 0x800, .fromPage = 127, .pageCount = 1},
    OracleRow{.name = "page_erase_no_pages", .op = OpKind::PageErase, .start = 0x800, .fromPage = 4},
    OracleRow{.name = "auto_chip_9600", .op = OpKind::Auto, .imageLength = 0x305},
    OracleRow{.name = "auto_chip_57600", .op = OpKind::Auto, .rate = 57600, .imageLength = 0x300},
    OracleRow{.name = "auto_chip_115200", .op = OpKind::Auto, .rate = 115200, .imageLength = 0x300},
    OracleRow{.name = "auto_pages_9600", .op = OpKind::Auto, .start = 0x1800, .imageLength = 0x2000},
    OracleRow{.name = "auto_pages_115200", .op = OpKind::Auto, .rate = 115200, .start = 0x1800, .imageLength = 0x2345},
    OracleRow{.name = "auto_image_ends_at_start", .op = OpKind::Auto, .start = 0x1800, .imageLength = 0x1800},
    OracleRow{.name = "auto_upper_half", .op = OpKind::Auto, .rate = 57600, .start = 0x8000, .imageLength = 0x9000,
        .progress = {0, 170}},
    OracleRow{.name = "dump_one_page_text", .op = OpKind::Dump, .pageCount = 1, .asText = true},
    OracleRow{.name = "dump_one_page_binary_57600", .op = OpKind::Dump, .rate = 57600, .pageCount = 1},
    OracleRow{.name = "dump_two_pages_text_115200", .op = OpKind::Dump, .rate = 115200, .fromPage = 0x10,
        .pageCount = 2, .asText = true},
    OracleRow{.name = "dump_whole_flash_binary", .op = OpKind::Dump, .pageCount = 128},
    OracleRow{.name = "dump_last_page_text", .op = OpKind::Dump, .fromPage = 127, .pageCount = 1, .asText = true}
), rowName);
// clang-format on

// A boot loader that is not ready misses the next frame, so the pauses towards it keep their
// lengths and places. Each run notes the pauses it asks for at the product's lengths and
// sleeps only as long as the monitor needs to put a last frame on the line.
class NotedPauses {
public:
    explicit NotedPauses(IspContext& ctx)
    {
        ctx.timings = Timings{};
        ctx.pause = [this](Millis asked) {
            {
                std::lock_guard lock(mutex_);
                asked_.push_back(asked.count());
            }
            std::this_thread::sleep_for(std::min(asked, Millis(20)));
        };
    }
    std::vector<long> take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(asked_, {});
    }

private:
    std::mutex mutex_;
    std::vector<long> asked_;
};

struct PauseRow {
    const char* name;
    OpKind op;
    std::uint32_t rate;
    std::vector<long> asked; // ms, in the order the run asks for them
};

class PausesTowardTheTarget : public ::testing::TestWithParam<PauseRow> {};

TEST_P(PausesTowardTheTarget, KeepTheirLengthsAndPlaces)
{
    const PauseRow& row = GetParam();
    EngineBench bench;
    NotedPauses pauses(bench.ctx);
    ClosePort(bench.ctx);
    OpenLink(bench.ctx, bench.matcher, bench.matcher);
    EXPECT_EQ(pauses.take(), (std::vector<long>{500, 500})) << "after closing and after opening the link";
    bench.ctx.baudRate = row.rate;

    const OperationResult result = bench.run(row.op, {patternImage(0x40, 1), 3, 2});

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    EXPECT_EQ(pauses.take(), row.asked);
}

// A rate switch: 50 before and after its close, 500 after it. An erase: 50 (30 in Auto; 40 per
// page) before its status. The end of a run that writes: 50 before the close, 500 after it and
// again after the reopen, then 1500 before the next run may start.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Runs, PausesTowardTheTarget, ::testing::Values(
    PauseRow{"program_9600", OpKind::Program, 9600, {50, 500, 500, 1500}},
    PauseRow{"program_115200", OpKind::Program, 115200, {50, 50, 500, 50, 500, 500, 1500}},
    PauseRow{"erase_all", OpKind::EraseAll, 115200, {50}},
    PauseRow{"page_erase", OpKind::PageErase, 9600, {40, 40}},
    PauseRow{"auto_115200", OpKind::Auto, 115200, {50, 50, 500, 30, 50, 500, 500, 1500}}
), rowName);
// clang-format on

} // namespace
} // namespace pw::test
