#include "gui/dialogs/PageEraseDialog.h"

#include "gui/controls/wcHexButton.h"
#include "base/ChipTable.h"
#include "base/NumberText.h"
#include "gui/dialogs/EntryCheck.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pw {

namespace {

EntryCheck checkField(const wcHexButton& field, const std::string& upper)
{
    return field.IsHex() ? CheckHexEntry(upper, PageEraseDialog::kLimit)
                         : CheckDecEntry(upper, PageEraseDialog::kLimit);
}

} // namespace

PageEraseDialog::PageEraseDialog(MessageBoxes& boxes, std::uint32_t fromPage, std::uint32_t pageCount,
                                 std::uint32_t totalPages, QWidget* parent)
    : QDialog(parent), boxes_(boxes), fromPage_(fromPage), pageCount_(pageCount), totalPages_(totalPages)
{
    setWindowTitle(QStringLiteral("Page Erase"));
    buildControls();
    fromField_->setText(QString::fromStdString(entryText(fromPage_, true)));
    countField_->setText(QString::fromStdString(entryText(pageCount_, true)));
    showFirstAddress();
    showLastAddress();
    connect(fromField_, &wcHexButton::textChanged, this, &PageEraseDialog::onFromPageChanged);
    connect(countField_, &wcHexButton::textChanged, this, &PageEraseDialog::onPageCountChanged);
}

void PageEraseDialog::buildControls()
{
    fromField_ = new wcHexButton(this);
    countField_ = new wcHexButton(this);
    firstAddress_ = new QLabel(QStringLiteral("0x00000"), this);
    lastAddress_ = new QLabel(QStringLiteral("0xFFFFF"), this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    ok_->setDefault(true);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("From Page:"), this), 0, 0);
    grid->addWidget(fromField_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Page Count:"), this), 1, 0);
    grid->addWidget(countField_, 1, 1);
    auto* bytes = new QHBoxLayout;
    bytes->addWidget(new QLabel(QStringLiteral("Byte :"), this));
    bytes->addWidget(firstAddress_);
    bytes->addWidget(new QLabel(QStringLiteral("-"), this));
    bytes->addWidget(lastAddress_);
    bytes->addStretch();
    grid->addLayout(bytes, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    grid->addLayout(buttons, 3, 0, 1, 2);
    connect(ok_, &QPushButton::clicked, this, &PageEraseDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &PageEraseDialog::reject);
    ok_->installEventFilter(this);
    cancel_->installEventFilter(this);
    setTabOrder(ok_, cancel_);
    setTabOrder(cancel_, fromField_->lineEdit());
    setTabOrder(fromField_->lineEdit(), countField_->lineEdit());
}

void PageEraseDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    ok_->setFocus(Qt::OtherFocusReason);
}

void PageEraseDialog::restore(wcHexButton& field, std::uint32_t value)
{
    field.setText(QString::fromStdString(entryText(value, field.IsHex())));
}

std::optional<std::uint32_t> PageEraseDialog::checkedEntry(const QString& text, wcHexButton& field,
                                                           std::uint32_t accepted, const char* what)
{
    const std::string upper = text.toUpper().toStdString();
    if (const auto refusal =
            entryRefusal(checkField(field, upper), std::string("Code Error! Page ") + what + " must be digital number",
                         std::string("Out of range! Page ") + what + " must be <= 1000")) {
        showErrorBox(boxes_, *refusal);
        restore(field, accepted);
        return std::nullopt;
    }
    return readEntry(upper, field.IsHex());
}

void PageEraseDialog::onFromPageChanged(const QString& text)
{
    const std::optional<std::uint32_t> value = checkedEntry(text, *fromField_, fromPage_, "number");
    if (!value)
        return;
    fromPage_ = *value;
    showFirstAddress();
    showLastAddress();
}

void PageEraseDialog::onPageCountChanged(const QString& text)
{
    const std::optional<std::uint32_t> value = checkedEntry(text, *countField_, pageCount_, "count");
    if (!value)
        return;
    if (*value == 0) {
        showErrorBox(boxes_, "Page count must be more than 0 !");
        restore(*countField_, pageCount_);
    } else {
        pageCount_ = *value;
    }
    showLastAddress();
}

void PageEraseDialog::showFirstAddress()
{
    firstAddress_->setText(QString::fromStdString(hexDecText(std::uint64_t{fromPage_} * kPageSize)));
}

void PageEraseDialog::showLastAddress()
{
    lastAddress_->setText(QString::fromStdString(hexDecText((std::uint64_t{fromPage_} + pageCount_) * kPageSize - 1)));
}

void PageEraseDialog::accept()
{
    // Pages past the end of the flash do not exist; erasing them would be reported as done.
    if (std::uint64_t{fromPage_} + pageCount_ > totalPages_) {
        showErrorBox(boxes_, QString::asprintf("Out of range! The pages run past the end of the flash: "
                                               "From Page + Page Count must be <= 0x%X (%u)",
                                               totalPages_, totalPages_)
                                 .toStdString());
        return;
    }
    QDialog::accept();
}

bool PageEraseDialog::handleButtonKey(QPushButton& button, int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (&button == ok_)
            accept();
        else
            focusNextChild();
        return true;
    case Qt::Key_Escape: return true;
    case Qt::Key_Up: focusPreviousChild(); return true;
    case Qt::Key_Down: focusNextChild(); return true;
    default: return false;
    }
}

bool PageEraseDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == ok_ || watched == cancel_))
        return handleButtonKey(*static_cast<QPushButton*>(watched), static_cast<QKeyEvent*>(event)->key());
    return QDialog::eventFilter(watched, event);
}

void PageEraseDialog::keyPressEvent(QKeyEvent* event)
{
    // Escape never cancels; the close box and the Cancel button do.
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

} // namespace pw
