#include "base/ChipTable.h"
#include "context/IspContext.h"
#include "gui/support/AppIcon.h"
#include "gui/DemoRun.h"
#include "gui/MainWindow.h"
#include "gui/support/GuiMessageBoxes.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <string>

namespace {

struct StartOptions {
    QString portDevice; // --port: COM<comPort> opens this device for this run, never saved
    QString demoImage;  // --demo-program: load and program this file once shown
    QString demoShot;   // --demo-shot: picture of the window after the demo run
};

// Qt's own options (-platform, -style, ...) have been taken out of the arguments by the
// window's application object already; what is left is ours. --help and --version print and
// exit here; they answer whatever else is on the line, without a display.
StartOptions parseOptions(const QCoreApplication& app, bool textOnly)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Flash programmer for the HZ41C120 boot loader."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Open DEVICE as the configured COM port for this run."),
                                  QStringLiteral("DEVICE"));
    const QCommandLineOption demo(QStringLiteral("demo-program"),
                                  QStringLiteral("Load FILE and press Program once the window is shown."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption shot(
        QStringLiteral("demo-shot"),
        QStringLiteral("With --demo-program: save the window to PNG and quit; boxes go to stderr."),
        QStringLiteral("PNG"));
    parser.addOptions({port, demo, shot});
    if (textOnly) {
        parser.parse(QCoreApplication::arguments());
        if (parser.isSet(QStringLiteral("version")))
            parser.showVersion();
        parser.showHelp();
    }
    parser.process(app);
    return {parser.value(port), parser.value(demo), parser.value(shot)};
}

bool asksOnlyForText(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help" || arg == "-v" || arg == "--version" || arg == "--help-all")
            return true;
    }
    return false;
}

void describeApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("pagewise"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(pw::kVersionText));
}

int runWindow(QApplication& app, const StartOptions& options)
{
    pw::GuiMessageBoxes boxes;
    pw::IspContext ctx(boxes);
    ctx.exeDir = pw::programFolder();
    pw::SettingsStore store;
    pw::loadSettings(ctx, store);
    ctx.chipType = 0;
    ctx.flashSize = pw::kChipFlashSizes[ctx.chipType];
    if (!options.portDevice.isEmpty())
        ctx.portMap.assignForThisRun(ctx.comPort, options.portDevice.toStdString());

    pw::MainWindow window(ctx, store);
    window.show();
    // Told once, over the window: the defaults are in use and a save will not reach the file.
    for (const std::string& problem : store.problems())
        QTimer::singleShot(0, &window, [&boxes, problem] { pw::showErrorBox(boxes, problem); });
    if (!options.demoImage.isEmpty()) {
        if (!options.demoShot.isEmpty())
            boxes.writeToStandardError(); // it quits by itself: nobody is there to click a box
        const QString image = options.demoImage;
        const QString shot = options.demoShot;
        QTimer::singleShot(0, &window, [&window, image, shot] { pw::startDemoProgram(window, image, shot); });
    }
    const int code = app.exec();
    return boxes.written() > 0 ? 1 : code; // a box in a run nobody watches is its failure
}

} // namespace

int main(int argc, char** argv)
{
    // --help and --version answer without a display.
    if (asksOnlyForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        describeApplication();
        parseOptions(app, true);
        return 0;
    }
    QApplication app(argc, argv);
    describeApplication();
    QApplication::setWindowIcon(pw::applicationIcon()); // every window and box takes it
    const StartOptions options = parseOptions(app, false);
    return runWindow(app, options);
}
