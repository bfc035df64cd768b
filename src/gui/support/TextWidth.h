#pragma once
#include <QString>

class QLineEdit;

namespace pw {

// The field never narrows below what `text` needs, with the style's frame and margins.
void fitLongestText(QLineEdit& field, const QString& text);
// The width a line edit needs for `text`, frame and margins included.
int lineEditWidthFor(const QLineEdit& field, const QString& text);

} // namespace pw
