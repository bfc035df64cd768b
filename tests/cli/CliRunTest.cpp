// pagewise-cli as a user runs it: a child process against in-process simulated targets.
#include "support/ChildProcess.h"
#include "support/SimHarness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace fs = std::filesystem;
using pw::sim::Fault;
using pw::test::ChildProcess;
using pw::test::ChildResult;
using pw::test::SimHarness;

namespace {

const std::string kLeaveIsp = "0F 0E 01 01 01 FF";
const std::string kTimeoutBox = "Wait COM port timeout, pls check MCU and COM port status!";

std::vector<std::uint8_t> pattern(std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// A HEX file whose only data record holds 16 zero bytes at 0x0100.
std::string sixteenZerosAt0x100(const std::string& checksum)
{
    return ":10010000" + std::string(32, '0') + checksum + "\n:00000001FF\n";
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliRun : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("pagewise-cli-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_ / "config");
        // Settings of the developer's own desktop must not leak into the runs.
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::string writeText(const std::string& name, const std::string& text)
    {
        return writeFile(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    ChildResult cli(const std::vector<std::string>& args, std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        ChildProcess child(pw::test::binFolder() + "pagewise-cli", args);
        return child.wait(timeout);
    }

    fs::path dir_;
};

TEST_F(CliRun, ProgramWritesTheImageLogsThePanelsLinesAndExitsZero)
{
    SimHarness target;
    const auto image = pattern(0x108);
    const ChildResult run = cli({"--port", target.slavePath(), "program", writeFile("fw.bin", image)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Begin programming.............\n")) << run.out;
    EXPECT_TRUE(contains(run.out, "program elapsed time : ")) << run.out;
    const auto flash = target.sim().flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_EQ(flash[0x108], 0xFF);
    EXPECT_EQ(target.programFrames().back(), kLeaveIsp);
    EXPECT_FALSE(contains(run.err, "end...")) << "developer trace lines reached the user: " << run.err;
}

TEST_F(CliRun, VerifyMismatchExitsOneAndNamesTheBlock)
{
    SimHarness target;
    auto image = pattern(0x200);
    auto flash = target.sim().flash();
    std::copy(image.begin(), image.end(), flash.begin());
    flash[0x107] ^= 0x01;
    target.sim().setFlash(flash);
    const ChildResult run = cli({"--port", target.slavePath(), "verify", writeFile("fw.bin", image)});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(contains(run.err, "Verified Failure at 0x100!!!")) << run.err;
    EXPECT_FALSE(contains(run.out, "Verify elapsed time")) << run.out;
}

TEST_F(CliRun, SilentTargetExitsTwoWithTheTimeoutTextAndNoLeaveIsp)
{
    SimHarness target(SimHarness::withFaults({{Fault::Kind::SilentAfter, 0}}));
    const ChildResult run = cli({"--port", target.slavePath(), "program", writeFile("fw.bin", pattern(64))});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_TRUE(contains(run.err, kTimeoutBox)) << run.err;
    for (const std::string& frame : target.programFrames())
        EXPECT_NE(frame, kLeaveIsp);
}

TEST_F(CliRun, MissingDeviceExitsFour)
{
    const ChildResult run = cli({"--port", (dir_ / "no-such-tty").string(), "erase"});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_TRUE(contains(run.err, (dir_ / "no-such-tty").string() + " not found")) << run.err;
}

TEST_F(CliRun, BadArgumentsAndFilesExitThreeWithoutTouchingThePort)
{
    SimHarness target;
    const std::string port = target.slavePath();
    const std::string goodImage = writeFile("fw.bin", pattern(16));
    const std::string badHex = writeText("bad.hex", sixteenZerosAt0x100("EE")); // wrong record checksum
    const std::string text = writeText("notes.txt", "hello");
    const std::vector<std::vector<std::string>> cases = {
        {"--port", port, "program"},
        {"--port", port, "--baud", "38400", "program", goodImage},
        {"--port", port, "program", (dir_ / "missing.bin").string()},
        {"--port", port, "program", badHex},
        {"--port", port, "verify", text},
        {"--port", port, "dump", "0", "129"},
        {"--port", port, "dump", "127", "2"},
        {"--port", port, "erase", "--pages", "120:9"},
        {"--port", port, "--start-addr", "0x900", "auto", goodImage},
        {"--port", port, "program", writeFile("long.bin", pattern(0x10001))},
        {"--port", port, "--start-addr", "0x800", "auto", goodImage},
    };
    for (const auto& args : cases) {
        const ChildResult run = cli(args);
        EXPECT_EQ(run.exitCode, 3) << args.back() << "\n" << run.err;
        EXPECT_FALSE(run.err.empty()) << args.back();
    }
    EXPECT_TRUE(target.programFrames().empty());
    EXPECT_FALSE(fs::exists(dir_ / "bad.bin"));
}

TEST_F(CliRun, AnUnusableSettingsFileIsNamedOnceAndLeftAlone)
{
    const fs::path file = dir_ / "config" / "Corvane" / "Pagewise.conf";
    fs::create_directories(file.parent_path());
    const std::string content = "[Ports]\nCOM3 /dev/ttyUSB0\n";
    std::ofstream(file) << content;
    const ChildResult run = cli({"info", writeText("a.hex", sixteenZerosAt0x100("EF"))});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find(file.string()), run.err.rfind(file.string())) << run.err;
    EXPECT_TRUE(contains(run.err, file.string() + " is not used")) << run.err;
    EXPECT_TRUE(contains(run.err, "line 2")) << run.err;
    std::ifstream in(file);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), content);
}

TEST_F(CliRun, InfoShowsSizeAndChecksumAsThePanelDoes)
{
    const std::string hex = sixteenZerosAt0x100("EF");
    const ChildResult run = cli({"info", writeText("a.hex", hex)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Size: " + std::to_string(hex.size()) + "/272\nCheck Sum: 0000/FF00\n");
}

TEST_F(CliRun, DumpWritesTheRequestedPagesToTheNamedFile)
{
    SimHarness target;
    auto flash = target.sim().flash();
    const auto image = pattern(0x400);
    std::copy(image.begin(), image.end(), flash.begin());
    target.sim().setFlash(flash);
    const fs::path out = dir_ / "page1.bin";
    ChildResult run;
    {
        const fs::path before = fs::current_path();
        fs::current_path(dir_);
        run = cli({"--port", target.slavePath(), "dump", "1", "1", "--bin", "-o", out.string()});
        fs::current_path(before);
    }
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::ifstream in(out, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(image.begin() + 0x200, image.end()));
}

TEST_F(CliRun, GangRunFailsOnlyTheBadTargetsAndExitsWithTheWorstCode)
{
    SimHarness good;
    SimHarness silent(SimHarness::withFaults({{Fault::Kind::SilentAfter, 2}}));
    SimHarness corrupt(SimHarness::withFaults({{Fault::Kind::Corrupt, 1}}));
    SimHarness hangup(SimHarness::withFaults({{Fault::Kind::HangupAfter, 4}}));
    const auto image = pattern(0x300);
    const ChildResult run = cli({"--json", "--port", good.slavePath(), "--port", silent.slavePath(), "--port",
                                 corrupt.slavePath(), "--port", hangup.slavePath(), "program",
                                 writeFile("fw.bin", image)});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    const std::vector<std::pair<std::string, std::string>> expected = {
        {good.slavePath(), "\"result\":\"success\""},
        {silent.slavePath(), "\"result\":\"timeout\""},
        {corrupt.slavePath(), "\"result\":\"timeout\""},
        {hangup.slavePath(), "\"result\":\"hang-up\""},
    };
    std::istringstream lines(run.out);
    std::string line;
    for (const auto& [port, result] : expected) {
        ASSERT_TRUE(std::getline(lines, line)) << run.out;
        EXPECT_TRUE(contains(line, "\"port\":\"" + port + "\"")) << line;
        EXPECT_TRUE(contains(line, result)) << line;
    }
    const auto flash = good.sim().flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    // The lost line is one message naming the device, not a time-out after it.
    std::istringstream err(run.err);
    std::size_t hangupLines = 0;
    while (std::getline(err, line)) {
        if (line.rfind("[" + hangup.slavePath() + "] ", 0) == 0) {
            ++hangupLines;
            EXPECT_TRUE(contains(line, "Device: " + hangup.slavePath())) << line;
        }
    }
    EXPECT_EQ(hangupLines, 1u) << run.err;
}

// Each run closes its port right after its last frame. That frame (CmdLeaveIsp) must reach
// the target every time, whole and at the rate the run ended on, or the board stays in ISP.
// Four targets side by side, 25 runs each: whole-chip and page erase, Program at 9600 and
// at 115200.
TEST_F(CliRun, EveryRunEndsWithLeaveIspAtItsOwnRate)
{
    const std::string image = writeFile("fw.bin", pattern(16));
    const std::vector<std::vector<std::string>> kinds = {
        {"erase"},
        {"erase", "--pages", "4:2"},
        {"program", image},
        {"--baud", "115200", "program", image},
    };
    std::vector<std::unique_ptr<SimHarness>> targets;
    for (std::size_t k = 0; k < kinds.size(); ++k)
        targets.push_back(std::make_unique<SimHarness>());
    std::vector<std::thread> loops;
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        loops.emplace_back([&, k] {
            SimHarness& target = *targets[k];
            std::vector<std::string> args = {"--quiet", "--port", target.slavePath()};
            args.insert(args.end(), kinds[k].begin(), kinds[k].end());
            for (int round = 0; round < 25; ++round) {
                const std::size_t before = target.programFrames().size();
                const ChildResult result = cli(args);
                const bool ended = target.waitUntil([&] {
                    const auto frames = target.programFrames();
                    return frames.size() > before && frames.back() == kLeaveIsp;
                }, std::chrono::seconds(5));
                const bool clean = target.sim().counters().noiseBytesIn == 0;
                EXPECT_EQ(result.exitCode, 0) << kinds[k].back() << " round " << round << ": " << result.err;
                EXPECT_TRUE(ended) << kinds[k].back() << " round " << round << " did not end with CmdLeaveIsp";
                EXPECT_TRUE(clean) << kinds[k].back() << " round " << round << " sent bytes at another rate";
                if (result.exitCode != 0 || !ended || !clean)
                    return;
            }
        });
    }
    for (std::thread& loop : loops)
        loop.join();
}

TEST_F(CliRun, CtrlCMidProgramEndsPromptlyWithLeaveIspOnTheWire)
{
    auto options = SimHarness::unpaced();
    options.pacing = true; // a 64 KiB image at 9600 takes minutes: plenty of time to interrupt
    SimHarness target(options);
    ChildProcess child(pw::test::binFolder() + "pagewise-cli",
                       {"--port", target.slavePath(), "program", writeFile("fw.bin", pattern(0x10000))});
    ASSERT_TRUE(target.waitUntil([&] { return target.programFrames().size() >= 20; }));
    const auto interrupted = std::chrono::steady_clock::now();
    child.signal(SIGINT);
    const ChildResult run = child.wait();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - interrupted).count();
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_LT(seconds, 3.0) << "the interrupted run took this long to end";
    ASSERT_TRUE(target.waitUntil([&] { return target.programFrames().back() == kLeaveIsp; }));
    EXPECT_FALSE(contains(run.out, "program elapsed time")) << run.out;
}

} // namespace
