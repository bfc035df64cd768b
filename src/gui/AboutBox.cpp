#include "gui/AboutBox.h"

#include "gui/support/DialogUnits.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace pw {

AboutBox::AboutBox(const std::string& versionText, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Pagewise"));

    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize);
    const QIcon appIcon = QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon)
                                                              : QApplication::windowIcon();
    icon->setPixmap(appIcon.pixmap(iconSize, iconSize));

    auto* version = new QLabel(QStringLiteral("Pagewise Version ") + QString::fromStdString(versionText), this);
    version->setObjectName(QStringLiteral("version"));
    auto* copyright = new QLabel(QStringLiteral("Copyright (C) Corvane. All rights reserved."), this);
    auto* contact = new QLabel(QStringLiteral("Corvane flash programming tools"), this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(version, 0, 1);
    grid->addWidget(copyright, 1, 1);
    grid->addWidget(contact, 2, 1);
    grid->setVerticalSpacing(grid->verticalSpacing() * 2);
    grid->addWidget(buttons, 3, 0, 1, 2);
    // The width the box always had; as high as its lines, with no empty band above the buttons.
    setFixedSize(QSize(dialogUnitsToPixels(font(), 194, 0).width(), 0).expandedTo(sizeHint()));
}

} // namespace pw
