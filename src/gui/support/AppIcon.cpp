#include "gui/support/AppIcon.h"

namespace pw {

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/hicolor/%1x%1/apps/pagewise.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace pw
