#pragma once
#include "context/IspContext.h"
#include "gui/dialogs/GuiRunner.h"
#include "gui/dialogs/QueuedView.h"
#include "protocol/ResponseMatcher.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace pw {

class GuiThreadSink;

// Shows a text file the program wrote; false when nothing could show it.
using TextViewer = std::function<bool(const std::string&)>;
// The desktop's viewer for the file's type (false where the desktop has none).
bool openInDesktopViewer(const std::string& path);

// Reads a page range of the target's flash into Dump.txt or Dump.bin in the current folder.
// While open it holds the serial port with a matcher of its own.
class DumpDialog : public QDialog {
    Q_OBJECT
public:
    explicit DumpDialog(IspContext& ctx, QWidget* parent = nullptr);
    ~DumpDialog() override;

    std::uint32_t fromPage() const { return fromPage_; }
    std::uint32_t pageCount() const { return pageCount_; }
    bool dumpAsText() const { return dumpAsText_; }
    bool dumpRunning() const { return runner_.active(); }
    // Shows Dump.txt after a dump; the desktop's viewer unless replaced (tests).
    void setTextViewer(TextViewer viewer);

    void done(int result) override;

public slots:
    void onExcute();
    void onCancel();

signals:
    void dumpEnded();

private:
    void buildControls();
    void createControls();
    void layOutControls();
    void fixLayout();
    void connectControls();
    void onFromPageEdited(const QString& text);
    void onPageCountEdited(const QString& text);
    void showRange();
    QueuedView::Handlers viewHandlers();

    IspContext& ctx_;
    ResponseMatcher matcher_;
    std::unique_ptr<GuiThreadSink> sink_; // hands what each read brought to the GUI thread
    ByteSink* previousOwner_ = nullptr;   // the port's owner before the dialog took it
    QueuedView view_;
    GuiRunner runner_;
    TextViewer textViewer_;

    std::uint32_t fromPage_ = 0;
    std::uint32_t pageCount_ = 1;
    bool dumpAsText_ = true;

    QLineEdit* fromEdit_ = nullptr;
    QLineEdit* countEdit_ = nullptr;
    QLabel* firstAddress_ = nullptr;
    QLabel* lastAddress_ = nullptr;
    QRadioButton* txtRadio_ = nullptr;
    QRadioButton* binRadio_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* excuteButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

} // namespace pw
