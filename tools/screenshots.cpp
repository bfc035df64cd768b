// Pictures of every window and state for docs/, on a real display (xvfb-run, with a window
// manager), against an in-process paced simulator: the main window idle, during Program and after Auto; the
// Configuration dialog while it checks; Page Erase with its base list open; Dump while it
// dumps; About; an error box; and the station window's setup, a line of four ports (one
// PASS, one FAIL, one programming, one waiting) and its stop box. Run by scripts/screenshot.sh, once at 1x and once with
// QT_SCALE_FACTOR=2.
//   pagewise-screenshots FOLDER SUFFIX     e.g. docs "" or docs "@2x"
#include "context/IspContext.h"
#include "gui/support/AppIcon.h"
#include "gui/MainWindow.h"
#include "gui/controls/BaseDropList.h"
#include "gui/controls/BusySpinner.h"
#include "gui/controls/HexSuffixEdit.h"
#include "gui/controls/wcHexButton.h"
#include "gui/dialogs/ConfigDialog.h"
#include "gui/dialogs/DumpDialog.h"
#include "gui/dialogs/PageEraseDialog.h"
#include "gui/panel/IspPanel.h"
#include "gui/station/PortTile.h"
#include "gui/station/StationSetupDialog.h"
#include "gui/station/StationWindow.h"
#include "gui/support/GuiMessageBoxes.h"
#include "settings/Settings.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>

namespace {

QString folder, suffix;

// Serves events until `done` holds or 60 s have passed.
bool serveUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void settle()
{
    QElapsedTimer clock;
    clock.start();
    serveUntil([&] { return clock.elapsed() > 300; });
}

// The screen where the widgets are, so popups over them are in the picture too.
void shoot(const QString& name, std::initializer_list<const QWidget*> widgets)
{
    // The window manager frames and maps a window a moment after it is shown.
    serveUntil([&] {
        return std::all_of(widgets.begin(), widgets.end(), [](const QWidget* widget) {
            return widget->windowHandle() && widget->windowHandle()->isExposed() && !widget->frameGeometry().isEmpty();
        });
    });
    settle();
    QRect area;
    for (const QWidget* widget : widgets)
        area |= widget->frameGeometry();
    const QPixmap picture =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString path = folder + "/" + name + suffix + ".png";
    std::printf("%s %s\n", picture.save(path) ? "wrote" : "could not write", qPrintable(path));
}

// Runs `act` on the next modal window of type D once it is on screen.
template <typename D>
void whenShown(std::function<void(D&)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget()); dialog && dialog->isVisible()) {
            poll->stop();
            poll->deleteLater();
            act(*dialog);
        }
    });
    poll->start(50);
}

// An Intel HEX file of `length` bytes of made-up code from address 0, 16 bytes a record.
bool writeHexImage(const std::string& path, int length)
{
    std::ofstream out(path);
    for (int address = 0; address < length; address += 16) {
        const int count = std::min(16, length - address);
        unsigned sum = static_cast<unsigned>(count + (address >> 8) + (address & 0xFF));
        char line[64];
        int at = std::snprintf(line, sizeof line, ":%02X%04X00", count, address);
        for (int k = 0; k < count; ++k) {
            const unsigned byte = static_cast<unsigned>(((address + k) * 37 + 11) & 0xFF);
            sum += byte;
            at += std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), "%02X", byte);
        }
        std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        out << line;
    }
    out << ":00000001FF\n";
    return static_cast<bool>(out);
}

// The station window on four simulated fixtures: a board that passes, a dead one, one that
// is being programmed (paced, slow) and one that never answers.
void shootStation(pw::GuiMessageBoxes& boxes, const pw::SettingsStore& store, const std::string& image)
{
    std::vector<std::unique_ptr<pw::sim::Simulator>> lines;
    pw::StationSetup setup;
    setup.image = image;
    setup.operation = pw::StationOperation::Program;
    setup.baud = 9600;
    for (int k = 0; k < 4; ++k) {
        pw::sim::SimOptions options;
        options.boards = 2;
        options.swapMinMs = options.swapMaxMs = 60000;
        options.pacing = k == 2;
        if (k == 1 || k == 3) {
            options.faults = {{pw::sim::Fault::Kind::SilentAfter, k == 1 ? 12u : 0u}};
            options.faultyBoard = 1;
        }
        lines.push_back(std::make_unique<pw::sim::Simulator>(options));
        if (!lines.back()->start())
            return;
        const QString device = QDir::homePath() + QStringLiteral("/ttySIM%1").arg(k + 1);
        QFile::remove(device);
        QFile::link(QString::fromStdString(lines.back()->slavePath()), device);
        setup.ports.push_back(device.toStdString());
    }
    {
        pw::StationSetupDialog dialog(setup, QDir::homePath() + "/line.ini", store, boxes);
        dialog.move(40, 40);
        dialog.show();
        shoot("station-setup", {&dialog});
    }
    pw::StationWindow window(store, boxes);
    window.setSetup(setup);
    window.resize(1280, 800);
    window.move(0, 0);
    window.show();
    window.start();
    serveUntil([&] {
        return window.tile(0)->word() == "PASS" && window.tile(1)->word() == "FAIL" &&
               window.tile(2)->state() == pw::PortTile::State::Running && window.tile(2)->detail().size() > 0;
    });
    settle();
    shoot("station-running", {&window});
    whenShown<QMessageBox>([&](QMessageBox& box) {
        shoot("station-stop-box", {&box});
        box.accept();
    });
    pw::StationStop stop{pw::StopReason::RecordNotKept, 7, "/media/line/records.jsonl", "No space left on device"};
    boxes.show("Pagewise", pw::stopText(setup.ports[0], stop).toStdString(), pw::BoxIcon::Stop);
    window.stop();
    window.stop();
    serveUntil([&] { return !window.running(); });
    for (int k = 1; k <= 4; ++k)
        QFile::remove(QDir::homePath() + QStringLiteral("/ttySIM%1").arg(k));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(pw::applicationIcon());
    if (argc < 3) {
        std::fprintf(stderr, "usage: pagewise-screenshots FOLDER SUFFIX\n");
        return 2;
    }
    folder = QString::fromLocal8Bit(argv[1]);
    suffix = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir work;
    pw::sim::Simulator target; // paced, so a run can be caught half-way
    if (!target.start())
        return 1;

    pw::GuiMessageBoxes boxes;
    pw::IspContext ctx(boxes);
    ctx.exeDir = work.path().toStdString() + "/";
    // The target under a name of its own: a pty's number differs from run to run.
    const QString device = QDir::homePath() + "/ttySIM0";
    QFile::remove(device);
    QFile::link(QString::fromStdString(target.slavePath()), device);
    ctx.portMap.assignForThisRun(ctx.comPort, device.toStdString());
    pw::SettingsStore store(work.filePath("user.conf").toStdString(), work.filePath("system.conf").toStdString());
    const std::string image = (QDir::homePath() + "/firmware/blinky.hex").toStdString();
    if (!writeHexImage(image, 0x900))
        return 1;

    pw::MainWindow window(ctx, store);
    window.move(40, 40);
    window.show();
    pw::IspPanel* panel = window.panel();
    panel->loadFile(QString::fromStdString(image));
    shoot("main-idle", {&window});

    auto* bar = panel->findChild<QProgressBar*>("progress");
    panel->OnProgram();
    serveUntil([&] { return bar->value() * 3 > bar->maximum(); });
    shoot("main-program", {&window});
    serveUntil([&] { return !panel->operationRunning(); });
    panel->OnAuto();
    serveUntil([&] { return !panel->operationRunning(); });
    shoot("main-auto", {&window});

    {
        pw::ConfigDialog config(ctx, store, &window);
        config.setCheckTick(std::chrono::milliseconds(400));
        config.move(80, 80);
        config.show();
        config.startAddressField()->lineEdit()->setText(QStringLiteral("9"));
        serveUntil([&] { return config.spinner()->isVisible(); });
        shoot("config-checking", {&config});
        config.reject();
    }
    {
        pw::PageEraseDialog pages(boxes, 4, 124, 128, &window);
        pages.move(80, 80);
        pages.show();
        settle();
        pages.fromField()->openDropList();
        shoot("page-erase-base-list", {&pages, pages.fromField()->dropList()});
        pages.reject();
    }
    whenShown<pw::DumpDialog>([&](pw::DumpDialog& dump) {
        dump.findChild<QLineEdit*>("pageCount")->setText(QStringLiteral("4"));
        dump.onExcute();
        auto* dumpBar = dump.findChild<QProgressBar*>("progress");
        serveUntil([&] { return dumpBar->value() * 4 > dumpBar->maximum(); });
        shoot("dump-running", {&dump});
        serveUntil([&] { return !dump.dumpRunning(); });
        dump.accept();
    });
    panel->setDumpAndExportShown(true);
    panel->OnDump();
    shoot("main-advanced", {&window});

    whenShown<QDialog>([&](QDialog& about) {
        shoot("about", {&about});
        about.reject();
    });
    window.showAbout();
    whenShown<QMessageBox>([&](QMessageBox& box) {
        shoot("error-box", {&box});
        box.accept();
    });
    boxes.show("Pagewise", "Wait COM port timeout, pls check MCU and COM port status!", pw::BoxIcon::Stop);
    const std::string lineImage = (QDir::homePath() + "/firmware/station.hex").toStdString();
    if (!writeHexImage(lineImage, 0x4000))
        return 1;
    shootStation(boxes, store, lineImage);
    return 0;
}
