// Message boxes from other threads: shown on the GUI thread, holding a worker until closed but
// never the port's monitor, which must go on reading.
#include "gui/support/GuiMessageBoxes.h"
#include "support/PanelFixture.h"

#include <QAbstractButton>
#include <QMessageBox>

#include <atomic>
#include <thread>

namespace pw::test {
namespace {

TEST(GuiMessageBoxes, AWorkerWaitsForItsBoxThePortMonitorDoesNot)
{
    ensureGuiApplication();
    GuiMessageBoxes boxes;
    std::atomic<bool> returned{false};
    bool returnedBeforeClose = true;
    std::vector<bool> shown; // whether each box showed a stop sign
    OnDialogShown<QMessageBox> workerBox([&](QMessageBox& box) {
        shown.push_back(!box.iconPixmap().isNull());
        returnedBeforeClose = returned;
        box.button(QMessageBox::Ok)->click();
    });
    std::thread worker([&] {
        boxes.show("Pagewise", "Wait COM port timeout, pls check MCU and COM port status!", BoxIcon::Stop);
        returned = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 20000));
    worker.join();
    EXPECT_FALSE(returnedBeforeClose);

    std::thread monitor([&] { boxes.post("Application Error", "Input/output error", BoxIcon::Plain); });
    monitor.join(); // returns although the GUI thread has served nothing yet
    OnDialogShown<QMessageBox> postedBox([&](QMessageBox& box) {
        shown.push_back(!box.iconPixmap().isNull());
        box.button(QMessageBox::Ok)->click();
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }, 20000));
    EXPECT_EQ(shown, (std::vector<bool>{true, false}));
}

} // namespace
} // namespace pw::test
