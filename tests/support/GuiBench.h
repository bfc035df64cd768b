#pragma once
#include "support/Files.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"
#include "support/ShortPauses.h"
#include "support/SimHarness.h"

#include <QDir>

#include <gtest/gtest.h>

namespace pw::test {

// The simulator, a context on it with pauses cut short and room for slow replies, and a folder
// of the test's own that is the current folder (Dump.txt and Dump.bin go there): what the
// panel's and the dialogs' fixtures stand on.
class GuiBench : public ::testing::Test {
protected:
    explicit GuiBench(sim::SimOptions options) : sim(std::move(options)) {}
    void SetUp() override
    {
        ensureGuiApplication();
        ASSERT_TRUE(sim.started());
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        shortenPauses(ctx.timings);
        allowSlowReplies(ctx.timings);
        sim.mapInto(ctx);
    }
    void TearDown() override { QDir::setCurrent(oldCurrent_); }

    SimHarness sim;
    RecordingBoxes boxes;
    IspContext ctx{boxes};
    TempDir dir;

private:
    const QString oldCurrent_ = QDir::currentPath();
};

} // namespace pw::test
