#pragma once
#include "context/IspContext.h"
#include "gui/dialogs/DumpDialog.h"
#include "gui/dialogs/GuiRunner.h"
#include "gui/dialogs/QueuedView.h"
#include "image/HexRecord.h"
#include "protocol/ResponseMatcher.h"

#include <QDateTime>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace pw {

class GuiThreadSink;

// The operations panel: loads an image, starts the flash operations one at a time and shows
// their log lines and progress. It holds the serial port from construction to shutdown.
class IspPanel : public QWidget {
    Q_OBJECT
public:
    IspPanel(IspContext& ctx, QWidget* parent = nullptr);
    ~IspPanel() override;

    // Cancels and joins a running operation, then closes the port. Safe to call twice.
    void shutdown();

    // What OnLoad does once a file has been chosen (and a file dropped onto the window).
    void loadFile(const QString& path);
    // Whether a dropped file would be loaded now: a .hex or .bin file, and no operation running.
    bool acceptsDroppedFile(const QString& path) const;
    const std::string& imagePath() const { return imagePath_; }
    bool operationRunning() const { return runner_.active(); }

    void AppendLogLine(const std::string& line);
    // Shows ISP_log.txt and Dump.txt; the desktop's viewer unless replaced (tests).
    void setTextViewer(TextViewer viewer);

public slots:
    void OnLoad();
    void OnAuto();
    void OnProgram();
    void OnVerify();
    void OnErase();
    void OnCancelOperation();
    void OnClear();
    void OnDump();
    void OnExport();
    // Dump and Export start hidden; the window's View menu shows them. Both button rows keep
    // their columns either way.
    void setDumpAndExportShown(bool shown);

signals:
    // Emitted on the GUI thread when a worker has finished.
    void operationEnded();

private:
    QPushButton* addButton(const char* text, const char* name, void (IspPanel::*handler)());
    void buildControls();
    void buildLayout();
    void placeImageRow(bool dumpAndExport);
    bool showTextFile(const std::string& path);
    QueuedView::Handlers viewHandlers();
    void takePort();
    void setStartAddressLine(const QString& text);
    bool startWorker(std::function<void()> work, bool cancellable);
    // Program, Verify and Auto: the run writes the image shown. A loaded file that changed on
    // disk is loaded again first; false when that failed (its box has said why).
    bool imageUpToDate();
    bool loadFileLogged(const QString& path, const std::string& logPrefix);
    std::string logLine(int row) const;

    IspContext& ctx_;
    ResponseMatcher matcher_;
    std::unique_ptr<GuiThreadSink> sink_; // hands what each read brought to the GUI thread
    QueuedView view_;
    GuiRunner runner_;
    bool shutDown_ = false;
    bool cancellableRun_ = false; // GUI thread only

    TextViewer textViewer_;

    std::string imagePath_;
    // The file last loaded (the HEX file, or the .bin chosen) as it stood then.
    struct LoadedFile {
        QString path;
        qint64 size = -1;
        QDateTime modified;
    };
    LoadedFile loaded_;
    HexConverterState hexState_;
    std::uint32_t fromPage_ = 0;
    std::uint32_t pageCount_ = 0;

    QPushButton* loadButton_ = nullptr;
    QPushButton* autoButton_ = nullptr;
    QPushButton* programButton_ = nullptr;
    QPushButton* verifyButton_ = nullptr;
    QPushButton* eraseButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPushButton* dumpButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QLineEdit* sizeEdit_ = nullptr;
    QLineEdit* checksumEdit_ = nullptr;
    QLabel* startAddress_ = nullptr;
    QGridLayout* rows_ = nullptr; // both button rows, one column per operation button
    QHBoxLayout* imageFields_ = nullptr;
    QListWidget* log_ = nullptr;
    QProgressBar* bar_ = nullptr;
};

} // namespace pw
