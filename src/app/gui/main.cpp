#include "app/context/ChipTable.h"
#include "app/context/IspContext.h"
#include "app/gui/DemoRun.h"
#include "app/gui/MainWindow.h"
#include "app/gui/support/GuiMessageBoxes.h"
#include "app/settings/Settings.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct StartOptions {
    std::string portDevice;  // --port: COM<comPort> opens this device for this run
    std::string demoImage;   // --demo-program: load and program this file once shown
    std::string demoShot;    // --demo-shot: picture of the window after the demo run
    bool version = false;
    bool help = false;
    bool bad = false;
};

StartOptions parseOptions(int argc, char** argv)
{
    StartOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(arg, "--version") == 0)
            options.version = true;
        else if (std::strcmp(arg, "--help") == 0)
            options.help = true;
        else if (std::strcmp(arg, "--port") == 0 && hasValue)
            options.portDevice = argv[++i];
        else if (std::strcmp(arg, "--demo-program") == 0 && hasValue)
            options.demoImage = argv[++i];
        else if (std::strcmp(arg, "--demo-shot") == 0 && hasValue)
            options.demoShot = argv[++i];
        else if (std::strncmp(arg, "-platform", 9) != 0 && std::strcmp(arg, "-style") != 0)
            options.bad = true;
    }
    return options;
}

void printHelp()
{
    std::puts("Usage: pagewise [--port DEVICE]\n"
              "  --port DEVICE          open DEVICE as the configured COM port for this run\n"
              "  --version              print the version and exit\n"
              "  --demo-program FILE    load FILE and press Program once the window is shown\n"
              "  --demo-shot PNG        with --demo-program: save the window to PNG and quit");
}

int runWindow(int argc, char** argv, const StartOptions& options)
{
    QApplication app(argc, argv);
    pw::GuiMessageBoxes boxes;
    pw::IspContext ctx(boxes);
    ctx.exeDir = pw::programFolder();
    pw::SettingsStore store;
    pw::loadSettings(ctx, store);
    ctx.chipType = 0;
    ctx.flashSize = pw::kChipFlashSizes[ctx.chipType];
    if (!options.portDevice.empty())
        ctx.portMap.assign(ctx.comPort, options.portDevice); // not saved

    pw::MainWindow window(ctx, store);
    window.show();
    if (!options.demoImage.empty()) {
        const QString image = QString::fromStdString(options.demoImage);
        const QString shot = QString::fromStdString(options.demoShot);
        QTimer::singleShot(0, &window, [&window, image, shot] { pw::startDemoProgram(window, image, shot); });
    }
    app.exec();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // --version and --help answer before any display is needed.
    const StartOptions options = parseOptions(argc, argv);
    if (options.version) {
        std::puts("1.04");
        return 0;
    }
    if (options.help || options.bad) {
        printHelp();
        return options.bad ? 2 : 0;
    }
    return runWindow(argc, argv, options);
}
