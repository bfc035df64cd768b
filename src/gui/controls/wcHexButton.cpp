#include "gui/controls/wcHexButton.h"

#include "gui/controls/BaseDropList.h"
#include "gui/controls/KeyFilter.h"
#include "base/NumberText.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace pw {

// The base button: drawn by hand so that its look does not depend on the widget style.
class BaseButtonStrip : public QWidget {
public:
    explicit BaseButtonStrip(wcHexButton& field) : QWidget(&field), field_(field) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Button));
        const QRect frame = rect().adjusted(1, 1, -2, -2); // shrunk by 1, last pixel inclusive
        // A raised bevel: the light edge on top and left, the button's shadow on bottom and right.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(frame.topLeft(), frame.topRight());
        painter.drawLine(frame.topLeft(), frame.bottomLeft());
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(frame.bottomLeft(), frame.bottomRight());
        painter.drawLine(frame.topRight(), frame.bottomRight());
        painter.setPen(isEnabled() ? QColor(Qt::black) : QColor(0x8C, 0x8C, 0x8C));
        const QRect letter(4, height() / 6, width() - 4, height() - height() / 6);
        painter.drawText(letter, Qt::AlignLeft | Qt::AlignTop, field_.baseLetter());
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            field_.stripPressed();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        field_.stripMoved(rect().contains(event->position().toPoint()));
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            field_.stripReleased(rect().contains(event->position().toPoint()));
    }

private:
    wcHexButton& field_;
};

wcHexButton::wcHexButton(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("wcHexButton"));
    edit_ = new QLineEdit(this);
    edit_->setFrame(false); // the field draws one frame around the strip and the text
    edit_->installEventFilter(new KeyFilterGuard([this] { return hexMode_; }, edit_));
    edit_->setValidator(new NoSpaceValidator(edit_));
    strip_ = new BaseButtonStrip(*this);
    setFocusProxy(edit_);
    connect(edit_, &QLineEdit::textChanged, this, &wcHexButton::textChanged);
}

wcHexButton::~wcHexButton() = default;

QString wcHexButton::text() const
{
    return edit_->text();
}

void wcHexButton::setText(const QString& text)
{
    edit_->setText(text);
}

int wcHexButton::frameWidth() const
{
    return style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
}

QRect wcHexButton::buttonRect() const
{
    const int f = frameWidth();
    return {f, f, (height() - 2 * f) * 8 / 10, height() - 2 * f};
}

QWidget* wcHexButton::buttonStrip() const
{
    return strip_;
}

QSize wcHexButton::sizeHint() const
{
    const QSize edit = edit_->sizeHint();
    const int f = frameWidth();
    return {edit.width() + edit.height() * 8 / 10 + 2 * f, edit.height() + 2 * f};
}

void wcHexButton::resizeEvent(QResizeEvent* event)
{
    const QRect button = buttonRect();
    strip_->setGeometry(button);
    edit_->setGeometry(button.right() + 1, button.top(), width() - button.right() - 1 - frameWidth(), button.height());
    QWidget::resizeEvent(event);
}

// One sunken line-edit frame around the base strip and the text, as a single field.
void wcHexButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionFrame option;
    option.initFrom(this);
    option.lineWidth = frameWidth();
    option.state |= QStyle::State_Sunken;
    if (edit_->hasFocus())
        option.state |= QStyle::State_HasFocus;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
}

void wcHexButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        pressState_ = isEnabled() ? Normal : Disabled;
        strip_->update();
    }
    QWidget::changeEvent(event);
}

void wcHexButton::setButtonPressed(bool pressed)
{
    if (!isEnabled())
        pressState_ = Disabled;
    else
        pressState_ = pressed ? Pressed : Normal;
    strip_->update();
}

void wcHexButton::stripPressed()
{
    tracking_ = true;
    edit_->setFocus(Qt::MouseFocusReason);
    setButtonPressed(true);
}

void wcHexButton::stripMoved(bool over)
{
    if (!tracking_)
        return;
    const PressState wanted = over ? Pressed : Normal;
    if (pressState_ != wanted)
        setButtonPressed(over);
}

void wcHexButton::stripReleased(bool over)
{
    if (!tracking_)
        return;
    tracking_ = false;
    if (pressState_ != Normal)
        setButtonPressed(false);
    if (over)
        openDropList();
}

void wcHexButton::openDropList()
{
    convertedMode_ = hexMode_;
    setButtonPressed(true);
    if (!dropList_)
        dropList_ = new BaseDropList(*this, {QStringLiteral("Hex"), QStringLiteral("Dec")});
    // The room below is measured against the main window, not the dialog the field is in.
    const QWidget* main = window();
    while (main->parentWidget())
        main = main->parentWidget()->window();
    const QRect fieldOnScreen(mapToGlobal(QPoint(0, 0)), size());
    dropList_->popUp(fieldOnScreen, main->frameGeometry());
}

void wcHexButton::chooseBase(bool hex)
{
    hexMode_ = hex;
    setButtonPressed(false);
    convertIfBaseChanged();
}

void wcHexButton::convertIfBaseChanged()
{
    if (convertedMode_ == hexMode_)
        return;
    const bool fromHex = convertedMode_;
    convertedMode_ = hexMode_; // before the rewrite: its change handlers already see the new base
    const QString current = edit_->text();
    if (!current.isEmpty())
        edit_->setText(QString::fromStdString(convertBase(current.toUpper().toStdString(), fromHex)));
}

} // namespace pw
