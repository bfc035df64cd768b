// The panel's event loop keeps running while a Program goes over a paced line: every received
// byte is handed to the GUI thread, so a slow hand-over would show as a stalled window. A 10 ms
// timer measures the longest gap between its ticks for the whole run.
//   PW_RESPONSIVENESS_KIB=64 runs the full-size image (default 8 KiB keeps the suite quick).
#include "gui/panel/IspPanel.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"
#include "support/SimHarness.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace pw {
namespace {

using namespace std::chrono_literals;

constexpr int kRunTimeoutMs = 600000;
// Generous for loaded and sanitizer builds; the strict figure is printed and kept in the README.
constexpr qint64 kStallBoundMs = 250;

std::size_t imageKiB()
{
    const char* text = std::getenv("PW_RESPONSIVENESS_KIB");
    const long kib = text ? std::strtol(text, nullptr, 10) : 8;
    return static_cast<std::size_t>(std::clamp(kib, 1L, 64L));
}

sim::SimOptions pacedLine()
{
    sim::SimOptions options;
    options.pacing = true;
    return options;
}

TEST(Responsiveness, EventLoopKeepsTickingDuringPacedProgram)
{
    test::ensureGuiApplication();
    test::SimHarness sim(pacedLine());
    ASSERT_TRUE(sim.started());
    test::RecordingBoxes boxes;
    IspContext ctx{boxes};
    QTemporaryDir dir;
    ctx.baudRate = 115200;
    sim.mapInto(ctx);
    ctx.exeDir = dir.path().toStdString() + "/";
    IspPanel panel(ctx, nullptr);

    std::vector<std::uint8_t> image(imageKiB() * 1024);
    for (std::size_t k = 0; k < image.size(); ++k)
        image[k] = static_cast<std::uint8_t>(k * 11 + (k >> 8));
    const QString path = dir.filePath("image.bin");
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    panel.loadFile(path);

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    QSignalSpy ended(&panel, &IspPanel::operationEnded);
    clock.start();
    ticker.start(10);
    QTest::mouseClick(panel.findChild<QPushButton*>("program"), Qt::LeftButton);
    ASSERT_TRUE(ended.wait(kRunTimeoutMs));
    ticker.stop();

    const sim::FlashBytes flash = sim.sim().flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin())) << "the run did not program the image";
    EXPECT_TRUE(boxes.texts().empty());
    std::printf("Program %zu KiB at 115200, paced: longest event-loop gap %lld ms over %.1f s\n", imageKiB(),
                static_cast<long long>(longestGap), static_cast<double>(clock.elapsed()) / 1000.0);
    EXPECT_LT(longestGap, kStallBoundMs);
    panel.shutdown();
}

} // namespace
} // namespace pw
