#pragma once
// The ISP panel against the simulator, pauses cut short, with the helpers the GUI tests share.
#include "gui/panel/IspPanel.h"
#include "support/GuiBench.h"

#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace pw::test {

// Runs `act` on the next dialog of type D once it is on screen: waits for its Show event, so
// a test never has to guess when a modal exec() has begun.
template <typename D>
class OnDialogShown : public QObject {
public:
    explicit OnDialogShown(std::function<void(D&)> act) : act_(std::move(act)) { qApp->installEventFilter(this); }
    ~OnDialogShown() override { qApp->removeEventFilter(this); }
    bool fired() const { return fired_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<D*>(watched);
        if (!fired_ && dialog && event->type() == QEvent::Show) {
            fired_ = true;
            QPointer<D> target = dialog;
            QTimer::singleShot(0, this, [this, target] {
                if (target)
                    act_(*target);
            });
        }
        return false;
    }

private:
    std::function<void(D&)> act_;
    bool fired_ = false;
};

class PanelFixture : public GuiBench {
protected:
    explicit PanelFixture(sim::SimOptions options = SimHarness::unpaced()) : GuiBench(std::move(options)) {}
    void SetUp() override
    {
        GuiBench::SetUp();
        ctx.exeDir = dir.path().toStdString() + "/";
        panel = std::make_unique<IspPanel>(ctx, nullptr);
        panel->setTextViewer([this](const std::string& path) {
            viewed.push_back(path);
            return viewerWorks;
        });
    }
    void TearDown() override
    {
        panel.reset();
        GuiBench::TearDown();
    }

    template <typename W>
    W* child(const char* name)
    {
        return panel->findChild<W*>(QString::fromLatin1(name));
    }
    void click(const char* button) { child<QPushButton>(button)->click(); }
    // Clicks an operation button and waits until its worker has ended.
    void runOperation(const char* button)
    {
        QSignalSpy ended(panel.get(), &IspPanel::operationEnded);
        click(button);
        ASSERT_TRUE(ended.wait(60000)) << button;
        QCoreApplication::processEvents(); // the view calls queued behind the end
    }
    QStringList logLines()
    {
        QStringList lines;
        auto* list = child<QListWidget>("log");
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }
    QString loadImage(const std::vector<std::uint8_t>& bytes)
    {
        const QString path =
            QString::fromStdString(writeFile(dir.file("image.bin"), std::string(bytes.begin(), bytes.end())));
        panel->loadFile(path);
        return path;
    }

    std::unique_ptr<IspPanel> panel;
    std::vector<std::string> viewed;
    bool viewerWorks = true; // false: a desktop without a viewer
};

} // namespace pw::test
