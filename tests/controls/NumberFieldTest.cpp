#include "gui/controls/BaseDropList.h"
#include "gui/controls/HexSuffixEdit.h"
#include "gui/controls/wcHexButton.h"
#include "gui/controls/KeyFilter.h"
#include "base/NumberText.h"
#include "support/GuiTestApp.h"
#include "support/Tables.h"

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace pw {
namespace {

using test::PrintTo;

struct ConversionCase {
    const char* name;
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

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, BaseConversion, ::testing::Values(
    ConversionCase{"hex_to_dec", "1F", true, "31"},
    ConversionCase{"dec_to_hex", "31", false, "1F"},
    ConversionCase{"all_ones_is_minus_one", "FFFFFFFF", true, "-1"},
    ConversionCase{"minus_one_is_all_ones", "-1", false, "FFFFFFFF"},
    ConversionCase{"sign_bit", "80000000", true, "-2147483648"},
    ConversionCase{"leading_number_only", "12G", true, "18"},
    ConversionCase{"empty_hex", "", true, ""},
    ConversionCase{"hex_prefix", "0x10", true, "16"},
    ConversionCase{"no_number_kept", "G1", true, "G1"},
    ConversionCase{"lone_minus_kept", "-", false, "-"}
), test::rowName);
// clang-format on

// Keys by what the filter does with them in hex and in decimal mode.
struct KeyGroup {
    const char* name;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> keys;
    KeyAction hex;
    KeyAction dec;
};

class KeyFiltering : public ::testing::TestWithParam<KeyGroup> {};

TEST_P(KeyFiltering, PassesOnlyKeysOfTheMode)
{
    const KeyGroup& group = GetParam();
    for (const auto& [key, modifiers] : group.keys) {
        EXPECT_EQ(KeyFilter(key, modifiers, true), group.hex) << std::hex << key;
        EXPECT_EQ(KeyFilter(key, modifiers, false), group.dec) << std::hex << key;
    }
}

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, KeyFiltering, ::testing::Values(
    KeyGroup{"digits_and_alt_f4", {{Qt::Key_0, None}, {Qt::Key_9, None}, {Qt::Key_5, Qt::KeypadModifier},
        {Qt::Key_F4, Qt::AltModifier}}, KeyAction::Pass, KeyAction::Pass},
    KeyGroup{"hex_letters_and_editing", {{Qt::Key_A, None}, {Qt::Key_F, Qt::ShiftModifier}, {Qt::Key_Backspace, None},
        {Qt::Key_Delete, None}, {Qt::Key_Left, None}, {Qt::Key_Right, None}}, KeyAction::Pass, KeyAction::Consume},
    KeyGroup{"everything_else", {{Qt::Key_G, None}, {Qt::Key_Z, None}, {Qt::Key_Return, None},
        {Qt::Key_Enter, Qt::KeypadModifier}, {Qt::Key_Escape, None}, {Qt::Key_Up, None}, {Qt::Key_Down, None},
        {Qt::Key_Tab, None}, {Qt::Key_Backtab, Qt::ShiftModifier}, {Qt::Key_Space, None}, {Qt::Key_Home, None},
        {Qt::Key_End, None}, {Qt::Key_Period, None}, {Qt::Key_Minus, None}, {Qt::Key_Shift, Qt::ShiftModifier},
        {Qt::Key_V, Qt::ControlModifier}}, KeyAction::Consume, KeyAction::Consume}
), test::rowName);
// clang-format on

// The suffixed start-address field: only hex digits get in, and no key leaves it.
TEST(HexSuffixEdit, OnlyHexDigitsReachTheFieldAndNoKeyLeavesIt)
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

// The base button opens its list only on a release over it; a choice rewrites the text. The
// field is drawn in each of its states on the way (a crash there shows).
TEST(NumberFieldWidget, OpensItsListOnAReleaseOverTheButtonAndDrawsEveryState)
{
    test::ensureGuiApplication();
    QDialog dialog;
    auto* field = new wcHexButton(&dialog);
    (new QVBoxLayout(&dialog))->addWidget(field);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, field->buttonStrip()->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(field->buttonStrip(), &event);
        field->buttonStrip()->grab();
    };
    const QPoint inside = field->buttonRect().center();
    const QPoint outside(field->buttonRect().width() + 30, inside.y());
    field->setText(QStringLiteral("1F"));
    mouse(QEvent::MouseButtonPress, inside, Qt::LeftButton);
    EXPECT_EQ(field->pressState(), wcHexButton::Pressed);
    mouse(QEvent::MouseMove, outside, Qt::LeftButton);
    EXPECT_EQ(field->pressState(), wcHexButton::Normal);
    mouse(QEvent::MouseButtonRelease, outside, Qt::NoButton);
    EXPECT_TRUE(field->dropList() == nullptr || !field->dropList()->isVisible());
    mouse(QEvent::MouseButtonPress, inside, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, inside, Qt::NoButton);
    ASSERT_TRUE(field->dropList() && field->dropList()->isVisible());
    QListWidget* list = field->dropList()->list();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(field->text(), QStringLiteral("31"));
    EXPECT_FALSE(field->IsHex());
    field->setEnabled(false);
    EXPECT_EQ(field->pressState(), wcHexButton::Disabled);
    field->grab();
}

} // namespace
} // namespace pw
