#include "gui/support/DialogUnits.h"

#include <QFontMetricsF>
#include <QString>

#include <cmath>

namespace pw {

QSize dialogUnitsToPixels(const QFont& font, int widthDlu, int heightDlu)
{
    const QFontMetricsF metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double charWidth = metrics.horizontalAdvance(alphabet) / alphabet.size();
    return {static_cast<int>(std::lround(widthDlu * charWidth / 4)),
            static_cast<int>(std::lround(heightDlu * metrics.height() / 8))};
}

} // namespace pw
