#pragma once
#include <QString>

namespace pw {

class MainWindow;

// Loads `imageFile` into the window's panel and presses Program. When the run has ended (or
// could not start, or still runs after two minutes) and `shotFile` is not empty, saves a picture
// of the window there and quits: exit code 0 only for a run that ended.
void startDemoProgram(MainWindow& window, const QString& imageFile, const QString& shotFile);

} // namespace pw
