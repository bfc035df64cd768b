// Runs that end with a box: a request refused before any frame, a verify that finds a
// difference, a dump that cannot write its file.
#include "support/EngineBench.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pw::test {
namespace {

struct RefusalRow {
    const char* name;
    OpKind op;
    OpArgs args;
    Outcome outcome;
    const char* boxStart; // the box's text begins so (it may go on with a path)
};
using pw::test::PrintTo;

class Refusal : public ::testing::TestWithParam<RefusalRow> {};

// Nothing reaches the target, not even CmdLeaveIsp, nothing is logged or written.
TEST_P(Refusal, SaysWhyBeforeAnyFrame)
{
    const RefusalRow& row = GetParam();
    EngineBench bench;
    bench.ctx.ispStartAddr = 0x1800;
    const OperationResult result = bench.run(row.op, row.args);

    EXPECT_EQ(result.outcome, row.outcome);
    ASSERT_EQ(bench.boxes.texts().size(), 1u);
    EXPECT_EQ(bench.boxes.texts()[0].rfind(row.boxStart, 0), 0u) << bench.boxes.texts()[0];
    EXPECT_TRUE(bench.framesBeforeMarker().empty());
    EXPECT_TRUE(bench.view.lines().empty());
    EXPECT_FALSE(std::filesystem::exists(bench.folder() + "/Dump.bin"));
    EXPECT_EQ(bench.ctx.busy, 0);
}

OpArgs pages(std::uint32_t from, std::uint32_t count)
{
    return {.fromPage = from, .pageCount = count};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Requests, Refusal, ::testing::Values(
    RefusalRow{"program_missing_file", OpKind::Program, {.imagePath = "/nonexistent/x.bin"}, Outcome::ImageError,
        "File : /nonexistent/x.bin"},
    RefusalRow{"program_longer_than_flash", OpKind::Program, {.image = patternImage(0x10001)}, Outcome::ImageError,
        "File : "},
    RefusalRow{"auto_image_ends_below_start", OpKind::Auto, {.image = patternImage(0x1000)}, Outcome::Refused,
        "The image holds 0x1000 bytes and none at or above the start address 0x1800: nothing to program!!!"},
    RefusalRow{"page_erase_past_last_page", OpKind::PageErase, pages(127, 2), Outcome::Refused,
        "Pages 0x7F to 0x80 run past the last flash page 0x7F!!! Nothing was erased."},
    RefusalRow{"page_erase_count_wraps", OpKind::PageErase, pages(4, 0xFFFFFFFF), Outcome::Refused,
        "Pages 0x4 to 0x100000002"},
    RefusalRow{"page_erase_start_wraps", OpKind::PageErase, pages(0xFFFFFFFF, 2), Outcome::Refused,
        "Pages 0xFFFFFFFF to 0x100000000"},
    RefusalRow{"dump_no_pages", OpKind::Dump, pages(0, 0), Outcome::Refused, "Page count must be more than 0 !"},
    RefusalRow{"dump_129_pages", OpKind::Dump, pages(0, 129), Outcome::Refused,
        "Pages 0x0 to 0x80 cannot be dumped: at most 0x80 pages, ending at or below address 0x10000!!!"},
    RefusalRow{"dump_address_wraps", OpKind::Dump, pages(0x800000, 1), Outcome::Refused, "Pages 0x800000 to"},
    RefusalRow{"dump_count_wraps", OpKind::Dump, pages(1, 0xFFFFFFFF), Outcome::Refused,
        "Pages 0x1 to 0xFFFFFFFF cannot"}
), rowName);
// clang-format on

struct MismatchRow {
    const char* name;
    std::size_t length;
    std::size_t corruptAt;
    std::uint32_t start;
    const char* box;
};

class VerifyMismatch : public ::testing::TestWithParam<MismatchRow> {};

// The first differing block is named, CmdLeaveIsp still ends the run, no elapsed time is logged.
TEST_P(VerifyMismatch, NamesTheFirstDifferingBlock)
{
    const MismatchRow& row = GetParam();
    EngineBench bench;
    bench.ctx.ispStartAddr = row.start;
    const std::vector<std::uint8_t> image = patternImage(row.length, 5);
    sim::FlashBytes flash;
    flash.fill(0xFF);
    std::copy(image.begin(), image.end(), flash.begin());
    flash[row.corruptAt] ^= 0x01;
    bench.sim.sim().setFlash(flash);
    const OperationResult result = bench.run(OpKind::Verify, {.image = image});

    EXPECT_EQ(result.outcome, Outcome::Mismatch) << result.message;
    EXPECT_EQ(bench.boxes.texts(), std::vector<std::string>{row.box});
    const std::vector<std::string> frames = bench.framesBeforeMarker();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), kLeaveFrame), 1);
    EXPECT_EQ(frames.back(), kLeaveFrame);
    EXPECT_EQ(bench.view.lines(), std::vector<std::string>{"Begin verifying........"});
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Flash, VerifyMismatch, ::testing::Values(
    MismatchRow{"byte_107", 0x200, 0x107, 0, "Verified Failure at 0x100!!!"},
    MismatchRow{"inside_the_tail", 0x10D, 0x10A, 0, "Verified Failure at 0x108!!!"},
    MismatchRow{"behind_the_tail", 0x10D, 0x10E, 0, "Verified Failure at 0x108!!!"},
    MismatchRow{"below_the_start", 0x1000, 0x10, 0x800, "Verified Failure at 0x10!!!"}
), rowName);
// clang-format on

TEST(DumpFile, AnUnwritableFolderIsReported)
{
    EngineBench bench;
    bench.ctx.busy = 1;
    const OperationResult result = DumpWorker(bench.ctx, bench.view, {0, 1, false, bench.folder() + "/no/such"});

    EXPECT_EQ(result.outcome, Outcome::ImageError);
    EXPECT_EQ(bench.boxes.texts(), std::vector<std::string>{"File can not open!"});
}

} // namespace
} // namespace pw::test
