#pragma once
#include "context/IspContext.h"
#include "settings/Settings.h"

#include <QMainWindow>

class QVBoxLayout;

namespace pw {

class IspPanel;

// The program's one top-level window: a menu bar of four commands over the operations panel.
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

private:
    void buildMenu();
    void fitToPanel();

    IspContext& ctx_;
    SettingsStore& store_;
    QWidget* client_ = nullptr;
    QVBoxLayout* clientLayout_ = nullptr;
    IspPanel* panel_ = nullptr;
};

} // namespace pw
