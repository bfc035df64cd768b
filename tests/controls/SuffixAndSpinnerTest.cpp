#include "gui/controls/BusySpinner.h"
#include "gui/controls/HexSuffixEdit.h"
#include "support/GuiTestApp.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <thread>

namespace pw {
namespace {

struct LineCase {
    int position;
    QPoint from;
    QPoint to;
};

class SpinnerLines14 : public ::testing::TestWithParam<LineCase> {};

// 14 x 14: inner (1,1)-(13,13), dx = dy = 2, centre lines at 6.
TEST_P(SpinnerLines14, RunBetweenTheInnerRectanglesPoints)
{
    const LineCase& c = GetParam();
    const SpinnerLine line = spinnerLine(spinnerGeometry({14, 14}), c.position);
    EXPECT_EQ(line.from, c.from) << c.position;
    EXPECT_EQ(line.to, c.to) << c.position;
}

INSTANTIATE_TEST_SUITE_P(Table, SpinnerLines14,
                         ::testing::Values(LineCase{0, {1, 6}, {13, 6}}, LineCase{1, {3, 11}, {11, 3}},
                                           LineCase{2, {6, 13}, {6, 1}}, LineCase{3, {11, 11}, {3, 3}},
                                           LineCase{4, {13, 6}, {1, 6}}, LineCase{5, {11, 3}, {3, 11}},
                                           LineCase{6, {6, 1}, {6, 13}}, LineCase{7, {3, 3}, {11, 11}}));

TEST(SpinnerGeometryTest, InnerRectangleAndInsetsOf14By14)
{
    const SpinnerGeometry g = spinnerGeometry({14, 14});
    EXPECT_EQ(QRect(QPoint(g.left, g.top), QPoint(g.right, g.bottom)), QRect(QPoint(1, 1), QPoint(13, 13)));
    EXPECT_EQ(g.dx, 2);
    EXPECT_EQ(g.dy, 2);
}

QColor pixel(QWidget& widget, QPoint at) { return widget.grab().toImage().pixelColor(at); }

TEST(SpinnerWidget, StepsTurnTheLineAndEightStepsComeBack)
{
    test::ensureGuiApplication();
    BusySpinner spinner({14, 14});
    const QColor line(0x40, 0x40, 0x40);
    EXPECT_EQ(pixel(spinner, {4, 6}), line); // horizontal
    EXPECT_NE(pixel(spinner, {6, 4}), line);
    spinner.Step();
    spinner.Step();
    EXPECT_EQ(spinner.position(), 2);
    EXPECT_EQ(pixel(spinner, {6, 4}), line); // vertical at x = 6
    EXPECT_NE(pixel(spinner, {4, 6}), line);
    for (int i = 0; i < 6; ++i)
        spinner.Step();
    EXPECT_EQ(spinner.position(), 0);
}

TEST(SpinnerWidget, StepFromAnotherThreadRepaintsOnTheGuiThread)
{
    test::ensureGuiApplication();
    BusySpinner spinner({14, 14});
    spinner.show();
    constexpr int kSteps = 1003;
    std::atomic<bool> done{false};
    std::thread stepper([&] {
        for (int i = 0; i < kSteps; ++i)
            spinner.Step();
        done = true;
    });
    // Paint while the other thread steps: the position is shared with the painter.
    while (!done.load()) {
        spinner.repaint();
        QApplication::processEvents();
    }
    stepper.join();
    QApplication::processEvents();
    EXPECT_EQ(spinner.position(), kSteps % 8);
}

struct FrameCase {
    QPoint at;
    QColor colour;
};

class SuffixFrame : public ::testing::TestWithParam<FrameCase> {};

// A 100 x 24 field: text area (1,1) 79 x 22, strip 19 pixels at x 80.
TEST_P(SuffixFrame, DrawsTheSunkenFrameAroundTextAndSuffix)
{
    test::ensureGuiApplication();
    HexSuffixEdit edit;
    edit.resize(100, 24);
    edit.setText(QStringLiteral("8"));
    EXPECT_EQ(pixel(edit, GetParam().at), GetParam().colour) << GetParam().at.x() << "," << GetParam().at.y();
}

INSTANTIATE_TEST_SUITE_P(Table, SuffixFrame,
                         ::testing::Values(FrameCase{{0, 0}, QColor(0x70, 0x70, 0x70)},
                                           FrameCase{{0, 12}, QColor(0x70, 0x70, 0x70)},
                                           FrameCase{{50, 23}, QColor(0xF0, 0xF0, 0xF0)},
                                           FrameCase{{99, 12}, QColor(0xF0, 0xF0, 0xF0)},
                                           FrameCase{{1, 1}, QColor(0xA8, 0xA8, 0xA8)},
                                           FrameCase{{50, 1}, QColor(0xA8, 0xA8, 0xA8)},
                                           FrameCase{{50, 22}, QColor(0xFF, 0xFF, 0xFF)},
                                           FrameCase{{98, 12}, QColor(0xFF, 0xFF, 0xFF)}));

TEST(SuffixEditKeys, OnlyHexDigitsReachTheFieldAndNoKeyLeavesIt)
{
    test::ensureGuiApplication();
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new HexSuffixEdit(&dialog);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(edit);
    layout->addWidget(ok);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QApplication::setActiveWindow(&dialog);
    edit->lineEdit()->setFocus();

    QTest::keyClicks(edit->lineEdit(), QStringLiteral("8gz -.aF"));
    EXPECT_EQ(edit->text(), QStringLiteral("8aF"));
    QTest::keyClick(edit->lineEdit(), Qt::Key_Left);
    QTest::keyClick(edit->lineEdit(), Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("8F"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Tab})
        QTest::keyClick(edit->lineEdit(), key);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_TRUE(edit->lineEdit()->hasFocus());
}

} // namespace
} // namespace pw
