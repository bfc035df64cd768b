// The panel's event loop keeps running while a Program goes over a paced line at 115200:
// every received byte is handed to the GUI thread, so a slow hand-over would show as a
// stalled window. A 10 ms timer measures the longest gap between its ticks for the run.
//   bench_responsiveness [KiB]      (default: 64)
#include "gui/panel/IspPanel.h"
#include "support/RecordingBoxes.h"
#include "support/SimHarness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv)
{
    using namespace pw;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t kib = std::clamp(argc > 1 ? std::atoi(argv[1]) : 64, 1, 64);
    sim::SimOptions paced;
    paced.pacing = true;
    test::SimHarness sim(paced);
    test::RecordingBoxes boxes;
    IspContext ctx{boxes};
    QTemporaryDir dir;
    ctx.baudRate = 115200;
    sim.mapInto(ctx);
    ctx.exeDir = dir.path().toStdString() + "/";
    IspPanel panel(ctx, nullptr);

    std::vector<std::uint8_t> image(kib * 1024);
    for (std::size_t k = 0; k < image.size(); ++k)
        image[k] = static_cast<std::uint8_t>(k * 11 + (k >> 8));
    const QString path = dir.filePath("image.bin");
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    panel.loadFile(path);

    QElapsedTimer clock;
    qint64 lastTick = 0, longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    QEventLoop loop;
    QObject::connect(&panel, &IspPanel::operationEnded, &loop, &QEventLoop::quit);
    clock.start();
    ticker.start(10);
    panel.findChild<QPushButton*>("program")->click();
    loop.exec();
    ticker.stop();

    const sim::FlashBytes flash = sim.sim().flash();
    const bool programmed = std::equal(image.begin(), image.end(), flash.begin()) && boxes.texts().empty();
    std::printf("Program %zu KiB at 115200, paced: longest event-loop gap %lld ms over %.1f s%s\n", kib,
                static_cast<long long>(longestGap), static_cast<double>(clock.elapsed()) / 1000.0,
                programmed ? "" : " (the image was NOT programmed)");
    panel.shutdown();
    return programmed ? 0 : 1;
}
