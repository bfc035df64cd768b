#include "gui/controls/wcHexButton.h"
#include "gui/dialogs/EntryCheck.h"
#include "gui/dialogs/PageEraseDialog.h"
#include "support/GuiTestApp.h"
#include "support/Tables.h"
#include "support/RecordingBoxes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace pw {
namespace {

// ispStartAddr 0x800 on a 64 KiB flash: pages 4 to 127.
class PageEraseFixture {
protected:
    void open()
    {
        test::ensureGuiApplication();
        dialog = std::make_unique<PageEraseDialog>(boxes, 4, 124, 128);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        QApplication::setActiveWindow(dialog.get());
    }

    wcHexButton& field(bool from) { return from ? *dialog->fromField() : *dialog->countField(); }

    test::RecordingBoxes boxes;
    std::unique_ptr<PageEraseDialog> dialog;
};

class PageEraseOpening : public PageEraseFixture, public ::testing::Test {
protected:
    void SetUp() override { open(); }
};

// A range past the end is shown as typed, refused on OK, and the dialog stays for a fix.
TEST_F(PageEraseOpening, RangePastTheEndIsShownButRefusedOnOk)
{
    dialog->fromField()->setText(QStringLiteral("7E"));
    dialog->countField()->setText(QStringLiteral("10"));
    EXPECT_EQ(dialog->lastAddressLabel()->text(), QStringLiteral("11BFF(72703)"));
    EXPECT_TRUE(boxes.texts().empty());
    dialog->okButton()->click();
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_NE(boxes.texts()[0].find("past the end of the flash"), std::string::npos);
    dialog->countField()->setText(QStringLiteral("2"));
    dialog->okButton()->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->pageCount(), 2u);
}

struct EditCase {
    const char* name;
    bool fromField;
    bool hex;
    const char* typed;
    const char* message; // empty: accepted without a box
    const char* fieldAfter;
    std::uint32_t fromPage;
    std::uint32_t pageCount;
    const char* firstAddress;
    const char* lastAddress;
};
using test::PrintTo;

class PageEraseEdits : public PageEraseFixture, public ::testing::TestWithParam<EditCase> {
protected:
    void SetUp() override { open(); }
};

TEST_P(PageEraseEdits, ChecksEveryChangeAndRestoresRefusedText)
{
    const EditCase& c = GetParam();
    wcHexButton& target = field(c.fromField);
    if (!c.hex)
        target.chooseBase(false);
    boxes.clear();
    target.setText(QString::fromLatin1(c.typed));
    const std::vector<std::string> expected =
        std::string(c.message).empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message};
    EXPECT_EQ(boxes.texts(), expected);
    EXPECT_EQ(target.text(), QString::fromLatin1(c.fieldAfter));
    EXPECT_EQ(target.IsHex(), c.hex);
    EXPECT_EQ(dialog->fromPage(), c.fromPage);
    EXPECT_EQ(dialog->pageCount(), c.pageCount);
    EXPECT_EQ(dialog->firstAddressLabel()->text(), QString::fromLatin1(c.firstAddress));
    EXPECT_EQ(dialog->lastAddressLabel()->text(), QString::fromLatin1(c.lastAddress));
}

constexpr const char* kPageNotDigit = "Code Error! Page number must be digital number";
constexpr const char* kPageRange = "Out of range! Page number must be <= 1000";
constexpr const char* kCountNotDigit = "Code Error! Page count must be digital number";
constexpr const char* kCountRange = "Out of range! Page count must be <= 1000";
constexpr const char* kCountZero = "Page count must be more than 0 !";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, PageEraseEdits, ::testing::Values(
    EditCase{"FromHexAboveLimit", true, true, "3E9", kPageRange, "4", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"FromHexPast32Bits", true, true, "FFFFFFFFF", kPageRange, "4", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"FromDecAboveLimit", true, false, "1001", kPageRange, "4", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"FromHexAtLimit", true, true, "3E8", "", "3E8", 1000, 124, "7D000(512000)", "8C7FF(575487)"},
    EditCase{"FromZero", true, true, "0", "", "0", 0, 124, "0(0)", "F7FF(63487)"},
    EditCase{"FromEmpty", true, true, "", kPageNotDigit, "4", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"FromPastedNoNumber", true, true, "X5", kPageNotDigit, "4", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"FromDecLetter", true, false, "1A", kPageNotDigit, "4", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"CountDecZero", false, false, "0", kCountZero, "124", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"CountHexZero", false, true, "00", kCountZero, "7C", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"CountEmpty", false, true, "", kCountNotDigit, "7C", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"CountDecNegative", false, false, "-1", kCountRange, "124", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"CountHexAboveLimit", false, true, "3E9", kCountRange, "7C", 4, 124, "800(2048)", "FFFF(65535)"},
    EditCase{"CountOne", false, true, "1", "", "1", 4, 1, "800(2048)", "9FF(2559)"}
), test::rowName);
// clang-format on

} // namespace
} // namespace pw
