#include "OpsBench.h"
#include "ops/DumpFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pw::test {
namespace {

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

sim::FlashBytes patternFlash()
{
    const std::vector<std::uint8_t> bytes = patternImage(0x10000, 4);
    sim::FlashBytes flash;
    std::copy(bytes.begin(), bytes.end(), flash.begin());
    return flash;
}

struct DumpCase {
    const char* name;
    std::uint32_t fromPage;
    std::uint32_t pageCount;
    bool asText;
    std::uint32_t rate;
};

class DumpRange : public ::testing::TestWithParam<DumpCase> {};

TEST_P(DumpRange, FileHoldsTheFlash)
{
    const DumpCase& c = GetParam();
    OpsBench bench;
    bench.ctx.baudRate = c.rate;
    const sim::FlashBytes flash = patternFlash();
    bench.sim.sim().setFlash(flash);
    const OperationResult result =
        bench.run([&] { return DumpWorker(bench.ctx, bench.view, {c.fromPage, c.pageCount, c.asText, bench.folder()}); });

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    const std::size_t start = std::size_t{c.fromPage} * 512;
    const std::size_t length = std::size_t{c.pageCount} * 512;
    const std::string path = bench.folder() + (c.asText ? "/Dump.txt" : "/Dump.bin");
    const std::string content = fileText(path);
    if (c.asText) {
        const std::optional<std::string> listing =
            dumpListing(std::span(flash).subspan(start, length), static_cast<std::uint32_t>(start), bench.ctx.cancelEvent);
        EXPECT_EQ(content, *listing);
        char head[16];
        std::snprintf(head, sizeof head, "%08zxh : ", start);
        EXPECT_EQ(content.rfind(head, 0), 0u) << content.substr(0, 20);
        EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), static_cast<long>(c.pageCount * 32));
        EXPECT_EQ(bench.view.viewed(), std::vector<std::string>{path});
    } else {
        EXPECT_EQ(content, std::string(flash.begin() + static_cast<std::ptrdiff_t>(start),
                                       flash.begin() + static_cast<std::ptrdiff_t>(start + length)));
        EXPECT_TRUE(bench.view.viewed().empty());
    }
    ASSERT_TRUE(bench.waitForFrame(kLeaveFrame));
    const std::vector<std::string> frames = bench.sim.programFrames();
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(), [](const std::string& f) { return f.rfind("0F 0D", 0) == 0; }),
              static_cast<long>(length / 8));
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(), [](const std::string& f) { return f.rfind("0F 0E 00", 0) == 0; }),
              static_cast<long>(length / 256));
    EXPECT_EQ(frames[2] == "0F 0E 02 CC CC CC FF", c.rate == 115200);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    EXPECT_EQ(bench.ctx.busy, 0);
}

INSTANTIATE_TEST_SUITE_P(Ranges, DumpRange,
                         ::testing::Values(DumpCase{"one_page_text", 0, 1, true, 9600},
                                           DumpCase{"one_page_binary", 0, 1, false, 57600},
                                           DumpCase{"two_pages_at_0x10", 0x10, 2, true, 115200},
                                           DumpCase{"whole_flash_binary", 0, 128, false, 9600},
                                           DumpCase{"last_page_text", 127, 1, true, 9600}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(DumpListing, RowFormat)
{
    std::vector<std::uint8_t> row{0x02, 0x10, 0x00, 0x75, 0x81, 0x2F, 0x12, 0x00,
                                  0x00, 0x80, 0xFE, 0x22, 0xFF, 0xFF, 0xFF, 0xFF};
    ManualResetEvent cancel;
    EXPECT_EQ(dumpListing(row, 0x200, cancel),
              "00000200h : 02 10 00 75 81 2F 12 00 00 80 FE 22 FF FF FF FF\r\n");
    cancel.set();
    EXPECT_EQ(dumpListing(row, 0x200, cancel), std::nullopt);
}

struct RefusedDump {
    std::uint32_t fromPage;
    std::uint32_t pageCount;
};

class DumpRefused : public ::testing::TestWithParam<RefusedDump> {};

TEST_P(DumpRefused, BeforeConnecting)
{
    OpsBench bench;
    const OperationResult result = bench.run(
        [&] { return DumpWorker(bench.ctx, bench.view, {GetParam().fromPage, GetParam().pageCount, false, bench.folder()}); });

    EXPECT_EQ(result.outcome, Outcome::Refused);
    EXPECT_EQ(bench.boxes.texts().size(), 1u);
    EXPECT_TRUE(bench.sim.programFrames().empty());
    EXPECT_FALSE(std::filesystem::exists(bench.folder() + "/Dump.bin"));
    EXPECT_EQ(bench.ctx.busy, 0);
}

INSTANTIATE_TEST_SUITE_P(Ranges, DumpRefused,
                         ::testing::Values(RefusedDump{0, 0}, RefusedDump{0, 129}, RefusedDump{127, 2},
                                           RefusedDump{128, 1}, RefusedDump{0x800000, 1}, RefusedDump{1, 0xFFFFFFFF}));

struct FailedDump {
    const char* name;
    sim::Fault fault;
    Outcome outcome;
};

class DumpWritesNothing : public ::testing::TestWithParam<FailedDump> {};

TEST_P(DumpWritesNothing, OnCancelOrSilence)
{
    OpsBench bench(SimHarness::withFaults({GetParam().fault}));
    std::thread canceller;
    if (GetParam().outcome == Outcome::Cancelled)
        canceller = std::thread([&] {
            bench.sim.waitForProgramFrames(30);
            bench.ctx.cancelEvent.set();
        });
    bench.ctx.busy = 1;
    const OperationResult result = DumpWorker(bench.ctx, bench.view, {0, 64, true, bench.folder()});
    if (canceller.joinable())
        canceller.join();

    EXPECT_EQ(result.outcome, GetParam().outcome);
    EXPECT_FALSE(std::filesystem::exists(bench.folder() + "/Dump.txt"));
    EXPECT_TRUE(bench.view.viewed().empty());
    EXPECT_EQ(bench.ctx.busy, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, DumpWritesNothing,
                         ::testing::Values(FailedDump{"cancel", {sim::Fault::Kind::Slow, 2}, Outcome::Cancelled},
                                           FailedDump{"no_target", {sim::Fault::Kind::SilentAfter, 0}, Outcome::TimedOut}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(DumpFile, UnwritableFolderIsReported)
{
    OpsBench bench;
    const OperationResult result = bench.run(
        [&] { return DumpWorker(bench.ctx, bench.view, {0, 1, false, bench.folder() + "/no/such/folder"}); });

    EXPECT_NE(result.outcome, Outcome::Success);
    EXPECT_EQ(bench.boxes.texts(), std::vector<std::string>{"File can not open!"});
}

} // namespace
} // namespace pw::test
