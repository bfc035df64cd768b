#pragma once
#include <QApplication>

namespace pw::test {

// The one QApplication of a GUI test executable, made on first use (offscreen unless the
// environment names another platform).
inline void ensureGuiApplication()
{
    if (QApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pagewise_gui_test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

} // namespace pw::test
