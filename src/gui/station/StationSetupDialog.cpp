#include "gui/station/StationSetupDialog.h"

#include "line/ImageInput.h"
#include "line/LinePorts.h"
#include "line/StationProfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <set>

namespace pw {

namespace {

// A line edit with a Browse button beside it.
QWidget* withBrowse(QLineEdit* edit, QWidget* parent, const std::function<void()>& browse)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit, 1);
    auto* button = new QPushButton(StationSetupDialog::tr("Browse..."), row);
    QObject::connect(button, &QPushButton::clicked, row, browse);
    layout->addWidget(button);
    return row;
}

// The one local .hex or .bin file a drop carries, if that is what it carries.
QString droppedImage(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    const QString path = data->urls().front().toLocalFile();
    return path.endsWith(QStringLiteral(".hex"), Qt::CaseInsensitive) ||
                   path.endsWith(QStringLiteral(".bin"), Qt::CaseInsensitive)
               ? path
               : QString();
}

} // namespace

StationSetupDialog::StationSetupDialog(const StationSetup& setup, const QString& profilePath,
                                       const SettingsStore& store, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), setup_(setup), profilePath_(profilePath), boxes_(boxes), image_(new QLineEdit(this)),
      imageFacts_(new QLabel(this)), operation_(new QComboBox(this)), ports_(new QListWidget(this)),
      otherPorts_(new QLineEdit(this)), baud_(new QComboBox(this)), startAddr_(new QLineEdit(this)),
      record_(new QLineEdit(this)), serial_(new QLineEdit(this)), serialPool_(new QLineEdit(this)),
      database_(new QLineEdit(this)),
      serialOverwrite_(new QCheckBox(tr("Write the serial number over image data"), this)),
      retries_(new QSpinBox(this)), beforeBoard_(new QLineEdit(this)), afterBoard_(new QLineEdit(this)),
      resetPulse_(new QLineEdit(this)), skipBlank_(new QCheckBox(tr("Leave out blocks that are all 0xFF"), this))
{
    setWindowTitle(tr("Station Setup"));
    setAcceptDrops(true);
    imageFacts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    operation_->addItem(tr("Auto (erase, program, verify)"), QStringLiteral("auto"));
    operation_->addItem(tr("Program"), QStringLiteral("program"));
    baud_->addItem(tr("From the settings"), QString());
    for (const char* rate : {"9600", "57600", "115200"})
        baud_->addItem(QString::fromLatin1(rate), QString::fromLatin1(rate));
    retries_->setRange(0, 100);
    startAddr_->setPlaceholderText(tr("from the settings"));
    serial_->setPlaceholderText(tr("ADDR:FORMAT, e.g. 0x7FF0:u32le"));
    resetPulse_->setPlaceholderText(tr("dtr or rts[:MS]"));
    otherPorts_->setPlaceholderText(tr("more ports, separated by commas"));
    record_->setPlaceholderText(tr("a file, or db:LINE for rows in the database"));
    serialPool_->setPlaceholderText(tr("a file, or db:NAME for a pool in the database"));
    database_->setPlaceholderText(tr("host=... dbname=...; empty: PGHOST, PGDATABASE, ~/.pgpass"));
    database_->setToolTip(tr("The line's PostgreSQL database for db: names, as a libpq connection string. Keep "
                             "the password in ~/.pgpass: the profile is a plain file."));
    ports_->setMaximumHeight(150);

    image_->setText(QString::fromStdString(setup.image));
    operation_->setCurrentIndex(setup.operation == StationOperation::Auto ? 0 : 1);
    baud_->setCurrentIndex(std::max(0, baud_->findData(QString::fromStdString(stationValue(setup, "baud")))));
    startAddr_->setText(QString::fromStdString(stationValue(setup, "start-addr")));
    record_->setText(QString::fromStdString(setup.record));
    serial_->setText(QString::fromStdString(stationValue(setup, "serial")));
    serialPool_->setText(QString::fromStdString(setup.serialPool));
    database_->setText(QString::fromStdString(setup.database));
    serialOverwrite_->setChecked(setup.serialOverwrite);
    retries_->setValue(static_cast<int>(setup.retries));
    beforeBoard_->setText(QString::fromStdString(setup.beforeBoard));
    afterBoard_->setText(QString::fromStdString(setup.afterBoard));
    resetPulse_->setText(QString::fromStdString(stationValue(setup, "reset-pulse")));
    skipBlank_->setChecked(setup.skipBlank);
    fillPorts(store);
    showImageFacts();
    connect(image_, &QLineEdit::editingFinished, this, &StationSetupDialog::showImageFacts);

    const auto chooseFile = [this](QLineEdit* edit, const QString& filter, bool forSaving) {
        return [this, edit, filter, forSaving] {
            const QString path = forSaving ? QFileDialog::getSaveFileName(this, {}, edit->text(), filter, nullptr,
                                                                          QFileDialog::DontConfirmOverwrite)
                                           : QFileDialog::getOpenFileName(this, {}, edit->text(), filter);
            if (!path.isEmpty())
                edit->setText(path);
            showImageFacts();
        };
    };
    auto* form = new QFormLayout;
    form->addRow(tr("Image:"), withBrowse(image_, this, chooseFile(image_, tr("Images (*.hex *.bin)"), false)));
    form->addRow(QString(), imageFacts_);
    form->addRow(tr("Operation:"), operation_);
    form->addRow(tr("Ports:"), ports_);
    form->addRow(QString(), otherPorts_);
    form->addRow(tr("Rate:"), baud_);
    form->addRow(tr("Start address:"), startAddr_);
    form->addRow(tr("Records:"), withBrowse(record_, this, chooseFile(record_, tr("Records (*.jsonl)"), true)));
    form->addRow(tr("Serial pool:"),
                 withBrowse(serialPool_, this, chooseFile(serialPool_, tr("Serial pools (*.jsonl)"), false)));
    form->addRow(tr("Database:"), database_);
    form->addRow(tr("Serial field:"), serial_);
    form->addRow(QString(), serialOverwrite_);
    form->addRow(tr("Retries:"), retries_);
    form->addRow(tr("Before each board:"), beforeBoard_);
    form->addRow(tr("After each board:"), afterBoard_);
    form->addRow(tr("Reset pulse:"), resetPulse_);
    form->addRow(QString(), skipBlank_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* saveButton = buttons->addButton(tr("Save"), QDialogButtonBox::ActionRole);
    QPushButton* saveAsButton = buttons->addButton(tr("Save As..."), QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &StationSetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    const auto saveAs = [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save Station Profile"), profilePath_,
                                                          tr("Station profiles (*.ini)"));
        if (!path.isEmpty())
            save(path);
    };
    connect(saveButton, &QPushButton::clicked, this, [this, saveAs] {
        if (profilePath_.isEmpty())
            saveAs();
        else
            save(profilePath_);
    });
    connect(saveAsButton, &QPushButton::clicked, this, saveAs);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void StationSetupDialog::fillPorts(const SettingsStore& store)
{
    std::set<std::string> shown;
    const auto addPort = [this, &shown](const std::string& saved, const QString& text) {
        auto* item = new QListWidgetItem(text, ports_);
        item->setData(Qt::UserRole, QString::fromStdString(saved));
        const bool chosen = std::find(setup_.ports.begin(), setup_.ports.end(), saved) != setup_.ports.end();
        item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
        shown.insert(saved);
    };
    const ListedPorts listed = listPorts(store);
    for (const SerialDeviceInfo& info : listed.devices) {
        const std::string saved = info.serial.empty() ? info.node : "usb:" + info.serial;
        const std::string description = deviceDescription(info);
        addPort(saved, QString::fromStdString(info.node + (description.empty() ? "" : "  " + description)));
    }
    for (const auto& [name, device] : listed.configured)
        addPort(device, QString::fromStdString(device + "  (" + name + " in the settings)"));
    for (const std::string& port : setup_.ports) // a pseudo-terminal, an adapter not plugged in
        if (!shown.contains(port))
            addPort(port, QString::fromStdString(port));
}

void StationSetupDialog::setImage(const QString& path)
{
    image_->setText(path);
    showImageFacts();
}

void StationSetupDialog::showImageFacts()
{
    if (image_->text().isEmpty()) {
        imageFacts_->setText(tr("Choose a .hex or .bin file, or drop one here."));
        return;
    }
    PreparedImage image;
    std::string problem;
    if (!prepareImage(image_->text().toStdString(), image, problem)) {
        imageFacts_->setText(QString::fromStdString(problem));
        return;
    }
    imageFacts_->setText(tr("Size %1   Check Sum %2\nSHA-256 %3")
                             .arg(QString::fromStdString(image.sizeText), QString::fromStdString(image.checksumText),
                                  QString::fromStdString(image.sha256)));
}

std::optional<StationSetup> StationSetupDialog::readFields()
{
    QStringList ports;
    for (int row = 0; row < ports_->count(); ++row)
        if (ports_->item(row)->checkState() == Qt::Checked)
            ports << ports_->item(row)->data(Qt::UserRole).toString();
    if (!otherPorts_->text().trimmed().isEmpty())
        ports << otherPorts_->text().trimmed();
    const std::pair<const char*, QString> fields[] = {
        {"image", image_->text()},
        {"operation", operation_->currentData().toString()},
        {"port", ports.join(QLatin1Char(','))},
        {"baud", baud_->currentData().toString()},
        {"start-addr", startAddr_->text().trimmed()},
        {"record", record_->text()},
        {"retries", QString::number(retries_->value())},
        {"before-board", beforeBoard_->text()},
        {"after-board", afterBoard_->text()},
        {"reset-pulse", resetPulse_->text().trimmed()},
        {"serial", serial_->text().trimmed()},
        {"serial-pool", serialPool_->text()},
        {"database", database_->text().trimmed()},
        {"serial-overwrite", serialOverwrite_->isChecked() ? QStringLiteral("true") : QStringLiteral("false")},
        {"skip-blank", skipBlank_->isChecked() ? QStringLiteral("true") : QStringLiteral("false")},
    };
    StationSetup read;
    for (const auto& [key, text] : fields) {
        if (const std::string problem = setStationValue(read, key, text.toStdString()); !problem.empty()) {
            showErrorBox(boxes_, std::string(key) + " " + problem);
            return std::nullopt;
        }
    }
    if (const std::string problem = stationSetupProblem(read); !problem.empty()) {
        showErrorBox(boxes_, problem);
        return std::nullopt;
    }
    return read;
}

bool StationSetupDialog::save(const QString& path)
{
    const std::optional<StationSetup> read = readFields();
    if (!read)
        return false;
    if (const std::string problem = writeStationProfile(path.toStdString(), *read); !problem.empty()) {
        showErrorBox(boxes_, problem);
        return false;
    }
    setup_ = *read;
    profilePath_ = path;
    return true;
}

void StationSetupDialog::accept()
{
    const std::optional<StationSetup> read = readFields();
    if (!read)
        return;
    setup_ = *read;
    QDialog::accept();
}

void StationSetupDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedImage(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void StationSetupDialog::dropEvent(QDropEvent* event)
{
    const QString path = droppedImage(event->mimeData());
    if (path.isEmpty())
        return;
    setImage(path);
    event->acceptProposedAction();
}

} // namespace pw
