#pragma once
#include "context/IspContext.h"
#include "settings/Settings.h"

#include <QMainWindow>

class QMimeData;
class QVBoxLayout;

namespace pw {

class IspPanel;

// The program's one top-level window: a menu bar of four commands and a View menu over the
// operations panel.
class MainWindow : public QMainWindow {
public:
    MainWindow(IspContext& ctx, SettingsStore& store, QWidget* parent = nullptr);

    // The ISP command: creates the panel the first time, then shows it and gives it the focus.
    void showPanel();
    void showConfig();
    void showAbout();
    IspPanel* panel() const { return panel_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // A .hex or .bin file dropped from a file manager is loaded as Load Hex/Bin does.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenu();
    // Dump and Export on the panel or not, as the View menu's item says; remembered.
    void showDumpAndExport(bool shown);
    // The one local file a drag carries, if the panel would load it now; else empty.
    QString droppableFile(const QMimeData* mime) const;
    void fitToPanel();

    IspContext& ctx_;
    SettingsStore& store_;
    QWidget* client_ = nullptr;
    QVBoxLayout* clientLayout_ = nullptr;
    IspPanel* panel_ = nullptr;
    QAction* dumpAndExport_ = nullptr;
};

} // namespace pw
