#pragma once
#include "context/IspContext.h"
#include "base/ManualResetEvent.h"
#include "settings/Settings.h"

#include <QDialog>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

class QComboBox;
class QLabel;
class QPushButton;

namespace pw {

class BusySpinner;
class HexSuffixEdit;

// Chooses the serial port (and the device it opens), the operating rate and the ISP start
// address; OK applies them, saves them and reopens the port. A typed start address is checked
// for alignment by StartAddressChecker once the typing has settled for 30 ticks.
class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCheckTicks = 30;

    ConfigDialog(IspContext& ctx, SettingsStore& store, QWidget* parent = nullptr);
    ~ConfigDialog() override;

    // 50 ms in the product; tests shorten it.
    void setCheckTick(std::chrono::milliseconds tick) { checkTick_ = tick; }
    bool checkerRunning() const { return checkerRunning_.load(); }

    QComboBox* portList() const { return portList_; }
    QComboBox* deviceList() const { return deviceList_; }
    QComboBox* rateList() const { return rateList_; }
    QComboBox* parityList() const { return parityList_; }
    QComboBox* dataBitsList() const { return dataBitsList_; }
    QComboBox* stopBitsList() const { return stopBitsList_; }
    HexSuffixEdit* startAddressField() const { return startField_; }
    BusySpinner* spinner() const { return spinner_; }
    QLabel* noteLabel() const { return note_; }

    void accept() override;
    void reject() override;

signals:
    // Emitted on the GUI thread when StartAddressChecker has ended.
    void checkerEnded();

private:
    void buildControls();
    void fillLists();
    void fitListsToTemplate();
    void describeDevices();
    void onStartAddressChanged(const QString& text);
    void onPortChosen(int index);
    void StartAddressChecker();
    void startCheckerIfIdle();
    void stopChecker();
    // Runs `call` on the GUI thread later; dropped when the dialog is gone by then.
    void postToGui(std::function<void()> call);
    void writeAppliedStartAddress();
    void applyStartAddress();
    void applyLineSettings();
    void reopenPort(std::uint32_t portNumber);
    std::uint32_t fieldLimit() const { return ctx_.flashSize / 0x100 - 1; }
    // The box text for the start-address field's text (upper case), or nothing when it is fine.
    std::optional<std::string> startAddressRefusal(const std::string& upper) const;

    IspContext& ctx_;
    SettingsStore& store_;
    std::chrono::milliseconds checkTick_{50};

    std::atomic<bool> checkerRunning_{false};
    std::atomic<bool> okPressed_{false};
    std::atomic<int> checkCountdown_{0};
    std::atomic<std::uint32_t> pendingStartAddr_{0};
    ManualResetEvent stopEvent_; // wakes the checker's tick wait at once
    std::thread checker_;
    QObject* guiContext_ = nullptr; // receiver of the checker's requests; dies with the dialog

    QComboBox* portList_ = nullptr;
    QComboBox* deviceList_ = nullptr;
    QComboBox* rateList_ = nullptr;
    QComboBox* parityList_ = nullptr;
    QComboBox* dataBitsList_ = nullptr;
    QComboBox* stopBitsList_ = nullptr;
    HexSuffixEdit* startField_ = nullptr;
    BusySpinner* spinner_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// "COM3  (/dev/ttyUSB0)": the port number with the device it opens.
QString portEntryText(std::uint32_t portNumber, const std::string& device);

} // namespace pw
