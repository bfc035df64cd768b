#include "gui/support/GuiMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QThread>

#include <cstdio>

namespace pw {

GuiMessageBoxes::GuiMessageBoxes(QObject* parent) : QObject(parent) {}

void GuiMessageBoxes::show(const std::string& caption, const std::string& text, BoxIcon icon)
{
    const QString boxCaption = QString::fromStdString(caption);
    const QString boxText = QString::fromStdString(text);
    if (QThread::currentThread() == thread()) {
        showHere(boxCaption, boxText, icon);
        return;
    }
    // The caller (a worker) is held until the user has read the box.
    QMetaObject::invokeMethod(
        this, [this, boxCaption, boxText, icon] { showHere(boxCaption, boxText, icon); }, Qt::BlockingQueuedConnection);
}

void GuiMessageBoxes::post(const std::string& caption, const std::string& text, BoxIcon icon)
{
    const QString boxCaption = QString::fromStdString(caption);
    const QString boxText = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        this, [this, boxCaption, boxText, icon] { showHere(boxCaption, boxText, icon); }, Qt::QueuedConnection);
}

namespace {

// The stop sign drawn for the screen's own pixel density: the style's stock icon is a small
// bitmap that turns blurred when scaled up.
QPixmap stopIcon(int size, qreal pixelRatio)
{
    QPixmap picture(QSize(size, size) * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(1, 1, size - 2, size - 2);
    painter.setPen(QPen(QColor(0x9E, 0x1C, 0x1C), 1));
    painter.setBrush(QColor(0xD9, 0x30, 0x25));
    painter.drawEllipse(disc);
    painter.setPen(QPen(Qt::white, size / 9.0, Qt::SolidLine, Qt::RoundCap));
    const qreal inset = size * 0.32;
    const QRectF cross = disc.adjusted(inset, inset, -inset, -inset);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
    return picture;
}

} // namespace

void GuiMessageBoxes::showHere(const QString& caption, const QString& text, BoxIcon icon)
{
    if (toStandardError_) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        ++written_;
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    if (icon == BoxIcon::Stop) {
        const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
        box.setIconPixmap(stopIcon(size, box.devicePixelRatio()));
    }
    box.exec();
}

} // namespace pw
