#pragma once
#include <QIcon>

namespace pw {

// The application icon at every size the executable embeds (":/hicolor/NxN/apps/pagewise.png").
QIcon applicationIcon();

} // namespace pw
