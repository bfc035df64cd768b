#include "gui/controls/BaseDropList.h"
#include "gui/controls/KeyFilter.h"
#include "base/NumberText.h"
#include "gui/controls/wcHexButton.h"
#include "support/GuiTestApp.h"

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace pw {
namespace {

struct ConversionCase {
    const char* text;
    bool fromHex;
    const char* expected;
};

class BaseConversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(BaseConversion, RewritesTheLeadingNumberAs32Bits)
{
    const ConversionCase& c = GetParam();
    EXPECT_EQ(convertBase(c.text, c.fromHex), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, BaseConversion,
                         ::testing::Values(ConversionCase{"1F", true, "31"}, ConversionCase{"31", false, "1F"},
                                           ConversionCase{"FFFFFFFF", true, "-1"},
                                           ConversionCase{"-1", false, "FFFFFFFF"},
                                           ConversionCase{"80000000", true, "-2147483648"},
                                           ConversionCase{"12G", true, "18"}, ConversionCase{"", true, ""},
                                           ConversionCase{"", false, ""}, ConversionCase{"0x10", true, "16"},
                                           ConversionCase{"1f", true, "31"}, ConversionCase{"0", false, "0"},
                                           ConversionCase{"G1", true, "G1"}, ConversionCase{"-", false, "-"}));

struct KeyCase {
    int key;
    Qt::KeyboardModifiers modifiers;
    KeyAction hex;
    KeyAction dec;
};

class KeyFiltering : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyFiltering, PassesOnlyKeysOfTheMode)
{
    const KeyCase& c = GetParam();
    EXPECT_EQ(KeyFilter(c.key, c.modifiers, true), c.hex) << std::hex << c.key;
    EXPECT_EQ(KeyFilter(c.key, c.modifiers, false), c.dec) << std::hex << c.key;
}

constexpr auto P = KeyAction::Pass;
constexpr auto C = KeyAction::Consume;
constexpr Qt::KeyboardModifiers None = Qt::NoModifier;

INSTANTIATE_TEST_SUITE_P(
    Table, KeyFiltering,
    ::testing::Values(KeyCase{Qt::Key_0, None, P, P}, KeyCase{Qt::Key_9, None, P, P},
                      KeyCase{Qt::Key_5, Qt::KeypadModifier, P, P}, KeyCase{Qt::Key_A, None, P, C},
                      KeyCase{Qt::Key_F, Qt::ShiftModifier, P, C}, KeyCase{Qt::Key_G, None, C, C},
                      KeyCase{Qt::Key_Z, None, C, C}, KeyCase{Qt::Key_Backspace, None, P, C},
                      KeyCase{Qt::Key_Delete, None, P, C}, KeyCase{Qt::Key_Left, None, P, C},
                      KeyCase{Qt::Key_Right, None, P, C}, KeyCase{Qt::Key_Return, None, C, C},
                      KeyCase{Qt::Key_Enter, Qt::KeypadModifier, C, C}, KeyCase{Qt::Key_Escape, None, C, C},
                      KeyCase{Qt::Key_Up, None, C, C}, KeyCase{Qt::Key_Down, None, C, C},
                      KeyCase{Qt::Key_Tab, None, C, C}, KeyCase{Qt::Key_Backtab, Qt::ShiftModifier, C, C},
                      KeyCase{Qt::Key_Space, None, C, C}, KeyCase{Qt::Key_Home, None, C, C},
                      KeyCase{Qt::Key_End, None, C, C}, KeyCase{Qt::Key_Period, None, C, C},
                      KeyCase{Qt::Key_Minus, None, C, C}, KeyCase{Qt::Key_Shift, Qt::ShiftModifier, C, C},
                      KeyCase{Qt::Key_V, Qt::ControlModifier, C, C},
                      KeyCase{Qt::Key_F4, Qt::AltModifier, P, P}));

struct PlacementCase {
    QRect field;
    QRect main;
    int h;
    QPoint expected;
};

class DropListPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(DropListPlacement, OpensBelowUnlessTwiceItsHeightIsNotFree)
{
    const PlacementCase& c = GetParam();
    EXPECT_EQ(dropListPosition(c.field, c.main, c.h), c.expected);
}

// Field rows 100..119 (bottom 120); main window rows 0..(height-1).
INSTANTIATE_TEST_SUITE_P(Table, DropListPlacement,
                         ::testing::Values(PlacementCase{{10, 100, 60, 20}, {0, 0, 400, 300}, 40, {10, 120}},
                                           PlacementCase{{10, 100, 60, 20}, {0, 0, 400, 201}, 40, {10, 120}},
                                           PlacementCase{{10, 100, 60, 20}, {0, 0, 400, 200}, 40, {10, 60}},
                                           PlacementCase{{10, 100, 60, 20}, {0, 0, 400, 130}, 40, {10, 60}}));

// A field in a dialog with a default button, so that keys leaking out of the field show.
class NumberFieldWidget : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureGuiApplication();
        dialog = std::make_unique<QDialog>();
        auto* layout = new QVBoxLayout(dialog.get());
        field = new wcHexButton(dialog.get());
        ok = new QPushButton(QStringLiteral("OK"), dialog.get());
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, dialog.get(), &QDialog::accept);
        layout->addWidget(field);
        layout->addWidget(ok);
        dialog->resize(200, 120);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        field->lineEdit()->setFocus();
        QApplication::setActiveWindow(dialog.get());
    }

    void sendMouse(QEvent::Type type, QPoint at, Qt::MouseButtons held)
    {
        QWidget* strip = field->buttonStrip();
        QMouseEvent event(type, at, strip->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(strip, &event);
    }

    void clickButton()
    {
        const QPoint inside = field->buttonRect().center();
        sendMouse(QEvent::MouseButtonPress, inside, Qt::LeftButton);
        sendMouse(QEvent::MouseButtonRelease, inside, Qt::NoButton);
    }

    void chooseRow(int row)
    {
        clickButton();
        QListWidget* list = field->dropList()->list();
        const QRect item = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    }

    std::unique_ptr<QDialog> dialog;
    wcHexButton* field = nullptr;
    QPushButton* ok = nullptr;
};

TEST_F(NumberFieldWidget, StartsInHexWithButtonStripOfEightTenthsOfTheHeight)
{
    EXPECT_TRUE(field->IsHex());
    EXPECT_EQ(field->baseLetter(), QStringLiteral("x"));
    EXPECT_EQ(field->buttonRect(), QRect(0, 0, field->height() * 8 / 10, field->height()));
    EXPECT_EQ(field->lineEdit()->x(), field->buttonRect().width());
}

TEST_F(NumberFieldWidget, EnterEscapeAndTabNeverLeaveTheField)
{
    field->setText(QStringLiteral("1F"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Up, Qt::Key_Down})
        QTest::keyClick(field->lineEdit(), key);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), 0);
    EXPECT_TRUE(field->lineEdit()->hasFocus());
    EXPECT_EQ(field->text(), QStringLiteral("1F"));
}

TEST_F(NumberFieldWidget, DecimalModeRefusesLettersAndEditingKeys)
{
    field->setText(QStringLiteral("1F"));
    chooseRow(1);
    ASSERT_EQ(field->text(), QStringLiteral("31"));
    QTest::keyClicks(field->lineEdit(), QStringLiteral("aF"));
    QTest::keyClick(field->lineEdit(), Qt::Key_Backspace);
    QTest::keyClick(field->lineEdit(), Qt::Key_Left);
    QTest::keyClick(field->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(field->lineEdit(), QStringLiteral("7"));
    EXPECT_EQ(field->text(), QStringLiteral("317"));
}

TEST_F(NumberFieldWidget, SpacesArrivingByPastingAreDropped)
{
    field->lineEdit()->insert(QStringLiteral("1 2 "));
    EXPECT_EQ(field->text(), QStringLiteral("12"));
}

TEST_F(NumberFieldWidget, ChoosingABaseRewritesTheTextAndSwitchingBackRestoresIt)
{
    field->setText(QStringLiteral("1F"));
    QSignalSpy changes(field, &wcHexButton::textChanged);
    chooseRow(1);
    EXPECT_FALSE(field->IsHex());
    EXPECT_EQ(field->baseLetter(), QStringLiteral("d"));
    EXPECT_EQ(field->text(), QStringLiteral("31"));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(field->dropList()->isVisible());
    chooseRow(1); // the base in use: nothing to convert
    EXPECT_EQ(field->text(), QStringLiteral("31"));
    EXPECT_EQ(changes.count(), 1);
    chooseRow(0);
    EXPECT_TRUE(field->IsHex());
    EXPECT_EQ(field->text(), QStringLiteral("1F"));
}

TEST_F(NumberFieldWidget, ReleaseOffTheButtonOpensNothingAndMovingBackDoes)
{
    const QPoint inside = field->buttonRect().center();
    const QPoint outside(field->buttonRect().width() + 30, inside.y());
    sendMouse(QEvent::MouseButtonPress, inside, Qt::LeftButton);
    EXPECT_EQ(field->pressState(), wcHexButton::Pressed);
    sendMouse(QEvent::MouseMove, outside, Qt::LeftButton);
    EXPECT_EQ(field->pressState(), wcHexButton::Normal);
    sendMouse(QEvent::MouseButtonRelease, outside, Qt::NoButton);
    EXPECT_TRUE(field->dropList() == nullptr || !field->dropList()->isVisible());

    sendMouse(QEvent::MouseButtonPress, inside, Qt::LeftButton);
    sendMouse(QEvent::MouseMove, outside, Qt::LeftButton);
    sendMouse(QEvent::MouseMove, inside, Qt::LeftButton);
    EXPECT_EQ(field->pressState(), wcHexButton::Pressed);
    sendMouse(QEvent::MouseButtonRelease, inside, Qt::NoButton);
    ASSERT_NE(field->dropList(), nullptr);
    EXPECT_TRUE(field->dropList()->isVisible());
    EXPECT_EQ(field->dropList()->list()->count(), 2);
}

TEST_F(NumberFieldWidget, EscapeInTheListClosesItWithoutAChange)
{
    field->setText(QStringLiteral("1F"));
    clickButton();
    QTest::keyClick(field->dropList()->list(), Qt::Key_Escape);
    EXPECT_FALSE(field->dropList()->isVisible());
    EXPECT_TRUE(field->IsHex());
    EXPECT_EQ(field->text(), QStringLiteral("1F"));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(NumberFieldWidget, ListOpensAboveAFieldNearTheBottomOfTheWindow)
{
    dialog->resize(200, field->geometry().bottom() + 1 + ok->height() + 12);
    QApplication::processEvents();
    clickButton();
    const QRect list = field->dropList()->geometry();
    const QRect onScreen(field->mapToGlobal(QPoint(0, 0)), field->size());
    EXPECT_EQ(list.y() + list.height(), onScreen.y());
    EXPECT_EQ(list.x(), onScreen.x());
    EXPECT_GE(list.width(), 45);
}

TEST_F(NumberFieldWidget, DisabledFieldDrawsAGreyLetterAndIgnoresClicks)
{
    field->setEnabled(false);
    EXPECT_EQ(field->pressState(), wcHexButton::Disabled);
    const QImage image = field->buttonStrip()->grab().toImage();
    bool grey = false;
    bool black = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            grey = grey || image.pixelColor(x, y) == QColor(0x8C, 0x8C, 0x8C);
            black = black || image.pixelColor(x, y) == QColor(Qt::black);
        }
    EXPECT_TRUE(grey);
    EXPECT_FALSE(black);
    QTest::mouseClick(field->buttonStrip(), Qt::LeftButton, Qt::NoModifier, field->buttonRect().center());
    EXPECT_EQ(field->dropList(), nullptr);
}

} // namespace
} // namespace pw
