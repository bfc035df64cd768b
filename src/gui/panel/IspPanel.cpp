#include "gui/panel/IspPanel.h"

#include "gui/dialogs/DumpDialog.h"
#include "gui/dialogs/PageEraseDialog.h"
#include "image/ImageLoad.h"
#include "ops/LogExport.h"
#include "ops/EraseSteps.h"
#include "ops/Operations.h"
#include "gui/support/DialogUnits.h"
#include "gui/support/TextWidth.h"
#include "gui/support/GuiThreadSink.h"
#include "protocol/LinkControl.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace pw {

namespace {

constexpr int kPanelWidthDlu = 249;
constexpr int kPanelHeightDlu = 151;

QString startAddressText(std::uint32_t address)
{
    return QStringLiteral("ISP Start Address From :0x%1").arg(QString::number(address, 16).toUpper());
}

} // namespace

IspPanel::IspPanel(IspContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx), matcher_(ctx, MatcherVariant::Panel),
      sink_(std::make_unique<GuiThreadSink>(matcher_)), view_(this, viewHandlers()), runner_(ctx)
{
    buildControls();
    buildLayout();
    setFocusProxy(loadButton_); // a keyboard user starts where a mouse user would
    connect(&runner_, &GuiRunner::ended, this, &IspPanel::operationEnded);
    textViewer_ = openInDesktopViewer;

    ClosePort(ctx_);
    ctx_.portOwner = sink_.get();
    // A slow adapter is said in the log list; the view queues it from whichever thread opens.
    ctx_.port.setNotice([this](const std::string& text) { view_.appendLogLine(text); });
    takePort();
    ctx_.expectedReply = ResponseKind::Idle;

    setStartAddressLine(startAddressText(ctx_.ispStartAddr));
    QPointer<QLabel> label = startAddress_;
    ctx_.startAddrLabel = [label](const std::string& text) {
        const QString line = QString::fromStdString(text);
        QMetaObject::invokeMethod(label, [label, line] {
            if (label)
                label->setText(line);
        });
    };
}

IspPanel::~IspPanel()
{
    shutdown();
}

void IspPanel::shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    // No worker may outlive the panel's matcher, view and port.
    runner_.stopAndJoin();
    ctx_.startAddrLabel = nullptr;
    ctx_.port.setNotice({});
    ClosePort(ctx_);
    ctx_.portOpen = 0;
    if (ctx_.portOwner == sink_.get())
        ctx_.portOwner = nullptr;
}

void IspPanel::takePort()
{
    OpenLink(ctx_, *sink_, matcher_);
}

QPushButton* IspPanel::addButton(const char* text, const char* name, void (IspPanel::*handler)())
{
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
}

void IspPanel::buildControls()
{
    loadButton_ = addButton("Load Hex/Bin", "load", &IspPanel::OnLoad);
    autoButton_ = addButton("Auto.", "auto", &IspPanel::OnAuto);
    programButton_ = addButton("Program", "program", &IspPanel::OnProgram);
    verifyButton_ = addButton("Verify", "verify", &IspPanel::OnVerify);
    eraseButton_ = addButton("Erase", "erase", &IspPanel::OnErase);
    cancelButton_ = addButton("Cancel", "cancel", &IspPanel::OnCancelOperation);
    clearButton_ = addButton("Clear", "clear", &IspPanel::OnClear);
    dumpButton_ = addButton("Dump", "dump", &IspPanel::OnDump);
    exportButton_ = addButton("Export", "export", &IspPanel::OnExport);
    cancelButton_->setEnabled(false);
    dumpButton_->hide();
    exportButton_->hide();

    sizeEdit_ = new QLineEdit(this);
    sizeEdit_->setObjectName(QStringLiteral("size"));
    checksumEdit_ = new QLineEdit(this);
    checksumEdit_->setObjectName(QStringLiteral("checksum"));
    for (QLineEdit* shown : {sizeEdit_, checksumEdit_}) {
        shown->setReadOnly(true);
        // Figures to read, not fields to fill: on the window's face, as read-only fields are.
        QPalette face = shown->palette();
        face.setColor(QPalette::Base, face.color(QPalette::Window));
        shown->setPalette(face);
    }
    // Wide enough for a whole flash's figures from a HEX file, with Dump and Export shown.
    fitLongestText(*sizeEdit_, QStringLiteral("65536/184331"));
    fitLongestText(*checksumEdit_, QStringLiteral("FFFF/FFFF"));

    startAddress_ = new QLabel(QStringLiteral("0"), this);
    startAddress_->setObjectName(QStringLiteral("startAddress"));
    startAddress_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    log_ = new QListWidget(this);
    log_->setObjectName(QStringLiteral("log"));
    log_->setSortingEnabled(false);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Long paths widen the list's scrollable extent instead of being cut off.
    log_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progress"));
    bar_->setTextVisible(false);
    bar_->setValue(0);
}

void IspPanel::buildLayout()
{
    // Six columns of one width, the longest caption's with room around it; Dump, Export and
    // Clear sit under Verify, Erase and Cancel, and the fields take the columns left of them.
    const std::initializer_list<QPushButton*> operations = {loadButton_,   autoButton_,  programButton_,
                                                            verifyButton_, eraseButton_, cancelButton_};
    int width = 0;
    for (QPushButton* button : operations)
        width = std::max(width, button->sizeHint().width() + 2 * button->fontMetrics().averageCharWidth());
    rows_ = new QGridLayout;
    int column = 0;
    for (QPushButton* button : operations) {
        button->setMinimumWidth(width);
        rows_->setColumnStretch(column, 1);
        rows_->addWidget(button, 0, column++);
    }
    for (QPushButton* under : {dumpButton_, exportButton_, clearButton_})
        under->setMinimumWidth(width);
    imageFields_ = new QHBoxLayout;
    imageFields_->addWidget(new QLabel(QStringLiteral("Size: "), this));
    imageFields_->addWidget(sizeEdit_, 1);
    imageFields_->addWidget(new QLabel(QStringLiteral("Check Sum: "), this));
    imageFields_->addWidget(checksumEdit_, 1);
    rows_->addWidget(clearButton_, 1, 5);
    placeImageRow(false);

    auto* top = new QVBoxLayout(this);
    top->addLayout(rows_);
    top->addWidget(startAddress_);
    top->addWidget(log_, 1);
    top->addWidget(bar_);
    setMinimumSize(dialogUnitsToPixels(font(), kPanelWidthDlu, kPanelHeightDlu));
}

QueuedView::Handlers IspPanel::viewHandlers()
{
    // The controls do not exist yet; the handlers only run once an operation has started.
    QueuedView::Handlers handlers;
    handlers.appendLogLine = [this](const std::string& line) { AppendLogLine(line); };
    handlers.setProgressRange = [this](int low, int high) { bar_->setRange(low, high); };
    handlers.setProgressPosition = [this](int position) { bar_->setValue(position); };
    // Erases are not meant to be stopped half-way: Cancel stays disabled for them.
    handlers.setCancelEnabled = [this](bool enabled) { cancelButton_->setEnabled(enabled && cancellableRun_); };
    return handlers;
}

void IspPanel::setStartAddressLine(const QString& text)
{
    startAddress_->setText(text);
}

void IspPanel::AppendLogLine(const std::string& line)
{
    // The elapsed-time lines end in a line feed; the list shows the text without it and keeps
    // the line as logged for the export.
    QString shown = QString::fromStdString(line);
    while (shown.endsWith(QLatin1Char('\n')) || shown.endsWith(QLatin1Char('\r')))
        shown.chop(1);
    auto* item = new QListWidgetItem(shown);
    item->setData(Qt::UserRole, QString::fromStdString(line));
    log_->addItem(item);
    log_->scrollToBottom();
}

std::string IspPanel::logLine(int row) const
{
    return log_->item(row)->data(Qt::UserRole).toString().toStdString();
}

bool IspPanel::startWorker(std::function<void()> work, bool cancellable)
{
    if (!runner_.canStart() || !RetakeLink(ctx_, *sink_, matcher_))
        return false;
    cancellableRun_ = cancellable;
    matcher_.clearHead();
    return runner_.start(std::move(work));
}

void IspPanel::OnLoad()
{
    const QString path = QFileDialog::getOpenFileName(this, QString(), QStringLiteral("*.hex"),
                                                      QStringLiteral("hex(*.hex);;bin file (*.bin);;All Files (*)"));
    if (!path.isEmpty())
        loadFile(path);
}

void IspPanel::loadFile(const QString& path)
{
    loadFileLogged(path, "");
}

bool IspPanel::loadFileLogged(const QString& path, const std::string& logPrefix)
{
    sizeEdit_->clear();
    checksumEdit_->clear();
    const QFileInfo before(path);
    const LoadedImage loaded = loadImageFile(path.toStdString(), imagePath_, hexState_, ctx_.boxes);
    imagePath_ = loaded.imagePath;
    if (loaded.status != LoadStatus::NotImage)
        loaded_ = {path, before.size(), before.lastModified()};
    if (!loaded.logLine.empty())
        AppendLogLine(logPrefix + loaded.logLine);
    sizeEdit_->setText(QString::fromStdString(loaded.sizeText));
    checksumEdit_->setText(QString::fromStdString(loaded.checksumText));
    return loaded.status == LoadStatus::Loaded;
}

bool IspPanel::acceptsDroppedFile(const QString& path) const
{
    return isImageFileName(path.toStdString()) && !runner_.active();
}

bool IspPanel::imageUpToDate()
{
    if (loaded_.path.isEmpty() || !runner_.canStart())
        return true; // nothing loaded, or the click is ignored anyway
    const QFileInfo now(loaded_.path);
    if (now.size() == loaded_.size && now.lastModified() == loaded_.modified)
        return true;
    return loadFileLogged(loaded_.path, "Changed on disk, loaded again: ");
}

void IspPanel::OnProgram()
{
    if (imageUpToDate())
        startWorker([this, path = imagePath_] { ProgramThread(ctx_, view_, path); }, true);
}

void IspPanel::OnAuto()
{
    if (imageUpToDate())
        startWorker([this, path = imagePath_] { AutoThread(ctx_, view_, path); }, true);
}

void IspPanel::OnVerify()
{
    if (imagePath_.empty()) {
        showErrorBox(ctx_.boxes, "BIN file not found!");
        return;
    }
    if (imageUpToDate())
        startWorker([this, path = imagePath_] { VerifyThread(ctx_, view_, path); }, true);
}

void IspPanel::OnErase()
{
    if (!runner_.canStart())
        return; // no Page Erase dialog while an operation runs
    if (ctx_.ispStartAddr == 0) {
        startWorker([this] { EraseAllThread(ctx_, view_); }, false);
        return;
    }
    const PageRange proposed = pagesFromStart(ctx_.ispStartAddr, ctx_.flashSize);
    PageEraseDialog dialog(ctx_.boxes, proposed.first, proposed.count, ctx_.flashSize >> kPageShift, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    fromPage_ = dialog.fromPage();
    pageCount_ = dialog.pageCount();
    startWorker([this, from = fromPage_, count = pageCount_] { PageEraseThread(ctx_, view_, from, count); }, false);
}

void IspPanel::OnCancelOperation()
{
    runner_.cancel();
}

void IspPanel::OnClear()
{
    log_->clear();
}

void IspPanel::OnDump()
{
    // Handing the port over under a running operation would pull it away from the worker.
    if (!runner_.canStart(false))
        return;
    ClosePort(ctx_);
    ctx_.portOpen = 0;
    ctx_.pause(ctx_.timings.dumpHandOverPause);
    {
        DumpDialog dialog(ctx_, this);
        dialog.setTextViewer([this](const std::string& path) { return showTextFile(path); });
        dialog.exec();
    }
    ctx_.pause(ctx_.timings.dumpHandOverPause);
    takePort();
}

void IspPanel::OnExport()
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(log_->count()));
    for (int row = 0; row < log_->count(); ++row)
        lines.push_back(logLine(row));
    const LogExportResult result = exportLog(lines, ctx_.exeDir);
    if (!result.written) {
        ctx_.boxes.show(kAppCaption, kLogCreateFailedText, BoxIcon::Plain);
        AppendLogLine("Could not create " + result.path);
        return;
    }
    // The program's folder was not writable: tell the user where the log went instead.
    if (result.path != ctx_.exeDir + kLogFileName)
        AppendLogLine("Log saved to " + result.path);
    showTextFile(result.path);
}

// Where no viewer can show a file, the log says where it is, or the user would see nothing.
bool IspPanel::showTextFile(const std::string& path)
{
    if (!textViewer_(path))
        AppendLogLine("Written to " + path + " (no viewer could show it)");
    return true;
}

void IspPanel::setTextViewer(TextViewer viewer)
{
    textViewer_ = std::move(viewer);
}

void IspPanel::placeImageRow(bool dumpAndExport)
{
    rows_->removeItem(imageFields_);
    rows_->removeWidget(dumpButton_);
    rows_->removeWidget(exportButton_);
    rows_->addLayout(imageFields_, 1, 0, 1, dumpAndExport ? 3 : 5);
    if (dumpAndExport) {
        rows_->addWidget(dumpButton_, 1, 3);
        rows_->addWidget(exportButton_, 1, 4);
    }
    dumpButton_->setVisible(dumpAndExport);
    exportButton_->setVisible(dumpAndExport);
}

void IspPanel::setDumpAndExportShown(bool shown)
{
    placeImageRow(shown);
}

} // namespace pw
