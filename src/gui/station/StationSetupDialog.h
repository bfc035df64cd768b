#pragma once
#include "base/MessageBoxes.h"
#include "line/StationSetup.h"
#include "settings/Settings.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace pw {

// The line's setup: its image (chosen or dropped, with size, checksum and SHA-256), the
// operation, the ports (adapters with a USB serial saved as usb:SERIAL, so a re-plugged one is
// found again), rate, start address, records and serial pool (files, or db: names in the line's
// database), serial numbers, retries, hooks and reset pulse.
// Save and Save As write the station profile.
class StationSetupDialog : public QDialog {
    Q_OBJECT
public:
    StationSetupDialog(const StationSetup& setup, const QString& profilePath, const SettingsStore& store,
                       MessageBoxes& boxes, QWidget* parent = nullptr);

    const StationSetup& setup() const { return setup_; }
    const QString& profilePath() const { return profilePath_; }

    // What the fields say, checked as a profile is; empty with its box when a field is wrong.
    std::optional<StationSetup> readFields();
    bool save(const QString& path); // false (after its box) when not written
    void setImage(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void fillPorts(const SettingsStore& store);
    void showImageFacts();
    void accept() override;

    StationSetup setup_;
    QString profilePath_;
    MessageBoxes& boxes_;
    QLineEdit* image_;
    QLabel* imageFacts_;
    QComboBox* operation_;
    QListWidget* ports_;
    QLineEdit* otherPorts_;
    QComboBox* baud_;
    QLineEdit* startAddr_;
    QLineEdit* record_;
    QLineEdit* serial_;
    QLineEdit* serialPool_;
    QLineEdit* database_;
    QCheckBox* serialOverwrite_;
    QSpinBox* retries_;
    QLineEdit* beforeBoard_;
    QLineEdit* afterBoard_;
    QLineEdit* resetPulse_;
    QCheckBox* skipBlank_;
};

} // namespace pw
