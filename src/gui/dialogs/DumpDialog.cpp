#include "gui/dialogs/DumpDialog.h"

#include "base/ChipTable.h"
#include "base/NumberText.h"
#include "gui/dialogs/EntryCheck.h"
#include "gui/support/TextWidth.h"
#include "ops/OperationTexts.h"
#include "ops/Operations.h"
#include "gui/support/GuiThreadSink.h"
#include "protocol/LinkControl.h"

#include <QButtonGroup>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

namespace pw {

bool openInDesktopViewer(const std::string& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

DumpDialog::DumpDialog(IspContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx), matcher_(ctx, MatcherVariant::Dump), sink_(std::make_unique<GuiThreadSink>(matcher_)),
      view_(this, viewHandlers()), runner_(ctx)
{
    setWindowTitle(QStringLiteral("Dialog"));
    buildControls();
    connectControls();
    showRange();
    textViewer_ = openInDesktopViewer;
    // Every reopen of a run (rate switch, base rate at its end) goes to the port's owner: while
    // the dialog holds the port, that is its own matcher.
    previousOwner_ = ctx_.portOwner.exchange(sink_.get());
    OpenLink(ctx_, *sink_, matcher_);
}

DumpDialog::~DumpDialog()
{
    runner_.stopAndJoin();
    ClosePort(ctx_);
    ctx_.portOpen = 0;
    ctx_.portOwner = previousOwner_;
}

void DumpDialog::setTextViewer(TextViewer viewer)
{
    textViewer_ = std::move(viewer);
}

QueuedView::Handlers DumpDialog::viewHandlers()
{
    // The controls do not exist yet; the handlers only run once a dump has started.
    QueuedView::Handlers handlers;
    handlers.setProgressRange = [this](int low, int high) { bar_->setRange(low, high); };
    handlers.setProgressPosition = [this](int position) { bar_->setValue(position); };
    handlers.setCancelEnabled = [this](bool enabled) { cancelButton_->setEnabled(enabled); };
    handlers.setProgressVisible = [this](bool visible) { bar_->setVisible(visible); };
    handlers.openTextViewer = [this](const std::string& path) { textViewer_(path); };
    return handlers;
}

namespace {

// A child widget with the name tests and style sheets find it by.
template <typename Widget, typename... Args>
Widget* namedChild(QWidget* parent, const char* name, Args&&... args)
{
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

void DumpDialog::buildControls()
{
    createControls();
    layOutControls();
    fixLayout();
}

void DumpDialog::createControls()
{
    fromEdit_ = namedChild<QLineEdit>(this, "fromPage", QStringLiteral("0"));
    countEdit_ = namedChild<QLineEdit>(this, "pageCount", QStringLiteral("1"));
    firstAddress_ = namedChild<QLabel>(this, "firstAddress");
    lastAddress_ = namedChild<QLabel>(this, "lastAddress");
    txtRadio_ = namedChild<QRadioButton>(this, "txtFile", QStringLiteral("Txt file"));
    binRadio_ = namedChild<QRadioButton>(this, "binFile", QStringLiteral("Bin file"));
    bar_ = namedChild<QProgressBar>(this, "progress");
    excuteButton_ = namedChild<QPushButton>(this, "excute", QStringLiteral("Excute"));
    cancelButton_ = namedChild<QPushButton>(this, "cancel", QStringLiteral("Cancel"));
    closeButton_ = namedChild<QPushButton>(this, "close", QStringLiteral("Close"));

    txtRadio_->setChecked(true);
    bar_->setTextVisible(false);
    bar_->hide();
    cancelButton_->setEnabled(false);
    // Enter in an edit presses Close, never Excute.
    excuteButton_->setAutoDefault(false);
    cancelButton_->setAutoDefault(false);
    closeButton_->setDefault(true);
}

void DumpDialog::layOutControls()
{
    auto* range = new QGridLayout;
    range->addWidget(new QLabel(QStringLiteral("From Page:"), this), 0, 0);
    range->addWidget(fromEdit_, 0, 1);
    range->addWidget(new QLabel(QStringLiteral("Byte :"), this), 0, 2);
    range->addWidget(firstAddress_, 0, 3);
    range->addWidget(new QLabel(QStringLiteral("Page Count:"), this), 1, 0);
    range->addWidget(countEdit_, 1, 1);
    range->addWidget(lastAddress_, 1, 3);
    range->setColumnStretch(3, 1);

    auto* typeBox = new QGroupBox(QStringLiteral("Dump File Type"), this);
    auto* typeLayout = new QHBoxLayout(typeBox);
    typeLayout->addWidget(txtRadio_);
    typeLayout->addWidget(binRadio_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(excuteButton_);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(closeButton_);

    auto* top = new QVBoxLayout(this);
    top->addLayout(range);
    top->addWidget(typeBox);
    top->addWidget(bar_);
    top->addLayout(buttons);
}

// One size for good: the fields hold any page number, the address labels the longest range
// (a page number far past the flash is shown as typed), and the bar keeps its place while
// hidden, so nothing moves when a dump starts or the numbers grow.
void DumpDialog::fixLayout()
{
    const QString longestNumber = QStringLiteral("FFFFFFFF");
    for (QLineEdit* field : {fromEdit_, countEdit_})
        field->setFixedWidth(lineEditWidthFor(*field, longestNumber));
    const QString longestAddress = QString::fromStdString(hexDecText(0x1FFFFFFFFFFull));
    for (QLabel* label : {firstAddress_, lastAddress_})
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(longestAddress));
    QSizePolicy keep = bar_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    bar_->setSizePolicy(keep);
    setFixedSize(sizeHint());
}

void DumpDialog::connectControls()
{
    connect(fromEdit_, &QLineEdit::textChanged, this, &DumpDialog::onFromPageEdited);
    connect(countEdit_, &QLineEdit::textChanged, this, &DumpDialog::onPageCountEdited);
    connect(txtRadio_, &QRadioButton::toggled, this, [this](bool on) { dumpAsText_ = on; });
    connect(excuteButton_, &QPushButton::clicked, this, &DumpDialog::onExcute);
    connect(cancelButton_, &QPushButton::clicked, this, &DumpDialog::onCancel);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(&runner_, &GuiRunner::ended, this, &DumpDialog::dumpEnded);
}

void DumpDialog::showRange()
{
    firstAddress_->setText(QString::fromStdString(hexDecText(std::uint64_t{fromPage_} * kPageSize)));
    lastAddress_->setText(QString::fromStdString(hexDecText((std::uint64_t{fromPage_} + pageCount_) * kPageSize - 1)));
}

void DumpDialog::onFromPageEdited(const QString& text)
{
    if (const auto value = readEntry(text.toStdString(), true))
        fromPage_ = *value;
    showRange();
}

void DumpDialog::onPageCountEdited(const QString& text)
{
    const auto value = readEntry(text.toStdString(), true);
    // An edit emptied while the user retypes the number holds no count yet: keep the old one.
    if (value && *value == 0) {
        showErrorBox(ctx_.boxes, kPageCountZeroText);
        countEdit_->setText(QString::fromStdString(entryText(pageCount_, true)));
    } else if (value) {
        pageCount_ = *value;
    }
    showRange();
}

void DumpDialog::onExcute()
{
    if (!runner_.canStart() || !RetakeLink(ctx_, *sink_, matcher_))
        return;
    matcher_.clearHead();
    DumpRequest request;
    request.fromPage = fromPage_;
    request.pageCount = pageCount_;
    request.asText = dumpAsText_;
    request.directory = QDir::currentPath().toStdString();
    runner_.start([this, request] { DumpWorker(ctx_, view_, request); });
}

void DumpDialog::onCancel()
{
    runner_.cancel();
}

void DumpDialog::done(int result)
{
    // The worker uses this dialog's controls and the port: it ends before the dialog does.
    runner_.stopAndJoin();
    QDialog::done(result);
}

} // namespace pw
