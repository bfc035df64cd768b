#pragma once
#include <QFont>
#include <QSize>

namespace pw {

// Pixels of a size given in dialog units of `font`: a quarter of the average character width
// across, an eighth of the line height down. Follows the font, so it scales with the screen.
QSize dialogUnitsToPixels(const QFont& font, int widthDlu, int heightDlu);

} // namespace pw
