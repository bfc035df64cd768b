// pagewise-station's window against simulated lines of boards: the same engine as the CLI's
// station, shown tile by tile, stopped by a person or by what must not go on.
#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/GuiTestApp.h"
#include "support/PgServer.h"
#include "support/RecordingBoxes.h"
#include "support/ScopedEnv.h"
#include "support/SimHarness.h"
#include "support/Tables.h"
#include "gui/station/PortTile.h"
#include "gui/station/StationSetupDialog.h"
#include "gui/station/StationWindow.h"
#include "line/StationProfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <sstream>

namespace pw::test {
namespace {

using Kind = sim::Fault::Kind;
constexpr int kWaitMs = 60000;

std::vector<QJsonObject> records(const std::string& path)
{
    std::vector<QJsonObject> objects;
    std::istringstream lines(fileText(path));
    for (std::string line; std::getline(lines, line);)
        objects.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
    return objects;
}

sim::SimOptions boards(std::uint32_t count, std::vector<sim::Fault> faults = {}, std::uint32_t faulty = 0,
                       bool paced = false)
{
    sim::SimOptions options = SimHarness::withFaults(std::move(faults));
    options.pacing = paced;
    options.boards = count;
    options.swapMinMs = options.swapMaxMs = 200;
    options.faultyBoard = faulty;
    return options;
}

class StationWindowTest : public testing::Test {
protected:
    StationWindowTest() { ensureGuiApplication(); }

    StationSetup setupFor(const std::vector<const SimHarness*>& lines, std::size_t imageBytes = 0x400)
    {
        StationSetup setup;
        setup.image = writeFile(dir.file("fw.bin"), std::string(imageBytes, '\x5A'));
        setup.operation = StationOperation::Program;
        setup.baud = 9600;
        setup.record = dir.file("records.jsonl");
        for (const SimHarness* line : lines)
            setup.ports.push_back(line->slavePath());
        return setup;
    }
    // Starts the window's line and waits until `done`, then stops it and waits for its end.
    void runUntil(StationWindow& window, const std::function<bool()>& done)
    {
        QSignalSpy ended(&window, &StationWindow::lineEnded);
        window.start();
        ASSERT_TRUE(window.running()) << (boxes.texts().empty() ? "" : boxes.texts().front());
        ASSERT_TRUE(QTest::qWaitFor(done, kWaitMs));
        window.stop();
        ASSERT_TRUE(ended.wait(kWaitMs));
    }

    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    RecordingBoxes boxes;
    SettingsStore store;
};

// Two fixtures with three boards each, a dead board on the second: each tile ends as its last
// record says, and the counts above the tiles are the records'.
TEST_F(StationWindowTest, EachTileEndsAsItsRecordsSay)
{
    SimHarness first(boards(3));
    SimHarness second(boards(3, {{Kind::SilentAfter, 12}}, 2));
    StationWindow window(store, boxes);
    window.setSetup(setupFor({&first, &second}));
    runUntil(window, [&] { return window.historyRows() == 6; });

    const std::vector<QJsonObject> kept = records(dir.file("records.jsonl"));
    ASSERT_EQ(kept.size(), 6u);
    int passed = 0;
    for (std::size_t slot = 0; slot < 2; ++slot) {
        const std::string port = slot == 0 ? first.slavePath() : second.slavePath();
        std::vector<QJsonObject> mine;
        for (const QJsonObject& record : kept)
            if (record["port"].toString().toStdString() == port)
                mine.push_back(record);
        ASSERT_EQ(mine.size(), 3u) << port;
        for (const QJsonObject& record : mine)
            passed += record["result"] == "success";
        const bool lastPassed = mine.back()["result"] == "success";
        EXPECT_EQ(window.tile(slot)->word(), lastPassed ? "PASS" : "FAIL") << port;
        EXPECT_TRUE(window.tile(slot)->verdict().startsWith(QStringLiteral("board 3"))) << port;
    }
    EXPECT_EQ(passed, 5);
    EXPECT_TRUE(window.totalsText().startsWith(QStringLiteral("Passed 5    Failed 1    Yield 83.3 %")))
        << window.totalsText().toStdString();
    const auto failed =
        std::find_if(kept.begin(), kept.end(), [](const QJsonObject& r) { return r["result"] != "success"; });
    EXPECT_EQ((*failed)["board"].toInt(), 2);
    EXPECT_EQ((*failed)["port"].toString().toStdString(), second.slavePath());
    EXPECT_TRUE(boxes.texts().empty());
}

struct StopRow {
    const char* name;
    int presses;
    const char* result; // of the board on the fixture
};

class StationWindowStop : public StationWindowTest, public testing::WithParamInterface<StopRow> {};

// Stop ends the line after the board on the fixture; pressed again, that board is cancelled.
TEST_P(StationWindowStop, EndsAfterTheBoardOrCancelsIt)
{
    SimHarness line(boards(3, {}, 0, true));
    StationWindow window(store, boxes);
    window.setSetup(setupFor({&line}, 0x800));
    QSignalSpy ended(&window, &StationWindow::lineEnded);
    window.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.tile(0)->state() == PortTile::State::Running; }, kWaitMs));
    for (int press = 0; press < GetParam().presses; ++press)
        window.stop();
    ASSERT_TRUE(ended.wait(kWaitMs));
    const std::vector<QJsonObject> kept = records(dir.file("records.jsonl"));
    ASSERT_EQ(kept.size(), 1u); // no board after it
    EXPECT_EQ(kept.front()["result"].toString(), GetParam().result);
    EXPECT_EQ(window.tile(0)->word(), std::string(GetParam().result) == "success" ? "PASS" : "FAIL");
}

INSTANTIATE_TEST_SUITE_P(Presses, StationWindowStop,
                         testing::Values(StopRow{"once", 1, "success"}, StopRow{"twice", 2, "cancelled"}), rowName);

// A record that cannot be written stops the whole line with the stop box; no board after it.
TEST_F(StationWindowTest, ARecordThatCannotBeWrittenStopsTheLineWithTheBox)
{
    SimHarness first(boards(3));
    SimHarness second(boards(3));
    StationWindow window(store, boxes);
    StationSetup setup = setupFor({&first, &second});
    setup.record = "/dev/full";
    window.setSetup(setup);
    QSignalSpy ended(&window, &StationWindow::lineEnded);
    window.start();
    ASSERT_TRUE(ended.wait(kWaitMs));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes().front().icon, BoxIcon::Stop);
    const std::string text = boxes.texts().front();
    EXPECT_NE(text.find("could not be written to /dev/full"), std::string::npos) << text;
    EXPECT_NE(text.find("Nothing more is programmed"), std::string::npos) << text;
    EXPECT_LE(window.historyRows(), 2); // the boards on the fixtures, no more
    const bool oneStopped =
        window.tile(0)->state() == PortTile::State::Stopped || window.tile(1)->state() == PortTile::State::Stopped;
    EXPECT_TRUE(oneStopped);
}

// The line's database stopped after the first board's record: the next board is not
// touched, and the stop box names it, the server and what to do.
TEST_F(StationWindowTest, ADatabaseThatGoesAwayStopsTheLineWithTheBox)
{
    PgServer server;
    ASSERT_EQ(server.problem(), "");
    ASSERT_NO_FATAL_FAILURE(server.setUpTables());
    sim::SimOptions options = boards(3);
    options.swapMinMs = options.swapMaxMs = 1500; // the server is down before the next board comes
    SimHarness line(options);
    StationWindow window(store, boxes);
    StationSetup setup = setupFor({&line});
    setup.record = "db:l";
    setup.database = server.conninfo();
    window.setSetup(setup);
    QSignalSpy ended(&window, &StationWindow::lineEnded);
    window.start();
    ASSERT_TRUE(window.running()) << (boxes.texts().empty() ? "" : boxes.texts().front());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.historyRows() == 1; }, kWaitMs));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server.query("SELECT count(*) FROM pagewise.record") == "1\n"; }, kWaitMs));
    const std::size_t framesBefore = line.programFrames().size();
    server.stopImmediately();
    ASSERT_TRUE(ended.wait(kWaitMs));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes().front().icon, BoxIcon::Stop);
    const std::string text = boxes.texts().front();
    for (const std::string& part :
         {std::string("The record of board 2 on "), "database line on " + server.socketFolder(),
          std::string("Bring the database back")})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
    const std::vector<std::string> frames = line.programFrames();
    EXPECT_TRUE(std::none_of(frames.begin() + static_cast<std::ptrdiff_t>(framesBefore), frames.end(),
                             [](const std::string& frame) { return frame.starts_with("0F 09 "); }));
}

TEST_F(StationWindowTest, AProfileWithABadKeyIsRefused)
{
    StationWindow window(store, boxes);
    const std::string path = writeFile(dir.file("line.ini"), "[station]\ncolour = green\n");
    EXPECT_FALSE(window.openProfile(QString::fromStdString(path)));
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{path + ":2: colour is no key of a station profile"});
    EXPECT_FALSE(window.running());
}

// The profile the setup saves runs in pagewise-cli station --profile, and its records are the
// window's: one format, whichever front end wrote them.
TEST_F(StationWindowTest, AProfileSavedByTheWindowRunsInTheCliWithTheSameRecords)
{
    const std::string link = dir.file("fixture");
    SimHarness windowLine(boards(2));
    std::filesystem::create_symlink(windowLine.slavePath(), link);
    StationSetup setup = setupFor({});
    setup.ports = {link};
    StationSetupDialog dialog(setup, {}, store, boxes);
    const std::string profile = dir.file("line.ini");
    ASSERT_TRUE(dialog.save(QString::fromStdString(profile))) << boxes.texts().front();

    StationWindow window(store, boxes);
    ASSERT_TRUE(window.openProfile(QString::fromStdString(profile)));
    runUntil(window, [&] { return window.historyRows() == 2; });
    const std::vector<QJsonObject> fromWindow = records(dir.file("records.jsonl"));
    std::filesystem::remove(dir.file("records.jsonl"));

    SimHarness cliLine(boards(2));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(cliLine.slavePath(), link);
    ChildProcess cli(binFolder() + "pagewise-cli", {"-q", "station", "--profile", profile});
    for (int board = 0; board < 2; ++board)
        ASSERT_TRUE(cli.readLine(std::chrono::seconds(60)).starts_with("PASS")) << board;
    cli.signal(SIGINT);
    ASSERT_EQ(cli.wait().exitCode, 0);
    const std::vector<QJsonObject> fromCli = records(dir.file("records.jsonl"));

    ASSERT_EQ(fromWindow.size(), 2u);
    ASSERT_EQ(fromCli.size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        QJsonObject a = fromWindow[k];
        QJsonObject b = fromCli[k];
        for (const char* varies : {"time", "start_id", "record_id", "seconds", "phases"}) {
            EXPECT_TRUE(a.contains(varies) && b.contains(varies)) << varies;
            a.remove(varies);
            b.remove(varies);
        }
        EXPECT_EQ(a, b) << QJsonDocument(a).toJson().toStdString() << QJsonDocument(b).toJson().toStdString();
    }
}

} // namespace
} // namespace pw::test
