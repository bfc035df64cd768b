#include "gui/dialogs/ConfigDialog.h"

#include "base/ChipTable.h"
#include "gui/controls/BusySpinner.h"
#include "gui/controls/HexSuffixEdit.h"
#include "base/NumberText.h"
#include "gui/dialogs/EntryCheck.h"
#include "gui/support/DialogUnits.h"
#include "protocol/LinkControl.h"
#include "serial/PortMap.h"
#include "serial/SerialDevices.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QHash>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "base/OperatingRates.h"

#include <cctype>
#include <cstring>

namespace pw {

namespace {

constexpr int kListWidthDlu = 96; // the lists' width in the dialog's template

constexpr const char* kNotDigit = "Address Error! Address number must be digital number";
constexpr const char* kBusyText =
    "An operation is running. Press OK again when it has ended; nothing has been changed yet.";

std::string alignmentMessage()
{
    return QString::asprintf("ISP Start Address must be multiple of 0x%X !", kBlockSize).toStdString();
}

std::string outOfRangeMessage(std::uint32_t flashSize)
{
    return QString::asprintf("Out of range! Page number must be <= 0x%X", flashSize).toStdString();
}

// The list shows the rates fastest first.
std::uint32_t rateAt(int index)
{
    return kOperatingRates[kOperatingRates.size() - 1 - static_cast<std::size_t>(index)];
}

int rateIndex(std::uint32_t rate)
{
    for (int i = 0; i < static_cast<int>(kOperatingRates.size()); ++i)
        if (rateAt(i) == rate)
            return i;
    return -1;
}

QStringList rateNames()
{
    QStringList names;
    for (int i = 0; i < static_cast<int>(kOperatingRates.size()); ++i)
        names << QString::number(rateAt(i));
    return names;
}

int parityIndex(char parity)
{
    const char* letters = "NOEMS";
    const char* at = parity ? std::strchr(letters, std::toupper(static_cast<unsigned char>(parity))) : nullptr;
    return at ? static_cast<int>(at - letters) : -1;
}

QComboBox* makeList(QWidget* parent, const QStringList& entries, int selected, bool enabled)
{
    auto* list = new QComboBox(parent);
    list->addItems(entries);
    list->setCurrentIndex(selected);
    list->setEnabled(enabled);
    return list;
}

} // namespace

QString portEntryText(std::uint32_t portNumber, const std::string& device)
{
    return QStringLiteral("COM%1 (%2)").arg(portNumber).arg(QString::fromStdString(device));
}

ConfigDialog::ConfigDialog(IspContext& ctx, SettingsStore& store, QWidget* parent)
    : QDialog(parent), ctx_(ctx), store_(store), guiContext_(new QObject(this))
{
    setWindowTitle(QStringLiteral("Configuration"));
    buildControls();
    note_->setText(QStringLiteral("P.S. Address should be multiple of 0x800"));
    writeAppliedStartAddress();
    // Connected after the first write: the dialog opens idle, with no check pending.
    connect(startField_, &HexSuffixEdit::textChanged, this, &ConfigDialog::onStartAddressChanged);
}

ConfigDialog::~ConfigDialog()
{
    stopChecker();
}

void ConfigDialog::fillLists()
{
    QStringList ports;
    for (std::uint32_t n = 1; n <= kLastComPort; ++n)
        ports << portEntryText(n, ctx_.portMap.deviceFor(n));
    portList_ = makeList(this, ports, static_cast<int>(ctx_.comPort.load()) - 1, true);
    QStringList devices;
    for (const std::string& device : listSerialDevices())
        devices << QString::fromStdString(device);
    deviceList_ = makeList(this, devices, -1, true);
    deviceList_->setEditable(true);
    deviceList_->setInsertPolicy(QComboBox::NoInsert);
    describeDevices();
    onPortChosen(portList_->currentIndex());
    connect(portList_, &QComboBox::currentIndexChanged, this, &ConfigDialog::onPortChosen);
    rateList_ = makeList(this, rateNames(), rateIndex(ctx_.baudRate.load()), true);
    parityList_ = makeList(this, {"NONE", "ODD", "EVEN", "MARK", "SPACE"}, parityIndex(ctx_.parity), false);
    const int dataIndex = ctx_.dataBits >= 6 && ctx_.dataBits <= 8 ? static_cast<int>(8 - ctx_.dataBits) : -1;
    dataBitsList_ = makeList(this, {"8", "7", "6"}, dataIndex, false);
    const int stopIndex = ctx_.stopBits == 1 ? 0 : ctx_.stopBits == 2 ? 2 : -1;
    stopBitsList_ = makeList(this, {"1", "1.5", "2"}, stopIndex, false);
    fitListsToTemplate();
}

// Every list as wide as the dialog's own template makes it, whatever the device paths: a
// long path is shortened in its middle, where by-id names differ least, and shown whole in
// the entry's tooltip.
void ConfigDialog::fitListsToTemplate()
{
    const int width = dialogUnitsToPixels(font(), kListWidthDlu, 0).width();
    for (QComboBox* list : {portList_, deviceList_, rateList_, parityList_, dataBitsList_, stopBitsList_}) {
        list->setFixedWidth(width);
        list->view()->setTextElideMode(Qt::ElideMiddle);
    }
    QStyleOptionComboBox option;
    option.initFrom(portList_);
    option.rect = QRect(0, 0, width, portList_->sizeHint().height());
    const int room = portList_->style()
                         ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, portList_)
                         .width() -
                     portList_->fontMetrics().averageCharWidth();
    for (int i = 0; i < portList_->count(); ++i) {
        const QString whole = portList_->itemText(i);
        const QString shown = portList_->fontMetrics().elidedText(whole, Qt::ElideMiddle, room);
        portList_->setItemText(i, shown);
        if (shown != whole)
            portList_->setItemData(i, whole, Qt::ToolTipRole);
    }
    const auto showWhole = [this](int index) {
        portList_->setToolTip(portList_->itemData(index, Qt::ToolTipRole).toString());
    };
    showWhole(portList_->currentIndex());
    connect(portList_, &QComboBox::currentIndexChanged, this, showWhole);
}

// What sysfs tells of each device (adapter, USB ids and serial, driver) as its tooltip, and
// of the chosen one as the list's own.
void ConfigDialog::describeDevices()
{
    QHash<QString, QString> descriptions;
    for (const SerialDeviceInfo& info : describeSerialDevices()) {
        const QString text = QString::fromStdString(deviceDescription(info));
        descriptions.insert(QString::fromStdString(info.node), text);
        if (!info.byId.empty())
            descriptions.insert(QString::fromStdString(info.byId), text);
    }
    for (int i = 0; i < deviceList_->count(); ++i)
        deviceList_->setItemData(i, descriptions.value(deviceList_->itemText(i)), Qt::ToolTipRole);
    // The field may be too narrow for the whole path: the tooltip gives it, and what sysfs says.
    const auto showChosen = [this, descriptions](const QString& device) {
        const QString about = descriptions.value(device);
        deviceList_->setToolTip(about.isEmpty() ? device : device + QLatin1Char('\n') + about);
        deviceList_->lineEdit()->setCursorPosition(0);
    };
    showChosen(deviceList_->currentText());
    connect(deviceList_, &QComboBox::currentTextChanged, this, showChosen);
}

void ConfigDialog::buildControls()
{
    fillLists();
    startField_ = new HexSuffixEdit(this);
    spinner_ = new BusySpinner(dialogUnitsToPixels(font(), 8, 7), this);
    QSizePolicy keepPlace = spinner_->sizePolicy(); // the row does not shift when it shows
    keepPlace.setRetainSizeWhenHidden(true);
    spinner_->setSizePolicy(keepPlace);
    spinner_->hide();
    note_ = new QLabel(this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &ConfigDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &ConfigDialog::reject);

    auto* grid = new QGridLayout(this);
    // The device a COM number opens has a row of its own, wide enough for a by-id path.
    const std::pair<const char*, QWidget*> rows[] = {{"COMport:", portList_},      {"Device:", deviceList_},
                                                     {"BaudRate:", rateList_},     {"Parity:", parityList_},
                                                     {"Databits:", dataBitsList_}, {"Stopbits:", stopBitsList_}};
    int row = 0;
    for (const auto& [label, widget] : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        grid->addWidget(widget, row++, 1, 1, 2);
    }
    auto* address = new QHBoxLayout;
    address->addWidget(startField_);
    address->addWidget(new QLabel(QStringLiteral("h"), this));
    address->addWidget(spinner_);
    address->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("ISP Start Arresss :"), this), row, 0);
    grid->addLayout(address, row++, 1, 1, 2);
    grid->addWidget(note_, row++, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    grid->addLayout(buttons, row, 0, 1, 3);
}

void ConfigDialog::onPortChosen(int index)
{
    if (index >= 0)
        deviceList_->setEditText(QString::fromStdString(ctx_.portMap.deviceFor(static_cast<std::uint32_t>(index) + 1)));
}

void ConfigDialog::writeAppliedStartAddress()
{
    startField_->setText(QString::fromStdString(hexText(ctx_.ispStartAddr.load() / 0x100)));
}

std::optional<std::string> ConfigDialog::startAddressRefusal(const std::string& upper) const
{
    return entryRefusal(CheckHexEntry(upper, fieldLimit()), kNotDigit, outOfRangeMessage(ctx_.flashSize));
}

void ConfigDialog::onStartAddressChanged(const QString& text)
{
    checkCountdown_ = kCheckTicks;
    const std::string upper = text.toUpper().toStdString();
    if (const auto refusal = startAddressRefusal(upper)) {
        showErrorBox(ctx_.boxes, *refusal);
        writeAppliedStartAddress();
        return;
    }
    pendingStartAddr_ = *readHexNumber(upper) * 0x100;
    startCheckerIfIdle();
}

void ConfigDialog::startCheckerIfIdle()
{
    if (checkerRunning_.load() || okPressed_.load())
        return;
    if (checker_.joinable())
        checker_.join(); // an ended checker: its last step is done
    checkerRunning_ = true;
    checker_ = std::thread([this] { StartAddressChecker(); });
}

void ConfigDialog::postToGui(std::function<void()> call)
{
    QMetaObject::invokeMethod(guiContext_, std::move(call), Qt::QueuedConnection);
}

void ConfigDialog::StartAddressChecker()
{
    postToGui([this] { spinner_->show(); });
    while (checkCountdown_.load() >= 1 && !okPressed_.load()) {
        if (stopEvent_.waitFor(checkTick_))
            break;
        spinner_->Step();
        --checkCountdown_;
    }
    postToGui([this] { spinner_->hide(); });
    // Stopped by OK, the checker stays silent and leaves the field as typed: OK checks it.
    if (!okPressed_.load() && pendingStartAddr_.load() % kBlockSize != 0)
        postToGui([this] {
            showErrorBox(ctx_.boxes, alignmentMessage());
            writeAppliedStartAddress();
        });
    checkerRunning_ = false;
    // A change that arrived after the wait ended may have found the checker still running.
    const bool changedMeanwhile = checkCountdown_.load() > 0;
    postToGui([this, changedMeanwhile] {
        if (changedMeanwhile)
            startCheckerIfIdle();
        emit checkerEnded();
    });
}

void ConfigDialog::stopChecker()
{
    okPressed_ = true;
    stopEvent_.set();
    // The checker never waits for the GUI thread (its requests are queued), so joining here
    // cannot deadlock; requests still queued are dropped with the dialog.
    if (checker_.joinable())
        checker_.join();
}

void ConfigDialog::applyStartAddress()
{
    const std::string upper = startField_->text().toUpper().toStdString();
    if (const auto refusal = startAddressRefusal(upper)) {
        showErrorBox(ctx_.boxes, *refusal);
        return;
    }
    const std::uint32_t address = *readHexNumber(upper) * 0x100;
    if (address % kBlockSize != 0) {
        showErrorBox(ctx_.boxes, alignmentMessage());
        return;
    }
    ctx_.ispStartAddr = address;
    saveStartAddress(ctx_, store_);
    if (ctx_.startAddrLabel)
        ctx_.startAddrLabel(QString::asprintf("ISP Start Address From :0x%X", address).toStdString());
}

void ConfigDialog::applyLineSettings()
{
    const auto portNumber = static_cast<std::uint32_t>(portList_->currentIndex() + 1);
    ctx_.comPort = static_cast<std::uint8_t>(portNumber);
    if (rateList_->currentIndex() >= 0)
        ctx_.baudRate = rateAt(rateList_->currentIndex());
    const std::string device = deviceList_->currentText().trimmed().toStdString();
    if (!device.empty() && device != ctx_.portMap.deviceFor(portNumber))
        ctx_.portMap.assign(portNumber, device);
    reopenPort(portNumber);
}

void ConfigDialog::reopenPort(std::uint32_t portNumber)
{
    if (ctx_.portOpen.load())
        ClosePort(ctx_);
    ctx_.pause(ctx_.timings.closePortPause);
    const auto open = [&] {
        return ctx_.port.Open(ctx_.portOwner.load(), portNumber, ctx_.baseBaud, ctx_.parity, ctx_.dataBits,
                              ctx_.stopBits, ctx_.writeBufferSize);
    };
    if (open()) {
        ctx_.portOpen = 1;
        ctx_.comPort = static_cast<std::uint8_t>(portNumber);
        savePort(ctx_, store_);
        saveRate(ctx_, store_);
        savePortMap(ctx_, store_);
    } else {
        ctx_.portOpen = open() ? 1 : 0;
    }
    ctx_.port.StartMonitor();
}

void ConfigDialog::accept()
{
    // The running worker uses the port and the rate: nothing is applied under it, and the
    // dialog stays open with everything as typed, so OK can be pressed again afterwards.
    if (ctx_.busy.load()) {
        showErrorBox(ctx_.boxes, kBusyText);
        return;
    }
    stopChecker();
    applyStartAddress();
    applyLineSettings();
    QDialog::accept();
}

void ConfigDialog::reject()
{
    stopChecker();
    QDialog::reject();
}

} // namespace pw
