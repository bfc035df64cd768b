#include "gui/support/GuiMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

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

void GuiMessageBoxes::showHere(const QString& caption, const QString& text, BoxIcon icon)
{
    QMessageBox box(icon == BoxIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace pw
