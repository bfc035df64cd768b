// pagewise-cli as a user runs it: a child process against in-process simulated targets.
#include "support/CliFixture.h"
#include "support/EngineBench.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

namespace pw::test {
namespace {

using Kind = sim::Fault::Kind;

struct RunRow {
    const char* name;
    // "$port" for the target, "$image" for a 0x108-byte image ("$latin1" named so), "$pool" for a pool
    std::vector<std::string> args;
    std::vector<sim::Fault> faults;
    int exitCode;
    const char* out;            // a part of stdout
    const char* err;            // a part of stderr, "$port" for the target
    bool flashChanged = false;  // else nothing may be written
    bool framesSent = true;     // exit 3 sends nothing at all
    const char* pool = nullptr; // the pool file before the run, which it must not change
};
using pw::test::PrintTo;

const char* const kPoolHead = "{\"event\":\"pool\",\"start\":1,\"step\":1,\"v\":1}\n";
const std::string kSixteenZerosHex = ":10010000" + std::string(32, '0') + "EF\n:00000001FF\n";

class CliRun : public CliFixture, public ::testing::WithParamInterface<RunRow> {};

TEST_P(CliRun, ExitCodeTextsAndWire)
{
    const RunRow& row = GetParam();
    SimHarness target(SimHarness::withFaults(row.faults));
    std::vector<std::string> args;
    for (const std::string& arg : row.args) {
        const bool file = arg.ends_with(".hex") || arg.ends_with(".bin");
        args.push_back(arg == "$port"     ? target.slavePath()
                       : arg == "$image"  ? write("fw.bin", kImage)
                       : arg == "$latin1" ? write("caf\xe9.bin", kImage)
                       : arg == "$pool"   ? path("pool.jsonl")
                       : file             ? path(arg)
                                          : arg);
    }
    write("a.hex", kSixteenZerosHex);
    if (row.pool)
        write("pool.jsonl", row.pool);

    const ChildResult run = cli(args);

    EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
    EXPECT_TRUE(contains(run.out, row.out)) << run.out;
    std::string err = row.err;
    if (const auto at = err.find("$port"); at != std::string::npos)
        err.replace(at, 5, target.slavePath());
    EXPECT_TRUE(contains(run.err, err)) << run.err;
    EXPECT_FALSE(contains(run.err, "end...")) << "developer trace lines reached the user";
    const bool ranWhole = row.exitCode == 0 || row.exitCode == 5;
    EXPECT_EQ(contains(run.err, "progress 100%"), ranWhole && row.framesSent) << "only a whole run completes";
    if (row.exitCode == 5 && row.framesSent) {
        EXPECT_TRUE(std::filesystem::remove("Dump.txt")) << "the dump read was lost with its file";
    }
    const sim::FlashBytes flash = target.sim().flash();
    EXPECT_EQ(std::string(flash.begin(), flash.begin() + kImage.size()) == kImage, row.flashChanged);
    if (std::filesystem::exists(path("fw.bin"))) {
        EXPECT_EQ(fileText(path("fw.bin")), kImage) << "the image file was written to";
    }
    // Exit 5 of a single command comes after its run: what it was to keep could not be kept.
    const bool leaves = row.exitCode == 0 || row.exitCode == 1 || row.exitCode == 5;
    if (leaves && row.framesSent) {
        EXPECT_TRUE(target.waitForLastProgramFrame(kLeaveFrame));
    }
    if (row.pool) {
        EXPECT_TRUE(fileText(path("pool.jsonl")).starts_with(row.pool)) << "the pool was changed";
    }
    const std::vector<std::string> frames = target.programFrames();
    EXPECT_EQ(!frames.empty(), row.framesSent);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), kLeaveFrame), leaves && row.framesSent ? 1 : 0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Commands, CliRun, ::testing::Values(
    RunRow{"program", {"--port", "$port", "program", "$image"}, {}, 0, " program    success ", "progress 100%", true},
    RunRow{"verify_mismatch", {"--port", "$port", "verify", "$image"}, {}, 1, "", "Verified Failure at 0x0!!!"},
    RunRow{"silent_target", {"--port", "$port", "program", "$image"}, {{Kind::SilentAfter, 0}}, 2, "",
        "Wait COM port timeout, pls check MCU and COM port status!"},
    RunRow{"file_name_not_utf8", {"--port", "$port", "program", "$latin1"}, {}, 0, " program    success ", "", true},
    RunRow{"missing_device", {"--json", "--port", "/nonexistent/tty", "erase"}, {}, 4, "\"result\":\"port-error\"",
        "/nonexistent/tty not found", false, false},
    RunRow{"no_port_configured", {"--events", "erase"}, {}, 4, "\"result\":\"port-error\"", "no port configured", false,
        false},
    RunRow{"usb_serial_absent", {"--port", "usb:NO-SUCH", "erase"}, {}, 4, "", "usb:NO-SUCH matches no adapter", false,
        false},
    RunRow{"info", {"info", "a.hex"}, {}, 0, "Check Sum: 0000/FF00\n", "", false, false},
    RunRow{"bad_rate", {"--port", "$port", "--baud", "38400", "program", "$image"}, {}, 3, "", "--baud", false, false},
    RunRow{"missing_image", {"--json", "--port", "$port", "program", "missing.bin"}, {}, 3,
        "\"result\":\"image-error\"", "missing.bin", false, false},
    RunRow{"dump_past_the_end", {"--events", "--port", "$port", "dump", "127", "2"}, {}, 3, "\"event\":\"result\"",
        "cannot be dumped", false, false},
    RunRow{"port_is_the_image_file", {"--port", "$image", "program", "$image"}, {}, 4, "",
        "fw.bin not found (is not a serial device)", false, false},
    RunRow{"port_is_dev_null", {"--port", "/dev/null", "erase"}, {}, 4, "",
        "/dev/null not found (is not a serial device)", false, false},
    RunRow{"port_given_twice", {"--json", "--port", "$port", "--port", "$port", "erase"}, {}, 3,
        "\"result\":\"refused\"", "was given twice", false, false},
    RunRow{"dump_into_a_full_disk", {"--port", "$port", "dump", "0", "1", "-o", "/dev/full"}, {}, 5, "",
        "could not write the dump to /dev/full: No space left on device; it stays in Dump.txt"},
    RunRow{"dump_into_a_missing_folder", {"--port", "$port", "dump", "0", "1", "-o", "no/such/Dump.txt"}, {}, 3, "",
        "does not exist", false, false},
    // A station stops before its first frame when it cannot keep its records or reset its boards.
    RunRow{"station_record_not_opened", {"--events", "--port", "$port", "--record", "no/such/folder/r", "station",
        "program", "$image"}, {}, 5, "\"result\":\"record-error\"", "", false, false},
    RunRow{"station_reset_pulse_on_a_pty", {"--port", "$port", "--reset-pulse", "dtr:20", "station", "program",
        "$image"}, {}, 4, "", "cannot pulse DTR on $port", false, false},
    // A pool is made once and used only as it is: a typo never starts a second pool, and a
    // damaged one is never guessed at.
    RunRow{"pool_init_over_an_existing_one", {"serials", "init", "$pool", "--start", "5"}, {}, 3, "",
        "exists already; a pool is never overwritten", false, false, kPoolHead},
    RunRow{"pool_missing_is_not_made", {"--port", "/dev/null", "--serial", "0x900:u8", "--serial-pool", "$pool",
        "program", "$image"}, {}, 3, "", "does not exist; create it with: pagewise-cli serials init", false, false},
    RunRow{"pool_with_a_damaged_line", {"serials", "show", "$pool"}, {}, 5, "", "line 2 is damaged", false, false,
        "{\"event\":\"pool\",\"start\":1,\"step\":1}\nxx\n"},
    RunRow{"pool_outcome_without_its_reservation_is_never_issued", {"serials", "show", "$pool"}, {}, 0, "next: 2", "",
        false, false, "{\"event\":\"pool\",\"start\":1,\"step\":1}\n{\"event\":\"void\",\"serial\":1}\n"},
    RunRow{"pool_that_is_none", {"serials", "show", "$pool"}, {}, 5, "", "line 1 is damaged", false, false,
        "{\"event\":\"used\",\"serial\":1}\n"},
    RunRow{"serial_without_its_pool", {"--serial", "0x900:u8", "program", "$image"}, {}, 3, "",
        "--serial and --serial-pool go together", false, false},
    RunRow{"serial_format_that_is_none", {"--serial", "0x900:u24le", "--serial-pool", "$pool", "program", "$image"}, {},
        3, "", "--serial takes ADDR:FORMAT", false, false}
), rowName);
// clang-format on

using CliSession = CliFixture;

TEST_F(CliSession, DumpWritesTheRequestedPagesToTheNamedFile)
{
    SimHarness target;
    sim::FlashBytes flash;
    const std::vector<std::uint8_t> pattern = patternImage(flash.size());
    std::copy(pattern.begin(), pattern.end(), flash.begin());
    target.sim().setFlash(flash);
    const ChildResult run = cli({"--port", target.slavePath(), "dump", "1", "1", "--bin", "-o", path("page1.bin")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(fileText(path("page1.bin")), std::string(flash.begin() + 0x200, flash.begin() + 0x400));
}

// A pseudo-terminal is no device sysfs lists, yet the settings may map a port to it.
TEST_F(CliSession, PortsListsWhatTheSettingsMapBesideTheDevices)
{
    write("config/Corvane/Pagewise.conf", "[Ports]\nCOM3=/dev/pts/77\n");
    const ChildResult run = cli({"ports"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "/dev/pts/77  (COM3 in the settings)\n")) << run.out;
    EXPECT_TRUE(contains(cli({"ports", "--json"}).out, "{\"device\":\"/dev/pts/77\",\"settings_port\":\"COM3\"}\n"));
}

// A gang run with --events: every stdout line is one JSON object of schema 1 naming its port;
// per port the start comes first and the result last, phases pair up and progress only grows
// within one. Only the bad targets fail, and the exit code is the worst of them.
TEST_F(CliSession, GangRunEventsPerPortAndTheWorstExitCode)
{
    SimHarness good;
    SimHarness silent(SimHarness::withFaults({{Kind::SilentAfter, 3}}));
    SimHarness corrupt(SimHarness::withFaults({{Kind::Corrupt, 1}}));
    SimHarness hangup(SimHarness::withFaults({{Kind::HangupAfter, 4}}));
    const std::map<std::string, QString> results = {{good.slavePath(), "success"},
                                                    {silent.slavePath(), "timeout"},
                                                    {corrupt.slavePath(), "timeout"},
                                                    {hangup.slavePath(), "hang-up"}};
    const ChildResult run =
        cli({"--events", "--port", good.slavePath(), "--port", silent.slavePath(), "--port", corrupt.slavePath(),
             "--port", hangup.slavePath(), "auto", write("fw.bin", std::string(0x2000, '\x33'))});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    std::map<QString, QStringList> eventsOf;
    std::map<QString, QString> openPhase;
    std::map<QString, int> percent;
    for (const QJsonObject& event : jsonLines(run.out)) {
        ASSERT_EQ(event.value("v").toInt(), 1);
        const QString port = event.value("port").toString(), name = event.value("event").toString();
        eventsOf[port] << name;
        if (name == "phase-begin") {
            EXPECT_TRUE(openPhase[port].isEmpty()) << port.toStdString();
            openPhase[port] = event.value("phase").toString();
            percent[port] = 0;
        } else if (name == "phase-end") {
            EXPECT_EQ(event.value("phase").toString(), std::exchange(openPhase[port], {}));
        } else if (name == "progress") {
            EXPECT_EQ(event.value("phase").toString(), openPhase[port]);
            EXPECT_GT(event.value("percent").toInt(), std::exchange(percent[port], event.value("percent").toInt()));
            EXPECT_LE(percent[port], 100);
        } else if (name == "result") {
            EXPECT_EQ(event.value("result").toString(), results.at(port.toStdString())) << port.toStdString();
        }
    }
    ASSERT_EQ(eventsOf.size(), 4u) << run.out;
    for (const auto& [port, names] : eventsOf) {
        EXPECT_EQ(names.front(), "start") << port.toStdString();
        EXPECT_EQ(names.back(), "result") << port.toStdString();
        EXPECT_EQ(names.count("result"), 1) << port.toStdString();
    }
    EXPECT_EQ(eventsOf[QString::fromStdString(good.slavePath())].count("phase-end"), 3);
    EXPECT_EQ(good.sim().flash()[0x1FFF], 0x33);
    // The lost line is one message naming the device, not a time-out after it.
    std::istringstream err(run.err);
    int hangupLines = 0;
    for (std::string line; std::getline(err, line);)
        if (line.rfind("[" + hangup.slavePath() + "] ", 0) == 0)
            hangupLines += contains(line, "Device: " + hangup.slavePath()) ? 1 : 100;
    EXPECT_EQ(hangupLines, 1) << run.err;
}

TEST_F(CliSession, CtrlCMidProgramEndsPromptlyWithLeaveIspOnTheWire)
{
    SimHarness target(sim::SimOptions{}); // paced: a 64 KiB image at 9600 takes minutes
    ChildProcess child(cliProgram(),
                       {"--port", target.slavePath(), "program", write("fw.bin", std::string(0x10000, '\x5A'))});
    ASSERT_TRUE(target.waitUntil([&] { return target.programFrames().size() >= 20; }));
    const auto interrupted = std::chrono::steady_clock::now();
    child.signal(SIGINT);
    const ChildResult run = child.wait();
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(3));
    ASSERT_TRUE(target.waitForLastProgramFrame(kLeaveFrame));
    EXPECT_FALSE(contains(run.out, "program elapsed time")) << run.out;
    EXPECT_TRUE(contains(run.out, " program    cancelled ")) << run.out;
    EXPECT_FALSE(contains(run.err, "progress 100%")) << run.err;
}

} // namespace
} // namespace pw::test
