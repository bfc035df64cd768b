// pagewise-station's window against simulated lines of boards: the same engine as the CLI's
// station, shown tile by tile, stopped by a person or by what must not go on.
#include "support/CliFixture.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"
#include "support/Tables.h"
#include "gui/station/PortTile.h"
#include "gui/station/StationSetupDialog.h"
#include "gui/station/StationWindow.h"
#include "line/StationProfile.h"

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

class StationWindowTest : public CliFixture {
protected:
    StationWindowTest() { ensureGuiApplication(); }

    StationSetup setupFor(const std::vector<const SimHarness*>& lines, std::size_t imageBytes = 0x400)
    {
        StationSetup setup;
        setup.image = write("fw.bin", std::string(imageBytes, '\x5A'));
        setup.operation = StationOperation::Program;
        setup.baud = 9600;
        setup.record = path("records.jsonl");
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

    std::vector<QJsonObject> records() const { return jsonLines(fileText(path("records.jsonl"))); }

    RecordingBoxes boxes;
    SettingsStore store;
};

// Two fixtures with three boards each, a dead board on the second: each tile ends as its last
// record says, and the counts above the tiles are the records'.
TEST_F(StationWindowTest, EachTileEndsAsItsRecordsSay)
{
    SimHarness first(boardLine(3, 200));
    SimHarness second(boardLine(3, 200, {{Kind::SilentAfter, 12}}, 2));
    StationWindow window(store, boxes);
    window.setSetup(setupFor({&first, &second}));
    runUntil(window, [&] { return window.historyRows() == 6; });

    const std::vector<QJsonObject> kept = records();
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
    sim::SimOptions paced = boardLine(3, 200);
    paced.pacing = true;
    SimHarness line(paced);
    StationWindow window(store, boxes);
    window.setSetup(setupFor({&line}, 0x800));
    QSignalSpy ended(&window, &StationWindow::lineEnded);
    window.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.tile(0)->state() == PortTile::State::Running; }, kWaitMs));
    for (int press = 0; press < GetParam().presses; ++press)
        window.stop();
    ASSERT_TRUE(ended.wait(kWaitMs));
    const std::vector<QJsonObject> kept = records();
    ASSERT_EQ(kept.size(), 1u); // no board after it
    EXPECT_EQ(kept.front()["result"].toString(), GetParam().result);
    EXPECT_EQ(window.tile(0)->word(), std::string(GetParam().result) == "success" ? "PASS" : "FAIL");
}

INSTANTIATE_TEST_SUITE_P(Presses, StationWindowStop,
                         testing::Values(StopRow{"once", 1, "success"}, StopRow{"twice", 2, "cancelled"}), rowName);

// A record that cannot be written stops the whole line with the stop box; no board after it.
TEST_F(StationWindowTest, ARecordThatCannotBeWrittenStopsTheLineWithTheBox)
{
    SimHarness first(boardLine(3, 200));
    SimHarness second(boardLine(3, 200));
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

TEST_F(StationWindowTest, AProfileWithABadKeyIsRefused)
{
    StationWindow window(store, boxes);
    const std::string profile = write("line.ini", "[station]\ncolour = green\n");
    EXPECT_FALSE(window.openProfile(QString::fromStdString(profile)));
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{profile + ":2: colour is no key of a station profile"});
    EXPECT_FALSE(window.running());
}

// The profile the setup saves runs in pagewise-cli station --profile, and its records are the
// window's: one format, whichever front end wrote them.
TEST_F(StationWindowTest, AProfileSavedByTheWindowRunsInTheCliWithTheSameRecords)
{
    const std::string link = path("fixture");
    SimHarness windowLine(boardLine(2, 200));
    pointLink(link, windowLine.slavePath());
    StationSetup setup = setupFor({});
    setup.ports = {link};
    StationSetupDialog dialog(setup, {}, store, boxes);
    const std::string profile = path("line.ini");
    ASSERT_TRUE(dialog.save(QString::fromStdString(profile))) << boxes.texts().front();

    StationWindow window(store, boxes);
    ASSERT_TRUE(window.openProfile(QString::fromStdString(profile)));
    runUntil(window, [&] { return window.historyRows() == 2; });
    const std::vector<QJsonObject> fromWindow = records();
    std::filesystem::remove(path("records.jsonl"));

    SimHarness cliLine(boardLine(2, 200));
    pointLink(link, cliLine.slavePath());
    ChildProcess station(cliProgram(), {"-q", "station", "--profile", profile});
    for (int board = 0; board < 2; ++board)
        ASSERT_TRUE(station.readLine(std::chrono::seconds(60)).starts_with("PASS")) << board;
    station.signal(SIGINT);
    ASSERT_EQ(station.wait().exitCode, 0);
    const std::vector<QJsonObject> fromCli = records();

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
